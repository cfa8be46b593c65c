#include "core/Preview.h"

#include "core/Action.h"
#include "platform/FileChangeObserver.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

namespace globalstab {

namespace {

struct Noted
{
    DiskChange change;
    QString path;
    QString target;
};

class NoteChanges : public FileChangeObserver
{
public:
    void aboutToChange(DiskChange change, const QString& path, const QString& target) override
    {
        noted.push_back({change, path, target});
    }
    std::vector<Noted> noted;
};

QString sizeSummary(qint64 before, qint64 after);

qint64 sizeOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir() ? info.size() : -1;
}

QString sizes(const QString& before, const QString& after)
{
    const qint64 sizeBefore = sizeOf(before);
    const qint64 sizeAfter = sizeOf(after);
    if (sizeBefore >= 0 && sizeBefore == sizeAfter) {
        QFile a(before);
        QFile b(after);
        if (a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
            a.readAll() == b.readAll())
            return QStringLiteral("written again, unchanged");
    }
    return sizeSummary(sizeBefore, sizeAfter);
}

QString sizeSummary(qint64 before, qint64 after)
{
    if (before < 0)
        return QStringLiteral("created, %1 bytes").arg(after);
    if (after < 0)
        return QStringLiteral("deleted, %1 bytes").arg(before);
    return QStringLiteral("%1 bytes before, %2 after").arg(before).arg(after);
}

} // namespace

Plan previewChanges(const QString& dataRoot,
                    const std::function<void(const QString& copyRoot)>& operation)
{
    const QString root = QDir(FileSystem::resolve(dataRoot)).absolutePath();
    QTemporaryDir copy(QDir::tempPath() + QStringLiteral("/globalstab-preview-XXXXXX"));
    const QString copyRoot = copy.path();
    FileSystem().CopyFolder(root + QStringLiteral("/Docs"), copyRoot + QStringLiteral("/Docs"));
    QDir(copyRoot + QStringLiteral("/Docs/.globalstab")).removeRecursively();

    NoteChanges notes;
    {
        const ObservedFileChanges observing(notes);
        // The same action as on the data root, on a copy nobody else writes to and without a
        // journal: the copy goes when the plan is made.
        Action action(copyRoot, QStringLiteral("preview"),
                      {.journaled = false, .batched = true, .locked = false});
        operation(copyRoot + QLatin1Char('/'));
        action.end();
    }

    // Each path once, where it was first changed; its summary from the state at the end.
    const auto real = [&](QString path) { return path.replace(copyRoot, root); };
    Plan plan;
    QStringList seen;
    for (const Noted& note : notes.noted) {
        if (note.change == DiskChange::MoveFolder) {
            plan.append({FileChange::Action::MoveFolder, real(note.target), real(note.path),
                         QStringLiteral("folder moved")});
            continue;
        }
        if (seen.contains(note.path))
            continue;
        seen << note.path;
        if (note.change == DiskChange::CreateFolder) {
            plan.append({FileChange::Action::ReplaceFile, real(note.path), QString(),
                         QStringLiteral("folder created")});
            continue;
        }
        if (note.change == DiskChange::SetAttributes)
            continue;
        plan.append({FileChange::Action::ReplaceFile, real(note.path), QString(),
                     sizes(real(note.path), note.path)});
    }
    return plan;
}

} // namespace globalstab
