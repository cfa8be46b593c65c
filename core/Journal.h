#pragma once

#include "platform/FileChanges.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace globalstab {

// The journal of a data root, in "Docs/.globalstab/journal": one log per user action. Before
// the file-system layer replaces, deletes or moves anything, the log records what was there
// and is flushed; the action's end is recorded last. An action that ended records the state
// it left, so that it can be undone while nobody has changed its files since.
namespace journal {

QString folder(const QString& dataRoot);

// What a recovery or an undo did.
struct Outcome
{
    QStringList actions; // the actions undone, as their procedures are named
    int files = 0;       // files and folders put back
    bool empty() const { return actions.isEmpty(); }
};

// Puts back every action that did not reach its end (a crash, a kill, or an error
// reported on the way), newest first, and removes the leftovers of interrupted saves.
// Actions still running in another process are left alone.
Outcome recover(const QString& dataRoot);
// Puts back the last action that ended. Raises run-time error 70 naming the file when a
// file of it was changed since, and 53 when there is nothing to undo.
Outcome undoLast(const QString& dataRoot);

// How many ended actions are kept for undo (5 unless set).
int keep();
void setKeep(int actions);

} // namespace journal

// Records one user action while it lives. Nested scopes on one thread join the outermost.
// The log is begun at the first change, so an action that changes nothing leaves no trace.
// The end is recorded when the scope closes, unless the action failed or is being unwound
// by an exception: such an action is put back by the next recovery.
class JournalScope : public FileChangeObserver
{
public:
    JournalScope(const QString& dataRoot, const QString& action);
    ~JournalScope() override;
    JournalScope(const JournalScope&) = delete;
    JournalScope& operator=(const JournalScope&) = delete;

    // An error was reported: the action cannot be trusted to be whole.
    void markFailed();
    // Puts back every change the action made so far, now, and closes its log as undone;
    // answers how many files and folders were put back. Saves still held back in a
    // WriteBatch must be dropped first: they are not on disk.
    int rollBackNow();
    // The scope that records the calling thread's action, if any.
    static JournalScope* active();

    void aboutToChange(DiskChange change, const QString& path, const QString& target) override;
    void aboutToCommit() override;
    void written(const QString& path, const QByteArray& bytes, const WrittenFile& file) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace globalstab
