#include <globalstab/DataRoot.h>

#include "check/ProjectCheck.h"
#include "core/Action.h"
#include "core/Journal.h"
#include "documents/CategorySet.h"
#include "documents/ProjectContext.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "operations/CategoryChanges.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QHash>

namespace globalstab {

namespace {

// The form the model takes a data root in: absolute, ending with a separator.
ProjectContext contextOf(const QString& dataRoot, const QString& project, qint32 installType)
{
    return {QDir(dataRoot).absolutePath() + QLatin1Char('/'), project, installType};
}

} // namespace

QString resolveDocsPath(const QString& dataRoot, const QString& relative)
{
    return FileSystem::resolve(dataRoot + QStringLiteral("/Docs/") + relative);
}

std::optional<QStringList> projectNames(const QString& dataRoot)
{
    SelectionList selection;
    if (!selection.load(resolveDocsPath(dataRoot, QStringLiteral("PX_Selection.XML"))))
        return std::nullopt;
    return selection.projectNames();
}

std::optional<QList<CategoryBooks>> projectCategories(const QString& dataRoot,
                                                      const QString& project)
{
    CategorySet set;
    if (!set.load(resolveDocsPath(dataRoot, project + QStringLiteral("/PX_BookCategories.xml"))))
        return std::nullopt;
    TableOfContents toc;
    const QHash<QString, QString> names =
        toc.load(resolveDocsPath(dataRoot, project + QStringLiteral("/PX_TOC.xml")))
            ? toc.bookNames()
            : QHash<QString, QString>();
    QList<CategoryBooks> result;
    for (const CategorySet::Category& category : set.categories()) {
        CategoryBooks entry{category.name, category.bookAcros, {}};
        for (const QString& acro : category.bookAcros)
            entry.bookNames << names.value(acro, acro);
        result << entry;
    }
    return result;
}

QStringList listedCategories(const QString& dataRoot, const QString& project, qint32 installType)
{
    return categories::listedCategories(contextOf(dataRoot, project, installType));
}

QStringList checkProject(const QString& dataRoot, const QString& project, qint32 installType)
{
    QStringList lines;
    for (const check::Finding& finding : check::run(contextOf(dataRoot, project, installType)))
        lines << check::describe(finding);
    return lines;
}

UndoOutcome undoLastChange(const QString& dataRoot)
{
    const journal::Outcome outcome = Action::undoLast(dataRoot);
    return {outcome.actions, outcome.files};
}

int changesKeptForUndo()
{
    return journal::keep();
}

void setChangesKeptForUndo(int changes)
{
    journal::setKeep(changes);
}

} // namespace globalstab
