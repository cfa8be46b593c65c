#pragma once

#include "core/Journal.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace globalstab {

// A document an action left as it was because it could not be read: the tab's rules keep
// some of these silent, so they are told here instead.
struct SkippedDocument
{
    QString path;
    QString reason;
};

// How an Action runs.
struct ActionOptions
{
    bool journaled = true; // false: a preview on a copy, an undo or recovery (their own logs)
    bool batched = true;   // false: every save is made at once (a host's own services read
                           // the files themselves)
    bool locked = true;    // false: a copy no one else writes to
    int waitMs = 3000;     // how long a second writer waits for the first
};

// One user action on a data root, from whichever entry point (a panel, a host service, the
// command line, a preview, a repair, an undo, a recovery). In this order it takes the data
// root's lock, puts back what a writer cut off before left, confines writes to the data root,
// records every change in the journal, and parses each document once and holds the saves
// back so that they become durable together. Nested on one thread, an action joins the one
// running.
//
//     Action action(dataRoot, "cmdCategoryDelete_Click");
//     ... read, check, change through the model ...
//     action.end(); // or let it go out of scope
//
// The end is recorded whenever the user or a host is about to look at the files
// (commitWrites(), before every message and event) and when the action closes; from then on
// the action stays as it ended, errors reported or not, and only undo puts it back.
class Action
{
public:
    using Options = ActionOptions;

    // Raises run-time error 70 before anything is changed when another writer keeps the data
    // root, or its journal cannot be written (read-only, or its disk full).
    Action(const QString& dataRoot, const QString& name, Options options);
    Action(const QString& dataRoot, const QString& name);
    // Ends the action as end() does, raising nothing. An action unwound by an exception is
    // left cut off, for the next recovery.
    ~Action();
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

    // Makes the waiting saves durable and records the end so far. On a failure the saves
    // still waiting are dropped (their files stay as they were) and the failure is raised,
    // once: a report of it that commits again finds nothing to do.
    void commitWrites();
    // Commits for the last time and closes the journal. Raises as commitWrites() does.
    void end();
    // The user stopped the action: drops what waits and puts back every change it made.
    // Answers how many files and folders were put back.
    int putBack();

    // An error was reported to the user; the action still ends as it stands.
    void errorReported();
    bool errorsReported() const;
    void noteSkipped(const QString& path, const QString& reason);
    QList<SkippedDocument> skipped() const;
    // What starting the action put back of a writer cut off before it; empty mostly.
    const journal::Outcome& recovered() const;
    bool joined() const;

    // The action running on the calling thread, if any.
    static Action* active();

    // Recovery and undo of a data root, under its lock (waiting as a second writer does).
    static journal::Outcome recover(const QString& dataRoot, int waitMs = 3000);
    static journal::Outcome undoLast(const QString& dataRoot);
    // The outcome of a recovery in words: what was put back, what was kept and why.
    static QString describeRecovery(const journal::Outcome& outcome);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Tells the running action, if any, of a document it left as it was.
void noteSkippedDocument(const QString& path, const QString& reason);

} // namespace globalstab
