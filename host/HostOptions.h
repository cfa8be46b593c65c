#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace globalstab::host {

// Which function list to open and which entry to pick in it, e.g. "Edit:Global Page".
struct PickRequest
{
    QString list; // "Add" or "Edit"
    QString entry;
};

struct HostOptions
{
    QString dataRoot; // empty: the remembered root, else the bundled samples
    QString project;  // empty: the first project of the selection list
    std::optional<qint32> installType;
    std::optional<PickRequest> pick;
    QString screenshot; // non-empty: write a PNG and quit
    // non-empty: the new name of the open project, whose rename is previewed first
    QString previewRename;
};

enum class ParseOutcome
{
    Run,
    Help,
    Version,
    Error
};

struct ParseResult
{
    ParseOutcome outcome = ParseOutcome::Run;
    HostOptions options;
    // The help text, the version line or the error message, as the outcome says.
    QString text;
};

// Parses the host's command line (arguments[0] is the program). Never exits the process.
ParseResult parseHostOptions(const QStringList& arguments, const QString& version);

// "Edit:Hierarchical Category" -> {"Edit", "Hierarchical Category"}; the list name is
// matched without regard to letter case. On failure returns nothing and sets *error.
std::optional<PickRequest> parsePick(const QString& value, QString* error);

} // namespace globalstab::host
