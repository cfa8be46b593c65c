#include "core/Action.h"

#include "core/DataRootLock.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <optional>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace globalstab {

namespace {

thread_local Action* t_action = nullptr;

// Below this much free space the journal could not record what an action changes.
constexpr quint64 LeastFreeBytes = 1024 * 1024;

// Refuses an action up front when its journal could not be written, with the cause.
void requireWritableJournal(const QString& dataRoot)
{
    const QString folder = journal::folder(dataRoot);
    // The folder that will hold the journal, or the nearest that exists.
    QString existing = folder;
    while (!QFileInfo::exists(existing) && QFileInfo(existing).path() != existing)
        existing = QFileInfo(existing).path();
    struct stat info;
    // Write permission bits count even for root, as the file-system layer honours them.
    if (::stat(QFile::encodeName(existing).constData(), &info) == 0 && (info.st_mode & 0222) == 0)
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: the journal folder '%1' is read-only; "
                                  "no change can be recorded, so none is made")
                       .arg(existing));
    struct statvfs space;
    if (::statvfs(QFile::encodeName(existing).constData(), &space) == 0 &&
        quint64(space.f_bavail) * space.f_frsize < LeastFreeBytes)
        raiseError(rt::DiskFull,
                   QStringLiteral("Disk full: the disk that holds the journal '%1' is full; no "
                                  "change can be recorded, so none is made")
                       .arg(folder));
}

// What a writer cut off before left is put back by whoever takes the lock next; the
// leftovers of its interrupted saves go with it, never while another writer could own them.
journal::Outcome recoverLocked(const QString& dataRoot)
{
    return journal::interrupted(dataRoot) ? journal::recover(dataRoot) : journal::Outcome();
}

} // namespace

struct Action::Private
{
    Action* outer = nullptr; // the action this one joined
    QString dataRoot;
    QString name;
    bool ended = false;
    bool committing = false;
    bool errors = false;
    QList<SkippedDocument> skipped;
    journal::Outcome recovered;
    int uncaught = 0;

    // In the order they are taken; they go in the reverse order.
    std::optional<DataRootLock> lock;
    std::optional<WriteBoundary> boundary;
    std::optional<JournalScope> journal;
    std::optional<WriteBatch> batch;
    std::optional<DocumentCache> documents;

    void dropWaiting()
    {
        if (documents)
            DocumentCache::discardActive();
        if (batch)
            batch->discard();
    }
};

Action::Action(const QString& dataRoot, const QString& name) : Action(dataRoot, name, Options{}) {}

Action::Action(const QString& dataRoot, const QString& name, Options options)
    : d(std::make_unique<Private>())
{
    d->dataRoot = dataRoot;
    d->name = name;
    d->uncaught = std::uncaught_exceptions();
    if (t_action) {
        d->outer = t_action;
        return;
    }
    if (options.locked) {
        if (options.journaled)
            requireWritableJournal(dataRoot);
        d->lock.emplace(dataRoot, options.waitMs);
        d->recovered = recoverLocked(dataRoot);
    }
    d->boundary.emplace(dataRoot);
    if (options.journaled)
        d->journal.emplace(dataRoot, name);
    if (options.batched) {
        d->batch.emplace();
        d->documents.emplace();
    }
    t_action = this;
}

Action::~Action()
{
    if (d->outer)
        return;
    if (std::uncaught_exceptions() > d->uncaught) {
        // Cut off: what waits is dropped, what was made stays for the next recovery.
        d->dropWaiting();
    } else if (!d->ended) {
        try {
            end();
        } catch (const RuntimeError&) {
            // Reported by whoever asked for the end; nothing waits any more.
        }
    }
    t_action = nullptr;
}

void Action::commitWrites()
{
    if (d->outer) {
        d->outer->commitWrites();
        return;
    }
    // A report of a failure commits again before it shows: by then nothing waits.
    if (d->committing || d->ended)
        return;
    d->committing = true;
    const auto done = qScopeGuard([this] { d->committing = false; });
    try {
        if (d->documents)
            d->documents->writeOut();
        if (d->batch)
            d->batch->commit();
        if (d->journal)
            d->journal->recordEnd();
    } catch (const RuntimeError&) {
        d->dropWaiting();
        if (d->journal) {
            // What was made stays made, as after any reported error; if even the end cannot
            // be recorded, the log goes, so that no recovery puts back what the user saw.
            try {
                d->journal->recordEnd();
            } catch (const RuntimeError&) {
                d->journal->abandonLog();
            }
        }
        throw;
    }
}

void Action::end()
{
    if (d->outer || d->ended)
        return;
    commitWrites();
    d->ended = true;
    d->documents.reset();
    d->batch.reset();
    d->journal.reset(); // closes and prunes the journal
}

int Action::putBack()
{
    Action* owner = d->outer ? d->outer : this;
    owner->d->dropWaiting();
    return owner->d->journal ? owner->d->journal->rollBackNow() : 0;
}

void Action::errorReported()
{
    Action* owner = d->outer ? d->outer : this;
    owner->d->errors = true;
    if (owner->d->journal)
        owner->d->journal->markFailed();
}

bool Action::errorsReported() const
{
    return d->outer ? d->outer->errorsReported() : d->errors;
}

void Action::noteSkipped(const QString& path, const QString& reason)
{
    Action* owner = d->outer ? d->outer : this;
    owner->d->skipped.append({path, reason});
    if (owner->d->journal) {
        try {
            owner->d->journal->noteSkipped(path, reason);
        } catch (const RuntimeError&) {
            // Told to the user anyway; the log records changes, and this is none.
        }
    }
}

QList<SkippedDocument> Action::skipped() const
{
    return d->outer ? d->outer->skipped() : d->skipped;
}

const journal::Outcome& Action::recovered() const
{
    return d->recovered;
}

bool Action::joined() const
{
    return d->outer != nullptr;
}

Action* Action::active()
{
    return t_action;
}

journal::Outcome Action::recover(const QString& dataRoot, int waitMs)
{
    // Nothing to put back needs no lock: a read-only data root is read without a word.
    if (t_action || !journal::interrupted(dataRoot))
        return {};
    Action action(dataRoot, QStringLiteral("recover"),
                  {.journaled = false, .batched = false, .waitMs = waitMs});
    return action.recovered();
}

journal::Outcome Action::undoLast(const QString& dataRoot)
{
    Action action(dataRoot, QStringLiteral("undo"), {.journaled = false, .batched = false});
    return journal::undoLast(dataRoot);
}

QString Action::describeRecovery(const journal::Outcome& outcome)
{
    QStringList parts;
    if (!outcome.actions.isEmpty())
        parts << QStringLiteral("Changes that could not be finished were put back: %1 (%2 "
                                "file(s) restored).")
                     .arg(outcome.actions.join(QStringLiteral(", ")))
                     .arg(outcome.files);
    if (!outcome.kept.isEmpty())
        parts << QStringLiteral("These files were changed since and were kept as they are: %1.")
                     .arg(outcome.kept.join(QStringLiteral(", ")));
    if (!outcome.setAside.isEmpty())
        parts << QStringLiteral("These journal logs could not be read whole and were set aside; "
                                "nothing of them was put back: %1.")
                     .arg(outcome.setAside.join(QStringLiteral(", ")));
    return parts.join(QLatin1Char(' '));
}

void noteSkippedDocument(const QString& path, const QString& reason)
{
    if (Action* action = Action::active())
        action->noteSkipped(path, reason);
}

} // namespace globalstab
