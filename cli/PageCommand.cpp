// page: the global page panel's Add, Edit and Delete.
#include "cli/Commands.h"

#include "core/StringTable.h"
#include "documents/GlobalBook.h"
#include "operations/PageLinks.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RuntimeError.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"
#include "text/TextChecks.h"

#include <QFileInfo>
#include <QJsonArray>

namespace globalstab::cli {

namespace {

QStringList pageNames(const ProjectContext& at)
{
    GlobalBook book;
    return book.load(at.globalBookPath()) ? book.pageNames() : QStringList();
}

} // namespace

int pageCommand(Run& run)
{
    const QStringList& arguments = run.arguments();
    const QString verb = arguments.value(1);
    if (!((verb == QLatin1String("add") && arguments.size() == 4) ||
          (verb == QLatin1String("edit") && arguments.size() == 5) ||
          (verb == QLatin1String("delete") && arguments.size() == 3)))
        throw UsageError(QStringLiteral(
            "page takes PROJECT add NAME FILE, PROJECT edit OLD NEW FILE or PROJECT delete NAME"));
    const QString projectName = arguments.at(0);
    requireProject(run, projectName);
    const ProjectContext project{run.root, projectName, 0};
    // Every apply lists the global book in the table of contents and the category set.
    if (refuseUnreadable(run, {project.tocPath()},
                         {project.globalBookPath(), project.bookCategoriesPath()}))
        return run.out.finish(Refused);
    const QString name = arguments.at(2);
    const QStringList pages = pageNames(project);
    if (verb != QLatin1String("add"))
        requireListed(QStringLiteral("global page"), name, pages, projectName);

    Console console(run.out);
    const auto refuse = [&](const QString& text) {
        run.out.say(say::Refusal, text);
        return run.out.finish(Refused);
    };
    const char* procedure = "cmdDelGblPage_Click";
    QString words = QStringLiteral("the global page delete %1").arg(quoted(name));
    std::function<int(const ProjectContext&, Feedback&)> operation = [=](const ProjectContext& at,
                                                                         Feedback& feedback) {
        DefaultServiceProvider provider(at.dataRoot, 0);
        createService<GlobalBookService>(&provider)->DeleteGlobalPage(
            at.globalBookPath(), escapeReported(feedback, name));
        return 0;
    };
    if (verb != QLatin1String("delete")) {
        procedure = "cmdAddGblPage_Click";
        const bool editing = verb == QLatin1String("edit");
        const QString newName = editing ? arguments.at(3) : name;
        const QString typed = arguments.last();
        // The panel's box shows the page's document as stored; kept as it is, it is the same
        // document, and nothing is copied.
        QString stored;
        if (editing) {
            GlobalBook book;
            book.load(project.globalBookPath());
            stored = book.pageSource(name).value_or(QString());
        }
        const bool keptDocument = editing && typed.trimmed() == stored;
        // A file named on the command line is where the shell is; the panel's box holds a
        // full path.
        const QString source = keptDocument ? typed : QFileInfo(typed).absoluteFilePath();
        if (!notListed(newName, pages) && source.trimmed() == stored)
            return refuse(resourceString(5549));
        console.kind = say::Refusal;
        const bool clean = checkCharacters(console, newName, QStringLiteral(" Name"));
        console.kind = say::Message;
        if (!clean)
            return run.out.finish(Refused);
        if (const std::optional<PageRefusal> refusal = refusePage(newName, source))
            return refuse(resourceString(refusal->stringId));
        if (!keptDocument && !QFileInfo::exists(typed))
            throw UsageError(QStringLiteral("no such file %1").arg(quoted(typed)));
        if (!keptDocument && !QFileInfo(typed).isFile())
            throw UsageError(QStringLiteral("%1 is not a file").arg(quoted(typed)));
        // The global book's own add or edit, tried on the book in memory: the panel copies
        // the document before the book refuses a name, which would leave the copy behind.
        bool accepted = true;
        try {
            GlobalBook book;
            if (!book.load(project.globalBookPath()))
                book.create(projectName);
            const QString pageName = unescapeXml(escapeXml(newName));
            const QString fileName = paths::fileName(source);
            accepted = editing ? book.editPage(name, pageName, fileName, project.globalBookPath())
                               : book.addPage(pageName, fileName, project.globalBookPath());
        } catch (const RuntimeError& error) {
            console.reportError(procedure, error);
            return run.out.finish(Refused);
        }
        if (!accepted)
            return refuse(resourceString(editing ? 142 : 145));
        words =
            editing
                ? QStringLiteral("the global page edit %1 to %2").arg(quoted(name), quoted(newName))
                : QStringLiteral("the global page add %1").arg(quoted(newName));
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
    }

    const int before = console.shown;
    int answer = 0;
    QStringList after;
    if (run.dryRun()) {
        planCommand(
            run, console, procedure,
            [&](const QString& copy) {
                answer = operation({copy, projectName, 0}, console);
            },
            [&](const QString& copy) {
                after = pageNames({copy, projectName, 0});
            });
    } else {
        CommandAction action(run, console, procedure, words);
        if (!action.admitted())
            return run.out.finish(Refused);
        trap(console, procedure, [&] { answer = operation(project, console); });
        action.commit();
        after = pageNames(project);
    }
    const bool failed = answer == 145 || answer == 142;
    if (failed)
        run.out.say(say::Refusal, resourceString(answer));
    const QString said = answer && !failed ? resourceString(answer) : QString();
    if (!run.dryRun())
        run.out.print(said.isEmpty() ? after.join(QLatin1Char('\n'))
                                     : said + QLatin1Char('\n') + after.join(QLatin1Char('\n')));
    run.out.setResult(
        {{QStringLiteral("project"), projectName},
         {QStringLiteral("message"), said.isEmpty() ? QJsonValue() : QJsonValue(said)},
         {QStringLiteral("pages"), QJsonArray::fromStringList(after)}});
    return run.out.finish(console.shown == before && !failed ? Done : Refused);
}

} // namespace globalstab::cli
