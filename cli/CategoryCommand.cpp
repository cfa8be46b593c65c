// category: the category panel's add, rename (its Edit mode), delete and up/down arrows.
#include "cli/Commands.h"

#include "core/StringTable.h"
#include "documents/CategorySet.h"
#include "operations/CategoryChanges.h"
#include "platform/FileSystem.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"
#include "text/TextChecks.h"

#include <QJsonArray>

namespace globalstab::cli {

int categoryCommand(Run& run)
{
    static const QHash<QString, int> counts{{QStringLiteral("add"), 3},
                                            {QStringLiteral("rename"), 4},
                                            {QStringLiteral("delete"), 3},
                                            {QStringLiteral("move"), 4}};
    const QStringList& arguments = run.arguments();
    const QString verb = arguments.value(1);
    if (counts.value(verb) != arguments.size())
        throw UsageError(QStringLiteral("category takes PROJECT add NAME, PROJECT rename OLD NEW, "
                                        "PROJECT delete NAME or PROJECT move NAME up|down"));
    const QString direction = verb == QLatin1String("move") ? arguments.at(3) : QString();
    if (verb == QLatin1String("move") && direction != QLatin1String("up") &&
        direction != QLatin1String("down"))
        throw UsageError(QStringLiteral("move takes up or down, not %1").arg(quoted(direction)));
    const int installType =
        run.invocation.has(QStringLiteral("--install-type"))
            ? wholeNumber(QStringLiteral("--install-type"),
                          *run.invocation.value(QStringLiteral("--install-type")))
            : 0;
    const QString projectName = arguments.at(0);
    requireProject(run, projectName);
    const ProjectContext project{run.root, projectName, installType};
    const QString name = arguments.at(2);

    // The panel lists the categories from the set, which it writes when it lists them: the
    // command line works on the set as it stands, and on a table of contents it can read.
    if (!FileSystem().FileExists(project.bookCategoriesPath())) {
        run.out.say(say::Refusal,
                    QStringLiteral("%1 has no category set (%2); the category panel writes it "
                                   "when it lists the project's categories")
                        .arg(quoted(projectName), run.out.relative(project.bookCategoriesPath())));
        return run.out.finish(Refused);
    }
    if (refuseUnreadable(run, {project.bookCategoriesPath(), project.tocPath()}))
        return run.out.finish(Refused);
    const QStringList listed = categories::listedCategories(project);
    if (verb != QLatin1String("add"))
        requireListed(QStringLiteral("category"), name, listed, projectName);

    Console console(run.out);
    const auto refuse = [&](const QString& text) {
        run.out.say(say::Refusal, text);
        return run.out.finish(Refused);
    };
    DefaultServiceProvider services(run.root, installType);
    const char* procedure = "cmdApplyAddEditCate_Click";
    QString words;
    std::function<void(const ProjectContext&, Feedback&)> operation;
    if (verb == QLatin1String("add") || verb == QLatin1String("rename")) {
        const bool adding = verb == QLatin1String("add");
        const QString typed = adding ? name : arguments.at(3);
        QString refusal;
        if (adding) {
            if (const auto named = categories::refuseCategoryName(typed, listed, true,
                                                                  resourceString(143).toInt()))
                refusal = resourceString(named->stringId);
        } else {
            refusal = categories::refuseCategoryChange(&services, project, listed, name, typed);
        }
        if (!refusal.isEmpty())
            return refuse(refusal);
        const QString newName = trimBlanks(typed);
        words =
            adding
                ? QStringLiteral("the category add %1").arg(quoted(newName))
                : QStringLiteral("the category rename %1 to %2").arg(quoted(name), quoted(newName));
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
        words = QStringLiteral("the category delete %1").arg(quoted(name));
        operation = [=](const ProjectContext& at, Feedback& feedback) {
            DefaultServiceProvider provider(at.dataRoot, installType);
            categories::deleteCategory(feedback, &provider, at, trimBlanks(name), true);
        };
    } else {
        const bool up = direction == QLatin1String("up");
        procedure = up ? "PictureMoveUP2_MouseDown" : "PictureMoveDown2_MouseDown";
        // The set's own swap, tried on the set in memory: a category without a neighbour
        // there (or one whose name the lookup cannot match) stays where it is.
        CategorySet set;
        set.load(project.bookCategoriesPath());
        if (!set.moveCategory(escapeXml(name), up))
            return refuse(QStringLiteral("the category %1 cannot move %2: it has no neighbour %3 "
                                         "in the category set")
                              .arg(quoted(name), direction, up ? "above" : "below"));
        words = QStringLiteral("the category move %1 %2").arg(quoted(name), direction);
        operation = [=](const ProjectContext& at, Feedback&) {
            categories::moveCategory(at.bookCategoriesPath(), escapeXml(name), up);
        };
    }

    QStringList after;
    const auto readAfter = [&](const ProjectContext& at) {
        CategorySet set;
        set.load(at.bookCategoriesPath());
        after = set.names();
    };
    const int before = console.shown;
    if (run.dryRun()) {
        planCommand(
            run, console, procedure,
            [&](const QString& copy) {
                operation({copy, projectName, installType}, console);
            },
            [&](const QString& copy) {
                readAfter({copy, projectName, installType});
            });
    } else {
        CommandAction action(run, console, procedure, words);
        if (!action.admitted())
            return run.out.finish(Refused);
        trap(console, procedure, [&] { operation(project, console); });
        action.commit();
        readAfter(project);
        run.out.print(after.join(QLatin1Char('\n')));
    }
    run.out.setResult({{QStringLiteral("project"), projectName},
                       {QStringLiteral("categories"), QJsonArray::fromStringList(after)}});
    return run.out.finish(console.shown == before ? Done : Refused);
}

} // namespace globalstab::cli
