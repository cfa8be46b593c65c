#include "host/DataRoots.h"

#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace globalstab::host {

namespace {
const char* const DataRootKey = "dataRoot";
const char* const InstallTypeKey = "installType";

// The working copy is written through the tab's own file layer, so new files are writable
// even when the installed samples are not.
bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    try {
        globalstab::FileSystem().CopyFolder(from, to);
    } catch (const globalstab::RuntimeError&) {
        return false;
    }
    return true;
}
} // namespace

bool isDataRoot(const QString& folder)
{
    return !folder.isEmpty() && FileSystem().FolderExists(folder + QStringLiteral("/Docs"));
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
