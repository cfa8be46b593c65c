#pragma once

// The commands of the tool and what they share: the run they belong to, the lookup of a
// project, the reading of documents before anything is changed, and the one action each
// change runs as.

#include "cli/Options.h"
#include "cli/Output.h"
#include "core/Action.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace globalstab::cli {

struct Run
{
    const Invocation& invocation;
    QString root; // absolute, ending with "/"
    Reporter& out;

    bool dryRun() const { return invocation.dryRun; }
    const QStringList& arguments() const { return invocation.arguments; }
};

int checkCommand(Run& run);
int renameProjectCommand(Run& run);
int updatePagesCommand(Run& run);
int categoryCommand(Run& run);
int pageCommand(Run& run);
int undoCommand(Run& run);
int recoverCommand(Run& run);

// The project's name when it names a project of the data root as the tab names it: exactly,
// letter case included, as the selection list's lookups compare. Its folder must be there,
// unless listedWithoutFolder lets an entry of the selection list stand for it. Raises
// UsageError ("no such project") otherwise, naming the project meant when only the letter
// case differs.
void requireProject(const Run& run, const QString& name, bool listedWithoutFolder = false);
// name as listed spells it, exactly; UsageError("no such <what>") otherwise, naming the
// entry meant when only the letter case differs.
void requireListed(const QString& what, const QString& name, const QStringList& listed,
                   const QString& project);
// Raises UsageError unless the arguments count is one of counts.
void requireArguments(const Run& run, std::initializer_list<int> counts, const QString& forms);

// Refuses (true) when one of the documents cannot be read, saying which, where and why;
// missing documents count only when required.
bool refuseUnreadable(Run& run, const QStringList& required, const QStringList& optional = {});

// One command's change, as one action: refused before any change when another writer keeps
// the data root; its errors reported as the procedure's (the tab's handler, whose name its
// error reports carry); the documents it left as they were, because they could not be read,
// warned about. words names the action in the journal, for an undo to tell.
class CommandAction
{
public:
    CommandAction(Run& run, Console& console, const char* procedure, const QString& words);
    ~CommandAction() { commit(); }
    CommandAction(const CommandAction&) = delete;
    CommandAction& operator=(const CommandAction&) = delete;

    bool admitted() const { return m_action.has_value(); }
    // Ends the action; true when it was admitted and nothing reported an error.
    bool commit();

private:
    Run& m_run;
    Console& m_console;
    const char* m_procedure;
    std::optional<Action> m_action;
    bool m_ended = false;
};

// Runs operation as the action would on a copy of the data root, without a journal, and
// sets the plan: the dry run of a command. afterwards reads the copy once the action ended.
void planCommand(Run& run, Console& console, const char* procedure,
                 const std::function<void(const QString& copyRoot)>& operation,
                 const std::function<void(const QString& copyRoot)>& afterwards = {});

// What the journal calls an action, in words: the command line names its own actions so;
// the tab's handlers are told by what they do.
QString actionInWords(const QString& name);
// What a recovery put back, kept and set aside, with the actions in words.
QString recoveryInWords(const journal::Outcome& outcome);
// Double quotes around a name.
QString quoted(const QString& name);

} // namespace globalstab::cli
