// globalstab: the tab's operations without a window, for scripts and build pipelines.
//
//   globalstab [--data-root DIR] [--json] COMMAND [ARGUMENTS]
//
// Every run first puts back what an interrupted action left in the data root's journal.
#include "check/ProjectCheck.h"
#include "core/Journal.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "projectinfo/PageTokens.h"

#include <globalstab/version.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <optional>

using namespace globalstab;

namespace {

constexpr int Done = 0;
constexpr int Refused = 1;
constexpr int Usage = 2;

const char* const UsageText = R"(Usage: globalstab [--data-root DIR] [--json] COMMAND [ARGUMENTS]

Works on the data root DIR (the folder holding Docs/; default: $GLOBALSTAB_DATA_ROOT).
Every run first puts back what an interrupted action left in the data root's journal.

Commands:
  check PROJECT                       report where the project's documents disagree
  update-pages PROJECT FOLDER PRODUCT [--type 1] [--dry-run]
                                      replace **PRODUCT** by **PROJECT** in the page files
                                      below FOLDER (relative to the data root); type 1 also
                                      deletes the product's server archive in FOLDER
  undo                                put back the last change of the data root
  recover                             only the putting back every run starts with

Options:
  --json      print the report, plan or result as JSON
  --dry-run   print what would change and change nothing
  --help      this text; COMMAND --help for one command
  --version   the version

Exit status: 0 done (check: consistent), 1 refused, failed or drift found, 2 usage error.
)";

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage(const QString& problem)
{
    err() << "globalstab: " << problem << "\nSee globalstab --help.\n";
    err().flush();
    return Usage;
}

// Messages and error reports as the tab would show them, on stderr.
class Console : public Feedback
{
public:
    MessageAnswer show(const Message& message) override
    {
        err() << QString(message.text).replace(QLatin1Char('\r'), QLatin1Char('\n')) << '\n';
        ++shown;
        return MessageAnswer::Ok;
    }
    int shown = 0;
};

void print(bool json, const QString& text, const QJsonObject& object)
{
    if (json)
        out() << QJsonDocument(object).toJson(QJsonDocument::Indented);
    else if (!text.isEmpty())
        out() << text << '\n';
    out().flush();
}

QJsonArray namesOf(const QStringList& names)
{
    return QJsonArray::fromStringList(names);
}

int checkProject(const QString& root, const QStringList& arguments, bool json)
{
    if (arguments.size() != 1)
        return usage(QStringLiteral("check needs one PROJECT"));
    const QList<check::Finding> findings = check::run({root, arguments.first(), 0});
    QStringList lines;
    QJsonArray list;
    for (const check::Finding& finding : findings) {
        lines << check::describe(finding);
        list.append(QJsonObject{{QStringLiteral("kind"), int(finding.kind)},
                                {QStringLiteral("file"), finding.file},
                                {QStringLiteral("element"), finding.element},
                                {QStringLiteral("text"), finding.text},
                                {QStringLiteral("description"), check::describe(finding)}});
    }
    print(json,
          lines.isEmpty() ? QStringLiteral("\"%1\" is consistent.").arg(arguments.first())
                          : lines.join(QLatin1Char('\n')),
          {{QStringLiteral("project"), arguments.first()}, {QStringLiteral("findings"), list}});
    return findings.isEmpty() ? Done : Refused;
}

int updatePages(const QString& root, QStringList arguments, bool json, bool dryRun)
{
    qint16 type = 0;
    const qsizetype typeAt = arguments.indexOf(QStringLiteral("--type"));
    if (typeAt >= 0) {
        if (typeAt + 1 >= arguments.size() || arguments.at(typeAt + 1) != QLatin1String("1"))
            return usage(QStringLiteral("--type takes 1"));
        type = 1;
        arguments.remove(typeAt, 2);
    }
    if (arguments.size() != 3)
        return usage(QStringLiteral("update-pages needs PROJECT FOLDER PRODUCT"));
    const PageTokenChange change{root, arguments.at(2), arguments.at(0), type};
    Console console;
    try {
        const Folder folder = FileSystem().GetFolder(root + arguments.at(1));
        if (dryRun) {
            QStringList lines;
            QJsonArray list;
            for (const FileChange& file : planPageTokens(folder, change)) {
                lines << file.path + QStringLiteral(": ") + file.summary;
                list.append(QJsonObject{{QStringLiteral("path"), file.path},
                                        {QStringLiteral("summary"), file.summary}});
            }
            print(json, lines.join(QLatin1Char('\n')), {{QStringLiteral("plan"), list}});
            return Done;
        }
        const WriteBoundary boundary(root);
        JournalScope action(root, QStringLiteral("PXUpdateFiles"));
        rewritePageTokens(folder, change, console);
        if (console.shown > 0)
            action.markFailed();
    } catch (const RuntimeError& error) {
        console.reportError("PXUpdateFiles", error);
    }
    print(json, QString(), {{QStringLiteral("reports"), console.shown}});
    return console.shown == 0 ? Done : Refused;
}

int undo(const QString& root, bool json)
{
    try {
        const journal::Outcome outcome = journal::undoLast(root);
        print(json,
              QStringLiteral("Undid \"%1\": %2 file(s) put back.")
                  .arg(outcome.actions.join(QStringLiteral(", ")))
                  .arg(outcome.files),
              {{QStringLiteral("undone"), namesOf(outcome.actions)},
               {QStringLiteral("files"), outcome.files}});
        return Done;
    } catch (const RuntimeError& error) {
        err() << error.description() << '\n';
        return Refused;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const auto take = [&](const QString& flag) {
        const bool present = arguments.removeAll(flag) > 0;
        return present;
    };
    const bool json = take(QStringLiteral("--json"));
    const bool dryRun = take(QStringLiteral("--dry-run"));
    if (arguments.contains(QStringLiteral("--version"))) {
        out() << "globalstab " << GLOBALSTAB_VERSION_STRING << '\n';
        return Done;
    }
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help")) {
        out() << UsageText;
        return arguments.isEmpty() ? Usage : Done;
    }
    if (arguments.contains(QStringLiteral("--help"))) {
        out() << UsageText;
        return Done;
    }

    QString root = qEnvironmentVariable("GLOBALSTAB_DATA_ROOT");
    const qsizetype rootAt = arguments.indexOf(QStringLiteral("--data-root"));
    if (rootAt >= 0) {
        if (rootAt + 1 >= arguments.size())
            return usage(QStringLiteral("--data-root needs a folder"));
        root = arguments.at(rootAt + 1);
        arguments.remove(rootAt, 2);
    }
    if (root.isEmpty() || !QDir(root + QStringLiteral("/Docs")).exists())
        return usage(QStringLiteral("no data root (a folder holding Docs/): \"%1\"").arg(root));
    root = QDir(root).absolutePath() + QLatin1Char('/');
    if (arguments.isEmpty())
        return usage(QStringLiteral("no command"));

    const journal::Outcome recovered = journal::recover(root);
    if (!recovered.empty())
        err() << "Changes that could not be finished were put back: "
              << recovered.actions.join(QStringLiteral(", ")) << " (" << recovered.files
              << " file(s) restored).\n";

    const QString command = arguments.takeFirst();
    if (command == QLatin1String("check"))
        return checkProject(root, arguments, json);
    if (command == QLatin1String("update-pages"))
        return updatePages(root, arguments, json, dryRun);
    if (command == QLatin1String("undo") && arguments.isEmpty())
        return undo(root, json);
    if (command == QLatin1String("recover") && arguments.isEmpty()) {
        print(json, QString(),
              {{QStringLiteral("undone"), namesOf(recovered.actions)},
               {QStringLiteral("files"), recovered.files}});
        return Done;
    }
    return usage(QStringLiteral("unknown command \"%1\"").arg(command));
}
