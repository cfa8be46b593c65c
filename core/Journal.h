#pragma once

#include "core/JournalLog.h"
#include "platform/FileChangeObserver.h"
#include "platform/RuntimeError.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace globalstab {

// The journal could not record a change, so the change was not made. A front end that tells
// the user of a failed change in its own words passes this one on instead: its cause is not
// the file the change was about.
class JournalFailure : public RuntimeError
{
public:
    using RuntimeError::RuntimeError;
};

// The journal of a data root, in "Docs/.globalstab/journal": one log per user action. Before
// the file-system layer replaces, deletes or moves anything, the log records what was there
// and is flushed; what the action writes is recorded before it takes its place, and the
// action's end is recorded before control leaves the action (a message, an event) and when
// it closes. Only an action cut off before its end (a crash, a kill, a power cut) is put back
// by recovery; an ended one stays, errors reported or not, and undo can put it back.
//
// Recovery and undo must run under the data root's lock: Action does that for them.
namespace journal {

QString folder(const QString& dataRoot);

// What a recovery or an undo did.
struct Outcome
{
    QStringList actions;  // the actions put back, as their procedures are named
    int files = 0;        // files and folders put back
    QStringList kept;     // files left as they are: changed since the action, or their kept
                          // copy does not check (paths relative to the data root)
    QStringList setAside; // logs that could not be read whole, set aside as "*.log.bad"
    bool empty() const { return actions.isEmpty() && kept.isEmpty() && setAside.isEmpty(); }
};

// Puts back every action cut off before its end, newest first, as far as it went since its
// last recorded end, and removes the leftovers of interrupted saves below "Docs". A file
// that no longer holds what the action left there (the user edited it since) is kept as it
// is and named in the outcome. A log that cannot be read whole is set aside, never half
// applied.
Outcome recover(const QString& dataRoot);
// Puts back the last action that ended. Raises run-time error 70 naming the file when a
// file of it was changed since, or the log cannot be trusted, and 53 when there is nothing
// to undo.
Outcome undoLast(const QString& dataRoot);
// True when a log of the data root was cut off before its end, or cannot be read: recovery
// has work. Reads the logs' record headers only.
bool interrupted(const QString& dataRoot);
// Deletes the temporary files interrupted saves left below "Docs"; what cannot be listed is
// passed over. Answers how many.
int sweepLeftovers(const QString& dataRoot);

// How many ended actions are kept for undo (5 unless set).
int keep();
void setKeep(int actions);

} // namespace journal

// Records one user action while it lives, as the file-system layer's observer on the calling
// thread. The log is begun at the first change, so an action that changes nothing leaves no
// trace. When the scope closes, the end is recorded unless it is being unwound by an
// exception: such an action is cut off and put back by the next recovery.
class JournalScope : public FileChangeObserver
{
public:
    JournalScope(const QString& dataRoot, const QString& action);
    ~JournalScope() override;
    JournalScope(const JournalScope&) = delete;
    JournalScope& operator=(const JournalScope&) = delete;

    // An error was reported: the end says so (it still counts as the action's end).
    void markFailed();
    // Records what the action left so far and its end, durably. Later changes go on in the
    // same log and are recorded to their own end. Raises when the log cannot be written.
    void recordEnd();
    // Gives up the log of an action whose end cannot be recorded: the action stays as it
    // is, as ended actions do, but cannot be undone.
    void abandonLog();
    // Puts back every change the action made so far, now, and closes its log as undone;
    // answers how many files and folders were put back. Saves still held back in a
    // WriteBatch must be dropped first: they are not on disk.
    int rollBackNow();
    // A document the action left as it was because it could not be read.
    void noteSkipped(const QString& nativePath, const QString& reason);

    void aboutToChange(DiskChange change, const QString& path, const QString& target) override;
    void aboutToCommit() override;
    void written(const QString& path, const QByteArray& bytes, const WrittenFile& file) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace globalstab
