// rename-project and update-pages: the project panel's apply and the tab's PXUpdateFiles.
#include "cli/Commands.h"

#include "core/StringTable.h"
#include "documents/SelectionList.h"
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileChangeObserver.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace globalstab::cli {

namespace {

bool isPage(const QString& path)
{
    return QFileInfo(path).fileName().contains(QLatin1String(".htm"), Qt::CaseInsensitive);
}

QString tokenOf(const QString& name)
{
    return QStringLiteral("\"**%1**\"").arg(name);
}

// A page of a token plan, in words: the tab writes every page back, tokens or none.
QString pageChange(const QString& summary, const QString& from, const QString& to)
{
    const int count = summary.section(QLatin1Char(' '), 0, 0).toInt();
    if (count == 0)
        return QStringLiteral("written again as UTF-16, no token replaced");
    return QStringLiteral("token %1 replaced by %2 %3 time(s); written as UTF-16")
        .arg(tokenOf(from), tokenOf(to))
        .arg(count);
}

PlannedChange planned(const Run& run, const FileChange& change)
{
    PlannedChange planned;
    planned.path = run.out.relative(change.path);
    if (change.action == FileChange::Action::MoveFolder) {
        planned.action = QStringLiteral("move-folder");
        planned.from = run.out.relative(change.from);
        return planned;
    }
    const QFileInfo file(FileSystem::resolve(change.path));
    planned.action = change.summary.contains(QLatin1String("deleted")) ? QStringLiteral("delete")
                                                                       : QStringLiteral("replace");
    planned.bytesBefore = file.isFile() ? file.size() : -1;
    planned.details << change.summary;
    return planned;
}

// Book_Path as a rename writes it: the new name and the book's folder.
QString bookPath(const QString& relativePath, const QString& newName)
{
    const QString inProject = relativePath.section(QLatin1Char('/'), 2);
    return newName + QLatin1Char('\\') +
           QFileInfo(inProject).path().replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// Counts the files a command writes or deletes.
class Counter : public FileChangeObserver
{
public:
    void aboutToChange(DiskChange change, const QString& path, const QString&) override
    {
        if (change == DiskChange::Replace)
            written.insert(path);
        else if (change == DiskChange::Delete)
            deleted.insert(path);
    }
    QSet<QString> written;
    QSet<QString> deleted;
};

} // namespace

int renameProjectCommand(Run& run)
{
    requireArguments(run, {2}, QStringLiteral("OLD NEW"));
    const Invocation& options = run.invocation;
    const int installType = options.has(QStringLiteral("--install-type"))
                                ? wholeNumber(QStringLiteral("--install-type"),
                                              *options.value(QStringLiteral("--install-type")))
                                : 0;
    std::optional<QString> rank = options.value(QStringLiteral("--rank"));
    if (rank) {
        QString accepted;
        try {
            accepted = acceptedRank(*rank);
        } catch (const RuntimeError&) {
            // Beyond 32 bits: not a rank either.
        }
        if (accepted.isEmpty())
            throw UsageError(QStringLiteral("--rank takes a whole number from 1 to 32000, not %1")
                                 .arg(quoted(*rank)));
        rank = accepted;
    }
    const QString oldName = run.arguments().at(0);
    const QString newName = run.arguments().at(1);
    requireProject(run, oldName);
    const ProjectContext current{run.root, oldName, installType};
    // The panel would move the folder before it found either unreadable.
    if (refuseUnreadable(run, {current.selectionListPath(), current.tocPath()}))
        return run.out.finish(Refused);

    // Without --id or --rank the project keeps what its entry gives it, as the panel shows it.
    SelectionList selection;
    selection.load(current.selectionListPath());
    std::optional<QString> id = options.value(QStringLiteral("--id"));
    if (!id) {
        try {
            id = selection.projectId(oldName);
        } catch (const RuntimeError&) {
            id = QString(); // a name its query cannot hold has no ID to keep
        }
    }
    if (!rank)
        rank = selection.projectRank(oldName);

    Console console(run.out);
    int status = Refused;
    trap(console, "CmdProjectNameApply_click", [&] {
        console.kind = say::Refusal;
        const ProjectInfoCheck checked = checkProjectInfo(console, current, newName, *id, *rank);
        console.kind = say::Message;
        if (!checked.accepted)
            return;
        const ProjectInfoChange change{current, newName, *id, checked.rank};
        const QJsonObject result{{QStringLiteral("project"), newName},
                                 {QStringLiteral("previous"), oldName},
                                 {QStringLiteral("id"), *id},
                                 {QStringLiteral("rank"), checked.rank.toInt()}};
        if (run.dryRun()) {
            const PlatformVariation parts = splitProjectName(newName);
            const QString selectionPath = FileSystem::resolve(current.selectionListPath());
            QList<PlannedChange> plan;
            for (const FileChange& file : planRenameWithPages(change)) {
                PlannedChange item = planned(run, file);
                const QString native = FileSystem::resolve(file.path);
                if (native == selectionPath)
                    item.details = {QStringLiteral("project %1 replaced by %2: ID %3, rank %4")
                                        .arg(quoted(oldName), quoted(newName), quoted(*id),
                                             quoted(checked.rank))};
                else if (isPage(native))
                    item.details = {pageChange(file.summary, oldName, newName)};
                else if (QFileInfo(native).fileName().compare(QLatin1String("PX_TOC.xml"),
                                                              Qt::CaseInsensitive) == 0)
                    item.details = {
                        QStringLiteral("PX_Platform %1, PX_Variation %2, PX_ID "
                                       "emptied, every Book_Key %3")
                            .arg(quoted(parts.platform), quoted(parts.variation), quoted(newName))};
                else if (item.action != QLatin1String("move-folder"))
                    item.details = {
                        QStringLiteral("Book_Key %1, Book_Path %2")
                            .arg(quoted(newName), quoted(bookPath(item.path, newName)))};
                plan.append(item);
            }
            run.out.setPlan(plan);
            run.out.setResult(result);
            status = console.errors == 0 ? Done : Refused;
            return;
        }
        CommandAction action(
            run, console, "CmdProjectNameApply_click",
            QStringLiteral("the project rename %1 to %2").arg(quoted(oldName), quoted(newName)));
        if (!action.admitted())
            return;
        const TerminalProgress progress;
        if (!renameProject(console, change))
            return;
        // Said once its end is recorded, as the tab says it, errors reported or not; the exit
        // status tells a script of the errors.
        action.commit();
        run.out.print(resourceString(5539));
        run.out.setResult(result);
        status = console.errors == 0 ? Done : Refused;
    });
    return run.out.finish(status);
}

int updatePagesCommand(Run& run)
{
    requireArguments(run, {3}, QStringLiteral("PROJECT FOLDER PRODUCT"));
    qint16 type = 0;
    if (const std::optional<QString> value = run.invocation.value(QStringLiteral("--type"))) {
        if (*value != QLatin1String("0") && *value != QLatin1String("1"))
            throw UsageError(QStringLiteral("--type takes 0 or 1, not %1").arg(quoted(*value)));
        type = qint16(value->toInt());
    }
    const QString project = run.arguments().at(0);
    const QString folderName = run.arguments().at(1);
    const QString product = run.arguments().at(2);
    const QString folderPath = run.root + folderName;
    const FileSystem fso;
    if (folderName.isEmpty() || QDir::isAbsolutePath(folderName) || !fso.FolderExists(folderPath) ||
        !FileSystem::IsWithin(FileSystem::resolve(folderPath), run.root))
        throw UsageError(
            QStringLiteral("no such folder %1 in the data root (FOLDER is relative to it)")
                .arg(quoted(folderName)));
    const PageTokenChange change{run.root, product, project, type};
    Console console(run.out);
    const QJsonObject result{{QStringLiteral("folder"), run.out.relative(folderPath)},
                             {QStringLiteral("product"), product},
                             {QStringLiteral("project"), project},
                             {QStringLiteral("type"), type}};
    if (run.dryRun()) {
        QList<PlannedChange> plan;
        trap(console, "PXUpdateFiles", [&] {
            for (const FileChange& file : planPageTokens(fso.GetFolder(folderPath), change)) {
                PlannedChange item = planned(run, file);
                if (item.action == QLatin1String("replace"))
                    item.details = {pageChange(file.summary, product, project)};
                else
                    item.details.clear();
                plan.append(item);
            }
        });
        run.out.setPlan(plan);
        run.out.setResult(result);
        return run.out.finish(console.shown == 0 ? Done : Refused);
    }
    Counter counter;
    {
        CommandAction action(
            run, console, "PXUpdateFiles",
            QStringLiteral("the page token update %1 to %2 below %3")
                .arg(tokenOf(product), tokenOf(project), quoted(run.out.relative(folderPath))));
        if (!action.admitted())
            return run.out.finish(Refused);
        const ObservedFileChanges watching(counter);
        const TerminalProgress progress;
        trap(console, "PXUpdateFiles",
             [&] { rewritePageTokens(fso.GetFolder(folderPath), change, console); });
        action.commit();
    }
    QJsonObject counted = result;
    counted.insert(QStringLiteral("pages_written"), counter.written.size());
    counted.insert(QStringLiteral("files_deleted"), counter.deleted.size());
    run.out.print(QStringLiteral("%1 page(s) written, %2 file(s) deleted.")
                      .arg(counter.written.size())
                      .arg(counter.deleted.size()));
    run.out.setResult(counted);
    return run.out.finish(console.shown == 0 ? Done : Refused);
}

} // namespace globalstab::cli
