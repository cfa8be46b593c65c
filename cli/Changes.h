#pragma once

// What a command changes, found by watching it work: on a copy of the data root for a dry
// run, or on the data root itself while it writes.

#include "cli/Output.h"
#include "platform/FileChangeObserver.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace globalstab::cli {

// Runs operation on a copy of the data root's Docs folder (with its journal when
// withJournal, for an undo or a recovery; without it otherwise) and answers what it changed
// there, with paths relative to the data root: a folder moved, files created, replaced or
// deleted, folders made or removed, each told in words. The data root is only read.
// operation gets the copy's root, ending with "/".
QList<PlannedChange> planOnCopy(const QString& dataRoot, bool withJournal,
                                const std::function<void(const QString& copyRoot)>& operation);

// While installed (ObservedFileChanges), notes every file and folder the file-system layer is
// about to change, with what the file held; changes() then tells them, once the action that
// made them has ended.
class ChangeRecorder : public FileChangeObserver
{
public:
    explicit ChangeRecorder(const QString& dataRoot) : m_root(dataRoot) {}
    void aboutToChange(DiskChange change, const QString& path, const QString& target) override;
    QList<PlannedChange> changes() const;

private:
    struct Noted
    {
        DiskChange change;
        QString path;
        QString target;
        std::optional<QByteArray> before; // nullopt: there was no file
    };
    QString m_root;
    QList<Noted> m_noted;
    QHash<QString, qsizetype> m_seen;
};

// A change of one file from before (nullopt: none) to after (empty path: none), in words.
PlannedChange describeFileChange(const QString& relativePath, const QString& beforeNative,
                                 const QString& afterNative);

} // namespace globalstab::cli
