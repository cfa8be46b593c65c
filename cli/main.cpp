// globalstab: the tab's operations without a window, for scripts and build pipelines.
//
//   globalstab [--data-root DIR] [--json] COMMAND [ARGUMENTS]
//
// Every run first puts back what an interrupted action left in the data root's journal.
#include "categories/CategoryChanges.h"
#include "check/ProjectCheck.h"
#include "core/Action.h"
#include "core/Preview.h"
#include "core/StringTable.h"
#include "documents/CategorySet.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "globalpages/PageLinks.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"
#include "projectinfo/PageTokens.h"
#include "projectinfo/ProjectRename.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"
#include "text/TextChecks.h"

#include <globalstab/version.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <functional>
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
  check PROJECT [--repair]            report where the project's documents disagree;
                                      --repair mends what the tab's rules can mend
  rename-project OLD NEW --id ID [--rank RANK] [--install-type N] [--dry-run]
                                      rename a project and give it an ID and a rank, as
                                      the project panel does: folder, selection list,
                                      table of contents, books and page tokens
  update-pages PROJECT FOLDER PRODUCT [--type 1] [--dry-run]
                                      replace **PRODUCT** by **PROJECT** in the page files
                                      below FOLDER (relative to the data root); type 1 also
                                      deletes the product's server archive in FOLDER
  category PROJECT add NAME | rename OLD NEW | delete NAME | move NAME up|down
           [--install-type N] [--dry-run]
                                      change the project's categories as the category
                                      panel does, across the category set, the table of
                                      contents and the books
  page PROJECT add NAME FILE | edit OLD NEW FILE | delete NAME [--dry-run]
                                      add a global page linked to FILE (copied into the
                                      project's global folder), edit or delete one, as
                                      the global page panel does
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
    void reportError(const char* procedure, const RuntimeError& error,
                     ErrorForm form = ErrorForm::Standard) override
    {
        ++errors;
        if (Action* action = Action::active())
            action->errorReported();
        Feedback::reportError(procedure, error, form);
    }
    int shown = 0;
    int errors = 0; // a run that reported one does not exit 0
};

// One command's change, as one action: refused before any change when another writer keeps
// the data root; its end reported as the procedure's error; the documents it left as they
// were, because they could not be read, warned about.
class CommandAction
{
public:
    CommandAction(Console& console, const QString& root, const char* procedure)
        : m_console(console), m_procedure(procedure)
    {
        try {
            m_action.emplace(root, QString::fromLatin1(procedure));
        } catch (const RuntimeError& error) {
            console.reportError(procedure, error, ErrorForm::Standard);
            return;
        }
        if (!m_action->recovered().empty())
            err() << "globalstab: " << Action::describeRecovery(m_action->recovered()) << '\n';
    }
    ~CommandAction() { commit(); }
    CommandAction(const CommandAction&) = delete;
    CommandAction& operator=(const CommandAction&) = delete;

    bool admitted() const { return m_action.has_value(); }
    // Ends the action; true when it was admitted and nothing reported an error.
    bool commit()
    {
        if (!m_action)
            return false;
        if (!m_ended) {
            m_ended = true;
            trap(m_console, m_procedure, [&] { m_action->end(); });
            for (const SkippedDocument& skipped : m_action->skipped())
                err() << "globalstab: warning: '" << skipped.path
                      << "' was left as it was: " << skipped.reason << '\n';
            err().flush();
        }
        return m_console.errors == 0;
    }

private:
    Console& m_console;
    const char* m_procedure;
    std::optional<Action> m_action;
    bool m_ended = false;
};

// The usage text's block of one command (its line and the lines indented under it); the
// whole text for a word that is no command.
QString commandHelp(const QString& command)
{
    const QStringList lines = QString::fromUtf8(UsageText).split(QLatin1Char('\n'));
    QStringList block;
    for (const QString& line : lines) {
        const bool starts = line.startsWith(QStringLiteral("  ") + command + QLatin1Char(' ')) ||
                            line == QStringLiteral("  ") + command;
        if (starts || (!block.isEmpty() && line.startsWith(QStringLiteral("    "))))
            block << line;
        else if (!block.isEmpty())
            break;
    }
    if (block.isEmpty())
        return QString::fromUtf8(UsageText);
    return QStringLiteral("Usage: globalstab [--data-root DIR] [--json] COMMAND [ARGUMENTS]\n\n") +
           block.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

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

// The value after a flag, taken out of the arguments; nullopt when the flag is not there.
std::optional<QString> takeValue(QStringList& arguments, const QString& flag, bool* missing)
{
    const qsizetype at = arguments.indexOf(flag);
    if (at < 0)
        return std::nullopt;
    if (at + 1 >= arguments.size()) {
        *missing = true;
        return std::nullopt;
    }
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

// A plan, one line per change or as JSON.
void printPlan(bool json, const Plan& plan)
{
    QStringList lines;
    QJsonArray list;
    for (const FileChange& change : plan) {
        const bool move = change.action == FileChange::Action::MoveFolder;
        const QString path = FileSystem::resolve(change.path);
        const QString from = move ? FileSystem::resolve(change.from) : QString();
        lines << (move ? from + QStringLiteral(" -> ") : QString()) + path + QStringLiteral(": ") +
                     change.summary;
        list.append(QJsonObject{{QStringLiteral("action"), move ? "move" : "replace"},
                                {QStringLiteral("path"), path},
                                {QStringLiteral("from"), from},
                                {QStringLiteral("summary"), change.summary}});
    }
    print(json, lines.join(QLatin1Char('\n')), {{QStringLiteral("plan"), list}});
}

int checkProject(const QString& root, QStringList arguments, bool json, bool dryRun)
{
    const bool repair = arguments.removeAll(QStringLiteral("--repair")) > 0;
    if (arguments.size() != 1)
        return usage(QStringLiteral("check needs one PROJECT"));
    if (repair && dryRun) {
        Console console;
        printPlan(json, previewChanges(root, [&](const QString& copy) {
                      check::repair(console, {copy, arguments.first(), 0});
                  }));
        return Done;
    }
    QList<check::Finding> findings;
    if (repair) {
        Console console;
        CommandAction action(console, root, "repair");
        if (!action.admitted())
            return Refused;
        findings = check::repair(console, {root, arguments.first(), 0});
        if (!action.commit())
            return Refused;
    } else {
        findings = check::run({root, arguments.first(), 0});
    }
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
        CommandAction action(console, root, "PXUpdateFiles");
        if (!action.admitted())
            return Refused;
        rewritePageTokens(folder, change, console);
        action.commit();
    } catch (const RuntimeError& error) {
        console.reportError("PXUpdateFiles", error);
    }
    print(json, QString(), {{QStringLiteral("reports"), console.shown}});
    return console.shown == 0 ? Done : Refused;
}

int renameProject(const QString& root, QStringList arguments, bool json, bool dryRun)
{
    bool missing = false;
    const std::optional<QString> id = takeValue(arguments, QStringLiteral("--id"), &missing);
    std::optional<QString> rank = takeValue(arguments, QStringLiteral("--rank"), &missing);
    const std::optional<QString> type =
        takeValue(arguments, QStringLiteral("--install-type"), &missing);
    if (missing || arguments.size() != 2 || !id)
        return usage(QStringLiteral("rename-project needs OLD NEW --id ID"));
    bool typeOk = true;
    const ProjectContext current{root, arguments.at(0), type ? type->toInt(&typeOk) : 0};
    if (!typeOk)
        return usage(QStringLiteral("--install-type takes a whole number"));
    if (!FileSystem().FolderExists(current.projectFolder()))
        return usage(QStringLiteral("no project \"%1\" in %2").arg(current.projectName, root));
    // Without --rank the project keeps the rank the selection list gives it, as the panel
    // shows it.
    if (!rank) {
        SelectionList selection;
        selection.load(current.selectionListPath());
        rank = selection.projectRank(current.projectName);
    }

    Console console;
    bool applied = false;
    trap(console, "CmdProjectNameApply_click", [&] {
        const ProjectInfoCheck checked =
            checkProjectInfo(console, current, arguments.at(1), *id, *rank);
        if (!checked.accepted)
            return;
        const ProjectInfoChange change{current, arguments.at(1), *id, checked.rank};
        if (dryRun) {
            const Plan plan = planRenameWithPages(change);
            printPlan(json, plan);
            applied = true;
            return;
        }
        CommandAction action(console, root, "CmdProjectNameApply_click");
        if (!action.admitted())
            return;
        if (!renameProject(console, change))
            return;
        // Said once its end is recorded, as the tab says it, errors reported or not; the exit
        // status tells a script of the errors.
        action.commit();
        print(json, resourceString(5539),
              {{QStringLiteral("project"), change.newName},
               {QStringLiteral("id"), change.id},
               {QStringLiteral("rank"), change.rank}});
        applied = true;
    });
    return applied && console.errors == 0 ? Done : Refused;
}

// The category panel's add, rename (its Edit mode), delete and up/down arrows, with its
// refusals. The panel reads the set again after each change and writes it anew; that
// refresh belongs to the panel's list and is not done here.
int categoryCommand(const QString& root, QStringList arguments, bool json, bool dryRun)
{
    bool missing = false;
    const std::optional<QString> type =
        takeValue(arguments, QStringLiteral("--install-type"), &missing);
    bool typeOk = true;
    const qint32 installType = type ? type->toInt(&typeOk) : 0;
    if (missing || !typeOk)
        return usage(QStringLiteral("--install-type takes a whole number"));
    const QString verb = arguments.value(1);
    const QHash<QString, int> counts{{QStringLiteral("add"), 3},
                                     {QStringLiteral("rename"), 4},
                                     {QStringLiteral("delete"), 3},
                                     {QStringLiteral("move"), 4}};
    if (arguments.size() < 2 || counts.value(verb) != arguments.size())
        return usage(QStringLiteral("category needs PROJECT add NAME, rename OLD NEW, "
                                    "delete NAME or move NAME up|down"));
    const ProjectContext project{root, arguments.at(0), installType};
    if (!FileSystem().FolderExists(project.projectFolder()))
        return usage(QStringLiteral("no project \"%1\" in %2").arg(project.projectName, root));
    const QString name = arguments.at(2);
    const bool up = arguments.value(3) == QLatin1String("up");
    if (verb == QLatin1String("move") && !up && arguments.at(3) != QLatin1String("down"))
        return usage(QStringLiteral("move takes up or down"));

    Console console;
    const QStringList listed = categories::listedCategories(project);
    const auto refuse = [&](const QString& text) {
        console.message(text);
        return Refused;
    };
    const auto isListed = [&](const QString& category) { return !notListed(category, listed); };
    DefaultServiceProvider services(root, installType);
    const char* procedure = "cmdApplyAddEditCate_Click";
    std::function<void(const ProjectContext&, Feedback&)> operation;
    if (verb == QLatin1String("add") || verb == QLatin1String("rename")) {
        const bool adding = verb == QLatin1String("add");
        const QString typed = adding ? name : arguments.at(3);
        if (!adding && !isListed(name))
            return usage(
                QStringLiteral("no category \"%1\" in \"%2\"").arg(name, project.projectName));
        QString refusal =
            adding ? QString()
                   : categories::refuseCategoryChange(&services, project, listed, name, typed);
        if (adding) {
            if (const auto named = categories::refuseCategoryName(typed, listed, true,
                                                                  resourceString(143).toInt()))
                refusal = resourceString(named->stringId);
        }
        if (!refusal.isEmpty())
            return refuse(refusal);
        const QString newName = trimBlanks(typed);
        operation = [=](const ProjectContext& at, Feedback& feedback) {
            DefaultServiceProvider provider(at.dataRoot, installType);
            categories::applyCategoryChange(
                feedback, *createService<BookCategoryService>(&provider), at.bookCategoriesPath(),
                at.tocPath(), newName, adding ? std::nullopt : std::optional(name));
        };
    } else if (verb == QLatin1String("delete")) {
        procedure = "cmdCategoryDelete_Click";
        if (const QString refusal =
                categories::refuseCategoryChange(&services, project, listed, name, std::nullopt);
            !refusal.isEmpty())
            return refuse(refusal);
        const QString trimmed = trimBlanks(name);
        const bool found = isListed(name);
        operation = [=](const ProjectContext& at, Feedback& feedback) {
            DefaultServiceProvider provider(at.dataRoot, installType);
            categories::deleteCategory(feedback, &provider, at, trimmed, found);
        };
        if (!found && !dryRun) {
            // The panel still files the books without a category before it says so.
            CommandAction action(console, root, procedure);
            if (!action.admitted())
                return Refused;
            trap(console, procedure, [&] { operation(project, console); });
            action.commit();
            return refuse(resourceString(2007));
        }
    } else {
        procedure = up ? "PictureMoveUP2_MouseDown" : "PictureMoveDown2_MouseDown";
        if (!isListed(name))
            return usage(
                QStringLiteral("no category \"%1\" in \"%2\"").arg(name, project.projectName));
        operation = [=](const ProjectContext& at, Feedback&) {
            categories::moveCategory(at.bookCategoriesPath(), escapeXml(name), up);
        };
    }

    if (dryRun) {
        const Plan plan = previewChanges(root, [&](const QString& copy) {
            operation({copy, project.projectName, installType}, console);
        });
        printPlan(json, plan);
        return Done;
    }
    CommandAction action(console, root, procedure);
    if (!action.admitted())
        return Refused;
    const int before = console.shown;
    trap(console, procedure, [&] { operation(project, console); });
    if (!action.commit() || console.shown != before)
        return Refused;
    CategorySet after;
    after.load(project.bookCategoriesPath());
    print(json, after.names().join(QLatin1Char('\n')),
          {{QStringLiteral("categories"), namesOf(after.names())}});
    return Done;
}

// The global page panel's Add and Delete, with its refusals.
int pageCommand(const QString& root, QStringList arguments, bool json, bool dryRun)
{
    const QString verb = arguments.value(1);
    if (!((verb == QLatin1String("add") && arguments.size() == 4) ||
          (verb == QLatin1String("edit") && arguments.size() == 5) ||
          (verb == QLatin1String("delete") && arguments.size() == 3)))
        return usage(
            QStringLiteral("page needs PROJECT add NAME FILE, edit OLD NEW FILE or delete NAME"));
    const ProjectContext project{root, arguments.at(0), 0};
    if (!FileSystem().FolderExists(project.projectFolder()))
        return usage(QStringLiteral("no project \"%1\" in %2").arg(project.projectName, root));
    const QString name = arguments.at(2);
    Console console;
    const auto pageNames = [](const ProjectContext& at) {
        GlobalBook book;
        if (FileSystem().FileExists(at.globalBookPath()))
            book.load(at.globalBookPath());
        return FileSystem().FileExists(at.globalBookPath()) ? book.pageNames() : QStringList();
    };

    const char* procedure = "cmdDelGblPage_Click";
    std::function<int(const ProjectContext&, Feedback&)> operation;
    if (verb == QLatin1String("add") || verb == QLatin1String("edit")) {
        procedure = "cmdAddGblPage_Click";
        const bool editing = verb == QLatin1String("edit");
        const QString newName = editing ? arguments.at(3) : name;
        const QString typed = arguments.last();
        // The panel's box shows the page's document as stored; kept as it is, it is the
        // same document.
        QString stored;
        if (editing) {
            if (notListed(name, pageNames(project)))
                return usage(QStringLiteral("no global page \"%1\" in \"%2\"")
                                 .arg(name, project.projectName));
            GlobalBook book;
            book.load(project.globalBookPath());
            stored = book.pageSource(name).value_or(QString());
        }
        // A file named on the command line is where the shell is; the panel's box holds a
        // full path.
        const QString source =
            typed.trimmed() == stored && editing ? typed : QFileInfo(typed).absoluteFilePath();
        if (!notListed(newName, pageNames(project)) && source.trimmed() == stored) {
            console.message(resourceString(5549));
            return Refused;
        }
        if (!checkCharacters(console, newName, QStringLiteral(" Name")))
            return Refused;
        if (const std::optional<PageRefusal> refusal = refusePage(newName, source)) {
            console.message(resourceString(refusal->stringId));
            return Refused;
        }
        const std::optional<QString> edited = editing ? std::optional(name) : std::nullopt;
        operation = [=](const ProjectContext& at, Feedback& feedback) {
            DefaultServiceProvider provider(at.dataRoot, 0);
            const auto book = createService<GlobalBookService>(&provider);
            const auto copier = createService<FileCopyService>(&provider);
            const auto entries = createService<BookEntryService>(&provider);
            const PageServices services{*book, *copier, *entries};
            prepareGlobalFolder(services, at, source);
            const int answer =
                saveGlobalPage(services, at, escapeReported(feedback, newName), source, edited);
            book->AddGlobalBookToToc(at.tocPath(), at.projectName);
            return answer;
        };
    } else {
        if (name.isEmpty()) {
            console.message(resourceString(134));
            return Refused;
        }
        operation = [=](const ProjectContext& at, Feedback& feedback) {
            DefaultServiceProvider provider(at.dataRoot, 0);
            createService<GlobalBookService>(&provider)->DeleteGlobalPage(
                at.globalBookPath(), escapeReported(feedback, name));
            return 0;
        };
    }

    if (dryRun) {
        const Plan plan = previewChanges(root, [&](const QString& copy) {
            operation({copy, project.projectName, 0}, console);
        });
        printPlan(json, plan);
        return Done;
    }
    CommandAction action(console, root, procedure);
    if (!action.admitted())
        return Refused;
    const int before = console.shown;
    int answer = 0;
    trap(console, procedure, [&] { answer = operation(project, console); });
    const bool clean = action.commit();
    if (!clean || console.shown != before || answer == 145 || answer == 142) {
        if (answer == 145 || answer == 142)
            console.message(resourceString(answer));
        return Refused;
    }
    const QStringList pages = pageNames(project);
    print(json,
          answer ? resourceString(answer) + QLatin1Char('\n') + pages.join(QLatin1Char('\n'))
                 : pages.join(QLatin1Char('\n')),
          {{QStringLiteral("pages"), namesOf(pages)}});
    return Done;
}

int undo(const QString& root, bool json)
{
    try {
        const journal::Outcome outcome = Action::undoLast(root);
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
        // The command is the first word that is neither an option nor the data root.
        QString command;
        for (qsizetype i = 0; i < arguments.size() && command.isEmpty(); ++i) {
            if (arguments.at(i) == QLatin1String("--data-root"))
                ++i;
            else if (!arguments.at(i).startsWith(QLatin1String("--")))
                command = arguments.at(i);
        }
        out() << commandHelp(command);
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

    journal::Outcome recovered;
    try {
        recovered = Action::recover(root);
    } catch (const RuntimeError& error) {
        // A command that only reads goes on; one that writes is refused by its own action.
        err() << "globalstab: warning: " << error.description() << '\n';
    }
    if (!recovered.empty())
        err() << "globalstab: " << Action::describeRecovery(recovered) << '\n';

    const QString command = arguments.takeFirst();
    if (command == QLatin1String("check"))
        return checkProject(root, arguments, json, dryRun);
    if (command == QLatin1String("rename-project"))
        return renameProject(root, arguments, json, dryRun);
    if (command == QLatin1String("category"))
        return categoryCommand(root, arguments, json, dryRun);
    if (command == QLatin1String("page"))
        return pageCommand(root, arguments, json, dryRun);
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
