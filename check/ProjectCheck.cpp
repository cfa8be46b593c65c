#include "check/ProjectCheck.h"

#include "documents/BookDocument.h"
#include "documents/CategorySet.h"
#include "documents/DefaultCategories.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "operations/CategoryChanges.h"
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <functional>

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

// A book's own categories against those the contents give it. A category rename changes
// neither the book's document nor the project's categories in the contents, and a delete
// visits only documents kept as ".XML" (that spelling): what either leaves behind is a name
// the set no longer has, which the book may keep. A name only the contents give the book is
// the new name of one of those, so there must be as many of them.
bool categoriesDiffer(const QStringList& ofDocument, const TableOfContents::Book& book,
                      const QSet<QString>& setFolded, const QSet<QString>& projectFolded)
{
    const QSet<QString> own = folded(ofDocument);
    const QSet<QString> listed = folded(book.categories);
    const bool deleteSkips = !book.file.contains(QLatin1String(".XML"), Qt::CaseSensitive);
    qsizetype formerNames = 0;
    for (const QString& name : own - listed) {
        if (setFolded.contains(name) || !(projectFolded.contains(name) || deleteSkips))
            return true;
        ++formerNames;
    }
    return (listed - own).size() > formerNames;
}

// The line of a parser's offset. The parser counts in UTF-8 when it had to convert the
// file's text first.
int lineAt(const QString& native, qsizetype offset)
{
    QFile file(native);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QByteArray bytes = file.readAll();
    textCodec::Encoding encoding = textCodec::Encoding::Utf8;
    const QString text = textCodec::decodeText(bytes, &encoding);
    if (encoding != textCodec::Encoding::Utf8 && encoding != textCodec::Encoding::Utf8WithMark)
        bytes = text.toUtf8();
    return int(bytes.left(offset).count('\n')) + 1;
}

ReadProblem problemOf(const QString& native, const QString& error)
{
    static const QRegularExpression parsed(QStringLiteral("^(.*) at offset (\\d+) of '"));
    static const QRegularExpression opened(QStringLiteral("^Cannot (?:open|read) '.*': (.*)$"));
    if (const QRegularExpressionMatch match = parsed.match(error); match.hasMatch())
        return {lineAt(native, match.captured(2).toLongLong()), match.captured(1)};
    if (const QRegularExpressionMatch match = opened.match(error); match.hasMatch())
        return {0, match.captured(1)};
    return {0, QString(error).remove(QLatin1Char('\'') + native + QStringLiteral("' "))};
}

bool filesBooks(const CategorySet::Category& category)
{
    return std::any_of(category.bookAcros.begin(), category.bookAcros.end(),
                       [](const QString& acro) { return !acro.isEmpty(); });
}

} // namespace

QString kindName(Finding::Kind kind)
{
    static const QHash<Kind, QString> names = {
        {Kind::CategoryUnused, QStringLiteral("category-unused")},
        {Kind::CategoryUnknown, QStringLiteral("category-unknown")},
        {Kind::BookCategoriesDiffer, QStringLiteral("book-categories-differ")},
        {Kind::BookDocumentMissing, QStringLiteral("book-document-missing")},
        {Kind::GlobalDocumentMissing, QStringLiteral("global-document-missing")},
        {Kind::SelectionEntryMissing, QStringLiteral("selection-entry-missing")},
        {Kind::SelectionEntryTwice, QStringLiteral("selection-entry-twice")},
        {Kind::ProjectFolderMissing, QStringLiteral("project-folder-missing")},
        {Kind::ForeignToken, QStringLiteral("foreign-token")},
        {Kind::UncategorisedNotFiled, QStringLiteral("uncategorised-not-filed")},
        {Kind::DocumentUnreadable, QStringLiteral("document-unreadable")},
        {Kind::BookKeyDiffers, QStringLiteral("book-key-differs")},
        {Kind::ContentsKeyDiffers, QStringLiteral("contents-key-differs")},
        {Kind::CategoryNotInContents, QStringLiteral("category-not-in-contents")},
    };
    return names.value(kind);
}

std::optional<ReadProblem> readProblem(const QString& path)
{
    const QString native = FileSystem::resolve(path);
    XmlDocument document;
    if (document.load(native))
        return std::nullopt;
    return problemOf(native, document.parseError());
}

QString describe(const Finding& finding, const QString& relativeTo)
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
        {Kind::DocumentUnreadable, QStringLiteral("document cannot be read")},
        {Kind::BookKeyDiffers,
         QStringLiteral("book document does not match the project's name and folder")},
        {Kind::ContentsKeyDiffers,
         QStringLiteral("table of contents does not match the project's name")},
        {Kind::CategoryNotInContents,
         QStringLiteral("category the table of contents does not name")},
    };
    QString file = finding.file;
    if (!relativeTo.isEmpty())
        file = QDir(relativeTo).relativeFilePath(file);
    QString line =
        what.value(finding.kind) + QStringLiteral(": \"") + finding.text + QStringLiteral("\" in ");
    line += file;
    if (finding.line > 0)
        line += QStringLiteral(", line %1").arg(finding.line);
    if (!finding.element.isEmpty())
        line += QStringLiteral(" (") + finding.element + QLatin1Char(')');
    if (!finding.problem.isEmpty())
        line += QStringLiteral(": ") + finding.problem;
    return line;
}

QList<Finding> run(const ProjectContext& project)
{
    QList<Finding> findings;
    const FileSystem fso;
    const QString name = project.projectName;
    const auto unreadable = [&](const QString& path, const QString& element,
                                const Document& document) {
        const ReadProblem problem = problemOf(path, document.parseError());
        findings.append({Kind::DocumentUnreadable, path, element, FileSystem::GetFileName(path),
                         problem.line, problem.message});
    };

    SelectionList selection;
    const QString selectionPath = FileSystem::resolve(project.selectionListPath());
    QStringList projects;
    if (fso.FileExists(selectionPath) && !selection.load(selectionPath)) {
        unreadable(selectionPath, QString(), selection);
    } else {
        projects = selection.projectNames();
        const qsizetype entries = projects.count(name);
        if (entries == 0)
            findings.append(
                {Kind::SelectionEntryMissing, selectionPath, QStringLiteral("PX_Name"), name});
        else if (entries > 1)
            findings.append(
                {Kind::SelectionEntryTwice, selectionPath, QStringLiteral("PX_Name"), name});
    }
    if (!fso.FolderExists(project.projectFolder())) {
        findings.append({Kind::ProjectFolderMissing, FileSystem::resolve(project.docsFolder()),
                         QString(), name});
        return findings;
    }

    // Without readable contents the categories and books cannot be compared: that one finding
    // stands for them.
    TableOfContents toc;
    const QString tocPath = FileSystem::resolve(project.tocPath());
    const bool haveToc = toc.load(tocPath);
    if (!haveToc)
        unreadable(tocPath, QString(), toc);
    const QList<TableOfContents::Book> books = toc.books();
    // A project without a set is no drift: the panel's next refresh writes it.
    CategorySet set;
    const QString setPath = FileSystem::resolve(project.bookCategoriesPath());
    const bool setPresent = fso.FileExists(setPath);
    const bool haveSet = setPresent && set.load(setPath);
    if (setPresent && !haveSet)
        unreadable(setPath, QString(), set);
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
    const QSet<QString> projectFolded = folded(toc.projectCategories());

    if (haveToc) {
        const PlatformVariation expected = splitProjectName(name);
        const TableOfContents::ProductInfo info = toc.productInfo();
        if (info.platform && *info.platform != expected.platform)
            findings.append(
                {Kind::ContentsKeyDiffers, tocPath, QStringLiteral("PX_Platform"), *info.platform});
        if (info.variation && *info.variation != expected.variation)
            findings.append({Kind::ContentsKeyDiffers, tocPath, QStringLiteral("PX_Variation"),
                             *info.variation});
    }

    // A default category of any install type belongs to the data root's design: one that
    // files no book is no drift. Nor is a category the set files no book under: an add
    // leaves one, and so does a rename of a category without books. Neither writes the
    // project's categories in the contents, so a name missing there is drift only when the
    // set files books under it.
    DefaultCategories defaults;
    defaults.load(FileSystem::resolve(project.defaultCategoriesPath()));
    const QSet<QString> defaultFolded = folded(defaults.allNames());
    if (haveSet && haveToc) {
        for (const CategorySet::Category& category : categories) {
            const QString key = category.name.toCaseFolded();
            if (defaultFolded.contains(key) || category.name == CategorySet::OtherCategory ||
                listedFolded.contains(key) || !filesBooks(category))
                continue;
            findings.append(
                {projectFolded.contains(key) ? Kind::CategoryUnused : Kind::CategoryNotInContents,
                 setPath, QStringLiteral("Category"), category.name});
        }
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

    QSet<QString> readBooks;
    for (const TableOfContents::Book& book : books) {
        if (haveSet && book.listsCategories && book.categories.isEmpty() &&
            !filedUnderOther.contains(book.acro))
            findings.append({Kind::UncategorisedNotFiled, setPath, QStringLiteral("Other Category"),
                             book.acro});
        if (book.key && *book.key != name)
            findings.append({Kind::ContentsKeyDiffers, tocPath,
                             QStringLiteral("Book %1: Book_Key").arg(book.acro), *book.key});
        if (book.folder.isEmpty())
            continue;
        const QString path = FileSystem::resolve(project.bookPath(book.folder, book.file));
        if (!fso.FileExists(path)) {
            findings.append({Kind::BookDocumentMissing, tocPath,
                             QStringLiteral("Book %1").arg(book.acro), book.file});
            continue;
        }
        readBooks.insert(path);
        BookDocument document;
        if (!document.load(path)) {
            unreadable(path, QStringLiteral("Book %1").arg(book.acro), document);
            continue;
        }
        if (categoriesDiffer(document.categories(), book, setFolded, projectFolded))
            findings.append({Kind::BookCategoriesDiffer, path, QStringLiteral("BookSet_Categories"),
                             book.acro});
        const BookDocument::ProjectFields fields = document.projectFields();
        if (fields.key && *fields.key != name)
            findings.append({Kind::BookKeyDiffers, path, QStringLiteral("Book_Key"), *fields.key});
        if (fields.path && *fields.path != name + QLatin1Char('\\') + book.folder)
            findings.append(
                {Kind::BookKeyDiffers, path, QStringLiteral("Book_Path"), *fields.path});
    }

    GlobalBook global;
    const QString globalPath = FileSystem::resolve(project.globalBookPath());
    if (global.load(globalPath)) {
        for (const auto& [page, file] : global.pageFiles())
            if (!file.isEmpty() && !fso.FileExists(project.globalFolder() + file))
                findings.append({Kind::GlobalDocumentMissing, globalPath,
                                 QStringLiteral("Heading %1").arg(page), file});
    } else if (fso.FileExists(globalPath) && !readBooks.contains(globalPath)) {
        unreadable(globalPath, QString(), global);
    }

    QStringList others = projects;
    others.removeAll(name);
    checkPages(fso.GetFolder(project.projectFolder()), others, findings);
    return findings;
}

QList<Finding> repair(Feedback& feedback, const ProjectContext& project)
{
    const QList<Finding> found = run(project);
    const auto any = [&](const std::function<bool(const Finding&)>& test) {
        return std::any_of(found.begin(), found.end(), test);
    };
    if (any([](const Finding& f) { return f.kind == Kind::DocumentUnreadable; }))
        return found;
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
    if (any([](const Finding& f) { return f.kind == Kind::UncategorisedNotFiled; }))
        categories::fileUncategorisedBooks(feedback, &services, project, setPath);

    // Keys and paths are the project's name once the selection list settles that name; the
    // platform and variation are not mended, as their only writer also empties PX_ID.
    const bool nameSettled = !any([&](const Finding& f) {
        return f.kind == Kind::SelectionEntryMissing || f.kind == Kind::SelectionEntryTwice ||
               (f.kind == Kind::DocumentUnreadable &&
                f.file == FileSystem::resolve(project.selectionListPath()));
    });
    QSet<QString> stale;
    bool staleContents = false;
    for (const Finding& finding : found) {
        if (finding.kind == Kind::BookKeyDiffers)
            stale.insert(finding.file);
        staleContents = staleContents || (finding.kind == Kind::ContentsKeyDiffers &&
                                          finding.element.endsWith(QLatin1String("Book_Key")));
    }
    if (nameSettled && (staleContents || !stale.isEmpty())) {
        trap(feedback, "UpdatePXTocWithProdInfo", [&] {
            TableOfContents toc;
            if (!toc.load(project.tocPath()))
                return;
            // The rename's own walk: every entry gets the name, and each book document the
            // name and its folder.
            toc.setBookKeys(project.projectName, [&](const QString& folder, const QString& file) {
                const QString path = FileSystem::resolve(project.bookPath(folder, file));
                if (!stale.contains(path))
                    return;
                trap(feedback, "UpdateProductInfoInBook", [&] {
                    BookDocument book;
                    if (!book.load(path))
                        return;
                    book.setProject(project.projectName, folder);
                    book.save(path);
                });
            });
            if (staleContents)
                toc.save(project.tocPath());
        });
    }
    return run(project);
}

} // namespace globalstab::check
