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
    QString screenshot; // non-empty: write a picture, in the format its extension names, and quit
    // the new name of the open project, whose rename is previewed first
    std::optional<QString> previewRename;
    // Where Qt's VNC platform listens, when it is the platform: this machine only unless asked.
    QString vncListen = QStringLiteral("127.0.0.1");
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

// Why the image file cannot be written in the format its extension names, or "" when it can.
// The folder must exist already, so that a run is not wasted on a picture it cannot save.
QString screenshotProblem(const QString& path);

// "Edit:Hierarchical Category" -> {"Edit", "Hierarchical Category"}; the list name is
// matched without regard to letter case. On failure returns nothing and sets *error.
std::optional<PickRequest> parsePick(const QString& value, QString* error);

} // namespace globalstab::host
