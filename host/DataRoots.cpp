#include "host/DataRoots.h"

#include <globalstab/DataRoot.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace globalstab::host {

namespace {
const char* const DataRootKey = "dataRoot";
const char* const InstallTypeKey = "installType";

// Links to folders are not followed, so the walk ends on any tree. The copies are made
// writable by their owner: the installed samples may not be, and the working copy is edited.
bool copyTree(const QString& from, const QString& to)
{
    const QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    QDirIterator entries(from,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry = entries.nextFileInfo();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(entry.filePath());
        if (entry.isDir() && !entry.isSymLink()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (entry.isFile()) {
            if (!QFile::copy(entry.filePath(), target))
                return false;
            QFile copy(target);
            if (!copy.setPermissions(copy.permissions() | QFileDevice::ReadOwner |
                                     QFileDevice::WriteOwner))
                return false;
        }
    }
    return true;
}
} // namespace

bool isDataRoot(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(resolveDocsPath(folder, QString())).isDir();
}

bool isWithin(const QString& path, const QString& folder)
{
    const QString inner = QFileInfo(path).canonicalFilePath();
    const QString outer = QFileInfo(folder).canonicalFilePath();
    if (inner.isEmpty() || outer.isEmpty())
        return false;
    return inner == outer || inner.startsWith(outer + QLatin1Char('/'));
}

QString findSamples(const QStringList& candidates)
{
    for (const QString& candidate : candidates) {
        if (isDataRoot(candidate))
            return QDir::cleanPath(candidate);
    }
    return QString();
}

QString workingCopyLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/samples");
}

QString ensureWorkingCopy(const QString& samples, const QString& target, QString* error)
{
    if (isDataRoot(target))
        return target;
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return QString();
    };
    if (!isDataRoot(samples))
        return fail(QStringLiteral("The bundled sample data root was not found (looked for "
                                   "\"%1\").")
                        .arg(samples));
    const QString partial = target + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    if (!copyTree(samples, partial)) {
        QDir(partial).removeRecursively();
        return fail(QStringLiteral("Could not copy the sample data root to \"%1\".").arg(partial));
    }
    // Whatever is in a folder without Docs may still be someone's work: leave it alone.
    if (QFileInfo::exists(target) && !QDir(target).rmdir(target)) {
        QDir(partial).removeRecursively();
        return fail(QStringLiteral("\"%1\" exists but holds no Docs folder; move it away or "
                                   "choose a data root with --data-root.")
                        .arg(target));
    }
    if (!QDir().rename(partial, target))
        return fail(QStringLiteral("Could not rename \"%1\" to \"%2\".").arg(partial, target));
    return target;
}

QString rememberedDataRoot()
{
    return QSettings().value(QLatin1String(DataRootKey)).toString();
}

void rememberDataRoot(const QString& root)
{
    QSettings().setValue(QLatin1String(DataRootKey), root);
}

std::optional<qint32> rememberedInstallType()
{
    bool ok = false;
    const qint32 type = QSettings().value(QLatin1String(InstallTypeKey)).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return type;
}

void rememberInstallType(qint32 installType)
{
    QSettings().setValue(QLatin1String(InstallTypeKey), installType);
}

} // namespace globalstab::host
