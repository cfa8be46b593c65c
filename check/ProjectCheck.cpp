#include "check/ProjectCheck.h"

#include "categories/CategoryChanges.h"
#include "documents/BookDocument.h"
#include "documents/CategorySet.h"
#include "documents/DefaultCategories.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "projectinfo/PageTokens.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace globalstab::check {

namespace {

using Kind = Finding::Kind;

QSet<QString> folded(const QStringList& names)
{
    QSet<QString> set;
    for (const QString& name : names)
        set.insert(name.toCaseFolded());
    return set;
}

void checkPages(const Folder& top, const QStringList& otherProjects, QList<Finding>& findings)
{
    static const QRegularExpression token(QStringLiteral("\\*\\*([^*\\r\\n]+)\\*\\*"));
    const QSet<QString> others(otherProjects.begin(), otherProjects.end());
    QList<Folder> pending{top};
    while (!pending.isEmpty()) {
        const Folder folder = pending.takeLast();
        for (const FileEntry& file : folder.Files()) {
            if (!file.Path.contains(QStringLiteral(".HTM"), Qt::CaseInsensitive) ||
                FileSystem::isLeftover(file.Name))
                continue;
            QString text;
            try {
                text = FileSystem().ReadAllText(file.Path);
            } catch (const RuntimeError&) {
                continue;
            }
            QSet<QString> reported;
            for (const QRegularExpressionMatch& match : token.globalMatch(text)) {
                const QString name = match.captured(1);
                if (others.contains(name) && !reported.contains(name)) {
                    reported.insert(name);
                    findings.append({Kind::ForeignToken, file.Path, QString(), name});
                }
            }
        }
        pending.append(folder.SubFolders());
    }
}

} // namespace

QString describe(const Finding& finding)
{
    static const QHash<Kind, QString> what = {
        {Kind::CategoryUnused, QStringLiteral("category no book lists")},
        {Kind::CategoryUnknown, QStringLiteral("category missing from the category set")},
        {Kind::BookCategoriesDiffer,
         QStringLiteral("book's categories differ from the table of contents")},
        {Kind::BookDocumentMissing, QStringLiteral("book document missing")},
        {Kind::GlobalDocumentMissing, QStringLiteral("global page's document missing")},
        {Kind::SelectionEntryMissing, QStringLiteral("project missing from the selection list")},
        {Kind::SelectionEntryTwice, QStringLiteral("project listed twice in the selection list")},
        {Kind::ProjectFolderMissing, QStringLiteral("project folder missing")},
        {Kind::ForeignToken, QStringLiteral("page carries another project's token")},
        {Kind::UncategorisedNotFiled,
         QStringLiteral("book without a category not under \"Other Category\"")},
    };
    QString line = what.value(finding.kind) + QStringLiteral(": \"") + finding.text +
                   QStringLiteral("\" in ") + finding.file;
    if (!finding.element.isEmpty())
        line += QStringLiteral(" (") + finding.element + QLatin1Char(')');
    return line;
}

QList<Finding> run(const ProjectContext& project)
{
    QList<Finding> findings;
    const FileSystem fso;
    const QString name = project.projectName;

    SelectionList selection;
    const QString selectionPath = FileSystem::resolve(project.selectionListPath());
    selection.load(selectionPath);
    const QStringList projects = selection.projectNames();
    const qsizetype entries = projects.count(name);
    if (entries == 0)
        findings.append(
            {Kind::SelectionEntryMissing, selectionPath, QStringLiteral("PX_Name"), name});
    else if (entries > 1)
        findings.append(
            {Kind::SelectionEntryTwice, selectionPath, QStringLiteral("PX_Name"), name});
    if (!fso.FolderExists(project.projectFolder())) {
        findings.append({Kind::ProjectFolderMissing, FileSystem::resolve(project.docsFolder()),
                         QString(), name});
        return findings;
    }

    TableOfContents toc;
    const QString tocPath = FileSystem::resolve(project.tocPath());
    toc.load(tocPath);
    const QList<TableOfContents::Book> books = toc.books();
    CategorySet set;
    const QString setPath = FileSystem::resolve(project.bookCategoriesPath());
    const bool haveSet = set.load(setPath);
    const QList<CategorySet::Category> categories = set.categories();

    QStringList setNames;
    QStringList filedUnderOther;
    for (const CategorySet::Category& category : categories) {
        setNames << category.name;
        if (category.name == CategorySet::OtherCategory)
            filedUnderOther = category.bookAcros;
    }
    QStringList listed;
    for (const TableOfContents::Book& book : books)
        listed << book.categories;
    const QSet<QString> listedFolded = folded(listed);
    const QSet<QString> setFolded = folded(setNames);

    // A default category of any install type belongs to the data root's design: one that
    // files no book is no drift.
    DefaultCategories defaults;
    defaults.load(FileSystem::resolve(project.defaultCategoriesPath()));
    const QSet<QString> defaultFolded = folded(defaults.allNames());
    if (haveSet) {
        for (const QString& category : setNames)
            if (!defaultFolded.contains(category.toCaseFolded()) &&
                category != CategorySet::OtherCategory &&
                !listedFolded.contains(category.toCaseFolded()))
                findings.append(
                    {Kind::CategoryUnused, setPath, QStringLiteral("Category"), category});
        QSet<QString> reported;
        for (const TableOfContents::Book& book : books)
            for (const QString& category : book.categories)
                if (!setFolded.contains(category.toCaseFolded()) &&
                    !reported.contains(category.toCaseFolded())) {
                    reported.insert(category.toCaseFolded());
                    findings.append({Kind::CategoryUnknown, tocPath,
                                     QStringLiteral("Book %1").arg(book.acro), category});
                }
    }

    for (const TableOfContents::Book& book : books) {
        if (book.listsCategories && book.categories.isEmpty() &&
            !filedUnderOther.contains(book.acro))
            findings.append({Kind::UncategorisedNotFiled, setPath, QStringLiteral("Other Category"),
                             book.acro});
        if (book.folder.isEmpty())
            continue;
        const QString path = FileSystem::resolve(project.bookPath(book.folder, book.file));
        if (!fso.FileExists(path)) {
            findings.append({Kind::BookDocumentMissing, tocPath,
                             QStringLiteral("Book %1").arg(book.acro), book.file});
            continue;
        }
        BookDocument document;
        if (document.load(path) && folded(document.categories()) != folded(book.categories))
            findings.append({Kind::BookCategoriesDiffer, path, QStringLiteral("BookSet_Categories"),
                             book.acro});
    }

    GlobalBook global;
    if (global.load(FileSystem::resolve(project.globalBookPath())))
        for (const auto& [page, file] : global.pageFiles())
            if (!file.isEmpty() && !fso.FileExists(project.globalFolder() + file))
                findings.append({Kind::GlobalDocumentMissing,
                                 FileSystem::resolve(project.globalBookPath()),
                                 QStringLiteral("Heading %1").arg(page), file});

    QStringList others = projects;
    others.removeAll(name);
    checkPages(fso.GetFolder(project.projectFolder()), others, findings);
    return findings;
}

QList<Finding> repair(Feedback& feedback, const ProjectContext& project)
{
    const QList<Finding> found = run(project);
    DefaultServiceProvider services(project.dataRoot, project.installType);
    const QString setPath = project.bookCategoriesPath();
    QStringList tokens;
    for (const Finding& finding : found) {
        switch (finding.kind) {
        case Kind::ForeignToken:
            if (!tokens.contains(finding.text)) {
                tokens << finding.text;
                rewritePageTokens(FileSystem().GetFolder(project.projectFolder()),
                                  {project.dataRoot, finding.text, project.projectName, 0},
                                  feedback);
            }
            break;
        case Kind::CategoryUnknown:
            trap(feedback, "cmdApplyAddEditCate_Click", [&] {
                std::unique_ptr<BookCategoryService> service =
                    createService<BookCategoryService>(&services);
                service->AddCategory(setPath, finding.text);
                service->SetCategoryBooks(
                    finding.text, service->GetCategoryBooks(finding.text, project.tocPath()),
                    setPath);
            });
            break;
        case Kind::CategoryUnused:
            categories::removeFromSet(feedback, &services, project, setPath, finding.text);
            break;
        default:
            break;
        }
    }
    const bool unfiled = std::any_of(found.begin(), found.end(), [](const Finding& finding) {
        return finding.kind == Kind::UncategorisedNotFiled;
    });
    if (unfiled)
        categories::fileUncategorisedBooks(feedback, &services, project, setPath);
    return run(project);
}

} // namespace globalstab::check
