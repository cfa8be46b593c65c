#include "operations/ProjectRename.h"

#include "core/Action.h"
#include "core/Journal.h"
#include "core/StringTable.h"
#include "documents/BookDocument.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "operations/PageTokens.h"
#include "platform/FileSystem.h"
#include "platform/Numbers.h"
#include "text/TextChecks.h"

#include <optional>
#include <vector>

namespace globalstab {

namespace {
constexpr qint32 MaxRank = 32000;
constexpr qint32 ProInstallType = 1000;
} // namespace

PlatformVariation splitProjectName(const QString& name)
{
    const QStringList pieces = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString last = pieces.last();
    if (!isNumeric(last))
        return {name, QString()};
    return {name.left(name.indexOf(last)), last};
}

ProjectInfoCheck checkProjectInfo(Feedback& feedback, const ProjectContext& current,
                                  const QString& name, const QString& id, const QString& rankText)
{
    using Field = ProjectInfoCheck::Field;
    const auto refuse = [&](int stringId, Field focus) {
        feedback.message(resourceString(stringId), MessageButtons::Ok, MessageIcon::Information);
        return ProjectInfoCheck{false, focus, false, QString()};
    };
    if (trimBlanks(name).isEmpty())
        return refuse(123, Field::Name);
    if (trimBlanks(id).isEmpty())
        return refuse(122, Field::Id);
    if (trimBlanks(id).contains(QLatin1Char(' ')))
        return refuse(116, Field::Id);
    if (trimBlanks(name) == QLatin1String("."))
        return refuse(123, Field::Name);

    // Both checks run so that the user hears of every refused character at once.
    const bool nameClean =
        !checkXmlCharacters(feedback, name, QStringLiteral("Project Name")).isEmpty();
    const bool idClean = !checkXmlCharacters(feedback, id, QStringLiteral("Project Id")).isEmpty();
    if (!nameClean || !idClean)
        return {false, Field::None, true, QString()};

    const QString selectionPath = current.selectionListPath();
    if (FileSystem().FileExists(selectionPath)) {
        SelectionList selection;
        selection.load(selectionPath);
        if (selection.namesAnotherProject(escapeReported(feedback, name), current.projectName)) {
            feedback.message(resourceString(117) + QStringLiteral(" ") + name +
                                 QStringLiteral(" ") + resourceString(118),
                             MessageButtons::Ok, MessageIcon::Information);
            return {false, Field::Name, false, QString()};
        }
    }

    QString rank = acceptedRank(rankText);
    if (rank.isEmpty()) {
        feedback.message(resourceString(147), MessageButtons::Ok, MessageIcon::None);
        rank = QStringLiteral("500");
    }
    return {true, Field::None, false, rank};
}

QString acceptedRank(const QString& typed)
{
    const QString rank = trimBlanks(typed);
    if (rank.contains(QLatin1Char(',')) || rank.contains(QLatin1Char('.')) || !isNumeric(rank))
        return QString();
    const qint32 value = toLong(rank);
    if (value <= 0 || value > MaxRank)
        return QString();
    return QString::number(value);
}

// Errors met while reading are kept and reported where the original order of writes would
// have met them, so the plan changes nothing the user sees. The books are only named here:
// each is read, changed and saved in turn by apply(), so that a project of tens of thousands
// of books never holds more than one of them.
struct ProjectRename::Private
{
    struct Book
    {
        QString folder;
        QString file;
    };

    ProjectContext before;
    ProjectContext after;
    QString newName;
    QString folderFrom;
    QString folderTo;

    QString selectionPath;
    bool selectionMissing = false;
    SelectionList selection;
    std::optional<RuntimeError> selectionError;

    QString tocPath;
    bool tocMissing = false;
    TableOfContents toc;
    std::vector<Book> books; // present before the move, in the order the contents list them
    std::optional<RuntimeError> tocError;

    // The book read and given the new name, or nothing when it cannot be read (then noted
    // as skipped: the tab says nothing of it).
    std::unique_ptr<BookDocument> renamedBook(const Book& book, const QString& path) const
    {
        auto document = std::make_unique<BookDocument>();
        if (!document->load(path)) {
            noteSkippedDocument(FileSystem::resolve(path),
                                QStringLiteral("it could not be read (%1), so it keeps the "
                                               "project name \"%2\" and its old book key")
                                    .arg(document->parseError(), before.projectName));
            return nullptr;
        }
        document->setProject(newName, book.folder);
        return document;
    }
};

ProjectRename::ProjectRename(const ProjectInfoChange& change) : d(std::make_unique<Private>())
{
    const FileSystem fso;
    d->before = change.project;
    d->after = d->before.withProject(change.newName);
    d->newName = change.newName;
    d->folderFrom = d->before.docsFolder() + d->before.projectName;
    d->folderTo = d->after.projectFolder();

    d->selectionPath = d->after.selectionListPath();
    d->selectionMissing = !fso.FileExists(d->selectionPath);
    if (!d->selectionMissing) {
        d->selection.load(d->selectionPath);
        try {
            d->selection.replaceEntry(
                d->before.projectName,
                {change.id, change.newName, change.rank, d->before.installType == ProInstallType});
        } catch (const RuntimeError& error) {
            d->selectionError = error;
        }
    }

    d->tocPath = d->after.tocPath();
    d->tocMissing = !fso.FileExists(d->before.tocPath());
    if (d->tocMissing)
        return;
    try {
        const PlatformVariation parts = splitProjectName(change.newName);
        d->toc.load(d->before.tocPath());
        d->toc.setProductInfo(parts.platform, parts.variation);
        d->toc.setBookKeys(change.newName, [&](const QString& folder, const QString& file) {
            if (fso.FileExists(d->before.bookPath(folder, file)))
                d->books.push_back({folder, file});
        });
    } catch (const RuntimeError& error) {
        d->tocError = error;
    }
}

ProjectRename::~ProjectRename() = default;

Plan ProjectRename::plan() const
{
    Plan changes;
    if (d->folderFrom != d->folderTo)
        changes.append({FileChange::Action::MoveFolder, d->folderTo, d->folderFrom,
                        QStringLiteral("project folder renamed")});
    if (!d->selectionMissing && !d->selectionError)
        changes.append({FileChange::Action::ReplaceFile, d->selectionPath, QString(),
                        QStringLiteral("project entry replaced")});
    if (d->tocMissing)
        return changes;
    for (const Private::Book& book : d->books) {
        if (d->renamedBook(book, d->before.bookPath(book.folder, book.file)))
            changes.append({FileChange::Action::ReplaceFile,
                            d->after.bookPath(book.folder, book.file), QString(),
                            QStringLiteral("Book_Key and Book_Path")});
    }
    if (!d->tocError)
        changes.append({FileChange::Action::ReplaceFile, d->tocPath, QString(),
                        QStringLiteral("platform, variation and book keys")});
    return changes;
}

bool ProjectRename::apply(Feedback& feedback) const
{
    const FileSystem fso;
    try {
        Folder project = fso.GetFolder(d->folderFrom);
        project.Move(d->folderTo);
    } catch (const JournalFailure&) {
        throw; // the folder was never touched: the journal is what failed
    } catch (const RuntimeError&) {
        // Another program holding the folder is the usual cause; the user is told so rather
        // than shown the platform's error.
        feedback.message(resourceString(124), MessageButtons::Ok, MessageIcon::Information);
        return false;
    }

    if (d->selectionMissing) {
        feedback.message(resourceString(140), MessageButtons::Ok, MessageIcon::Information);
    } else {
        trap(feedback, "UpdatePXSelection", [&] {
            if (d->selectionError)
                throw *d->selectionError;
            // Saved only once the new entry is complete: a failure leaves the file as it was.
            d->selection.save(d->selectionPath);
        });
    }

    if (d->tocMissing) {
        feedback.message(resourceString(125), MessageButtons::Ok, MessageIcon::Information);
        return false;
    }
    for (const Private::Book& book : d->books) {
        const QString path = d->after.bookPath(book.folder, book.file);
        trap(feedback, "UpdateProductInfoInBook", [&] {
            if (const auto document = d->renamedBook(book, path))
                document->save(path);
        });
    }
    if (d->tocError)
        throw *d->tocError;
    d->toc.save(d->tocPath);
    return true;
}

bool renameProject(Feedback& feedback, const ProjectInfoChange& change,
                   const std::function<void()>& documentsDone)
{
    bool renamed = false;
    trap(feedback, "UpdatePXTocWithProdInfo",
         [&] { renamed = ProjectRename(change).apply(feedback); });
    if (documentsDone)
        documentsDone();
    if (!renamed)
        return false;
    const ProjectContext& current = change.project;
    rewritePageTokens(FileSystem().GetFolder(current.docsFolder() + change.newName),
                      {current.dataRoot, current.projectName, change.newName, 0}, feedback);
    return true;
}

Plan planRenameWithPages(const ProjectInfoChange& change)
{
    const ProjectContext& current = change.project;
    Plan plan = ProjectRename(change).plan();
    for (FileChange page :
         planPageTokens(FileSystem().GetFolder(current.projectFolder()),
                        {current.dataRoot, current.projectName, change.newName, 0})) {
        page.path.replace(FileSystem::resolve(current.projectFolder()),
                          current.docsFolder() + change.newName);
        plan.append(page);
    }
    return plan;
}

} // namespace globalstab
