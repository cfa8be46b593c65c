#pragma once

// The command line as git-like tools read it: global options anywhere before "--",
// "--opt=value" and "--opt value" alike, "-h" and "-V", and "--" ending the options.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace globalstab::cli {

// Exit status of every run.
enum Status
{
    Done = 0,
    Refused = 1, // refused, failed, an error reported, drift found, nothing to undo
    Usage = 2,   // unknown command or option, a bad value, no such project, category, page
};

// A usage fault: what is wrong, said once on stderr, exit status 2.
class UsageError : public std::runtime_error
{
public:
    explicit UsageError(const QString& problem)
        : std::runtime_error(problem.toStdString()), m_problem(problem)
    {
    }
    QString problem() const { return m_problem; }

private:
    QString m_problem;
};

struct OptionInfo
{
    QString name;      // "--rank"
    QString valueName; // "RANK"; empty for a flag
    QString help;
};

struct CommandInfo
{
    QString name;
    QStringList synopsis; // one line per form, after "globalstab "
    QString summary;      // one line for the command list
    QString description;  // COMMAND --help
    QList<OptionInfo> options;
    QStringList examples;
};

// Every command, in the order the usage lists them.
const QList<CommandInfo>& commands();
const CommandInfo* findCommand(const QString& name);

// What a run was asked to do.
struct Invocation
{
    bool help = false;
    bool version = false;
    bool json = false;
    bool dryRun = false;
    std::optional<QString> dataRoot;
    QString command;                // empty when none was given
    QStringList arguments;          // the words after the command, options taken out
    QHash<QString, QString> values; // command options by name ("--rank"); a flag maps to ""

    bool has(const QString& option) const { return values.contains(option); }
    std::optional<QString> value(const QString& option) const
    {
        return values.contains(option) ? std::optional(values.value(option)) : std::nullopt;
    }
};

// Reads the arguments after the program's name into into. Raises UsageError for an unknown
// option, a value missing or given to a flag, and an unknown command; into.json is set first
// (from any "--json" before "--"), so that the error can be told in the form asked for.
void parseArguments(const QStringList& arguments, Invocation& into);

// The usage of the tool, and of one command with its options and examples.
QString usageText();
QString commandHelp(const CommandInfo& command);

// Values checked as the options are read by each command.
int wholeNumber(const QString& option, const QString& value);

} // namespace globalstab::cli
