#include "operations/CategoryChanges.h"

#include "core/Action.h"
#include "core/StringTable.h"
#include "documents/BookDocument.h"
#include "documents/CategorySet.h"
#include "documents/TableOfContents.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"
#include "services/ServiceFactory.h"
#include "text/TextChecks.h"

#include <QSet>

namespace globalstab::categories {

std::optional<NameRefusal> refuseCategoryName(const QString& typed, const QStringList& listed,
                                              bool adding, int maxLength)
{
    if (adding && !notListed(typed, listed))
        return NameRefusal{5556, false};
    const QString name = trimBlanks(typed);
    if (name.isEmpty())
        return NameRefusal{2004, true};
    if (name.size() > maxLength)
        return NameRefusal{2005, true};
    if (!notListed(name, listed))
        return NameRefusal{2003, false};
    if (holdsMarkupCharacter(name))
        return NameRefusal{2004, true};
    return std::nullopt;
}

namespace {
void unreadable(Feedback& feedback)
{
    feedback.message(resourceString(2002), MessageButtons::Ok, MessageIcon::Information);
}
} // namespace

QStringList mergeNames(const QStringList& listed, const QStringList& fromSet)
{
    // notListed() for each name against a set of upper-case names: one pass, not one per name.
    QStringList names = listed;
    QSet<QString> upper;
    for (const QString& name : listed)
        upper.insert(name.toUpper());
    for (const QString& name : fromSet) {
        const QString key = name.toUpper();
        if (!upper.contains(key) && name != CategorySet::OtherCategory) {
            names << name;
            upper.insert(key);
        }
    }
    return names;
}

void rebuildSet(BookCategoryService& service, const SetLocation& where, const QStringList& names)
{
    const FileSystem fso;
    if (fso.FileExists(where.setPath))
        fso.DeleteFile(where.setPath, false);
    service.CreateCategoryDocument(where.docsFolder, where.setPath, where.installType, 0);
    for (const QString& name : names) {
        if (!service.IsDefaultCategory(where.defaultsPath, name, where.installType))
            service.AddCategory(where.setPath, name);
        const QStringList books = service.GetCategoryBooks(name, where.tocPath);
        service.SetCategoryBooks(name, books, where.setPath);
    }
}

void removeFromSet(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                   const QString& setPath, const QString& name)
{
    trap(feedback, "DelCateFromXml", [&] {
        CategorySet set;
        if (!set.load(setPath)) {
            unreadable(feedback);
            return;
        }
        QStringList acros = set.removeCategory(name);
        set.save(setPath);

        {
            std::unique_ptr<BookCategoryService> service =
                createService<BookCategoryService>(services);
            acros << QString();
            service->SetCategoryBooks(name, acros, setPath);
        }
        removeFromToc(feedback, project, project.tocPath(), name);
    });
}

void removeFromToc(Feedback& feedback, const ProjectContext& project, const QString& tocPath,
                   const QString& name)
{
    trap(feedback, "DelCateinPXTOC", [&] {
        TableOfContents toc;
        if (!toc.load(tocPath)) {
            unreadable(feedback);
            return;
        }
        const TableOfContents::BookFiles books = toc.removeCategory(name);
        toc.save(tocPath);

        // Folders and files pair up by position. Only books kept as ".XML" (that spelling)
        // are XML book documents to clean; a folder without a file has nothing to visit.
        QStringList bookPaths;
        for (qsizetype i = 0; i < books.folders.size(); ++i) {
            const QString file = books.files.value(i);
            if (file.contains(QLatin1String(".XML"), Qt::CaseSensitive))
                bookPaths << project.bookPath(books.folders.at(i), file);
        }
        // Every book is read, to report those that cannot be, but only those that hold the
        // category change: which they are is found on all cores first. The visits keep their
        // order; a book that holds nothing to remove needs none.
        const access::NameInAnyCase wanted(name);
        const std::vector<DocumentCache::Inspected> held =
            DocumentCache::inspect(bookPaths, [&](const XmlDocument& book) {
                return BookDocument::holdsCategory(book, wanted);
            });
        for (qsizetype i = 0; i < bookPaths.size(); ++i)
            if (held[size_t(i)] != DocumentCache::Inspected::No)
                removeFromBook(feedback, bookPaths.at(i), name);
    });
}

void removeFromBook(Feedback& feedback, const QString& bookPath, const QString& name)
{
    trap(feedback, "delCateinBookXML", [&] {
        BookDocument book;
        if (!book.load(bookPath)) {
            unreadable(feedback);
            return;
        }
        // A book without the category is left as it is.
        if (book.removeCategory(name))
            book.save(bookPath);
    });
}

void renameInToc(Feedback& feedback, const QString& tocPath, const QString& newName,
                 const QString& oldName)
{
    trap(
        feedback, "EditBookCateinPXTOC",
        [&] {
            TableOfContents toc;
            if (!toc.load(tocPath)) {
                // The panel says nothing here; the set already bears the new name.
                noteSkippedDocument(
                    FileSystem::resolve(tocPath),
                    QStringLiteral("it could not be read (%1), so its categories still name "
                                   "\"%2\" where the category set says \"%3\"")
                        .arg(toc.parseError(), oldName, newName));
                return;
            }
            toc.renameBookCategory(oldName, newName, [&] { toc.save(tocPath); });
        },
        ErrorForm::BookTab);
}

void fileUncategorisedBooks(Feedback& feedback, ServiceProvider* services,
                            const ProjectContext& project, const QString& setPath)
{
    trap(
        feedback, "GetBookAcroValue",
        [&] {
            const QString tocPath = project.tocPath();
            if (!FileSystem().FileExists(tocPath))
                return;
            TableOfContents toc;
            toc.load(tocPath);
            // A table of contents without its books (or unreadable) fails here, reported.
            const std::optional<QStringList> acros = toc.uncategorisedBookAcros();
            if (!acros)
                return;
            std::unique_ptr<BookCategoryService> service =
                createService<BookCategoryService>(services);
            service->SetCategoryBooks(CategorySet::OtherCategory, QStringList{QString()} + *acros,
                                      setPath);
        },
        ErrorForm::BookTab);
}

void moveCategory(const QString& setPath, const QString& escapedName, bool up)
{
    CategorySet set;
    if (!set.load(setPath)) {
        noteSkippedDocument(FileSystem::resolve(setPath),
                            QStringLiteral("it could not be read (%1), so the category was "
                                           "not moved")
                                .arg(set.parseError()));
        return;
    }
    if (set.moveCategory(escapedName, up))
        set.save(setPath);
}

QStringList listedCategories(const ProjectContext& project)
{
    if (!FileSystem().FileExists(project.bookCategoriesPath()))
        return {};
    CategorySet set;
    set.load(project.bookCategoriesPath());
    return mergeNames({}, set.names());
}

QString refuseCategoryChange(ServiceProvider* services, const ProjectContext& project,
                             const QStringList& listed, const QString& name,
                             const std::optional<QString>& newName)
{
    if (createService<BookCategoryService>(services)->IsDefaultCategory(
            project.defaultCategoriesPath(), name, project.installType))
        return name + QLatin1Char(' ') + resourceString(newName ? 9027 : 9028);
    if (!newName)
        return name.isEmpty() ? resourceString(2006) : QString();
    if (const auto refusal =
            refuseCategoryName(*newName, listed, false, resourceString(143).toInt()))
        return resourceString(refusal->stringId);
    return QString();
}

void applyCategoryChange(Feedback& feedback, BookCategoryService& service, const QString& setPath,
                         const QString& tocPath, const QString& name,
                         const std::optional<QString>& oldName)
{
    if (!FileSystem().FileExists(setPath))
        return;
    if (!oldName) {
        service.AddCategory(setPath, name);
        return;
    }
    service.RenameCategory(setPath, name, *oldName);
    renameInToc(feedback, tocPath, name, *oldName);
}

void renameCategory(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                    const QString& oldName, const QString& newName)
{
    if (!FileSystem().FileExists(project.bookCategoriesPath()))
        return;
    applyCategoryChange(feedback, *createService<BookCategoryService>(services),
                        project.bookCategoriesPath(), project.tocPath(), newName, oldName);
}

void deleteCategory(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                    const QString& name, bool listed)
{
    if (listed)
        removeFromSet(feedback, services, project, project.bookCategoriesPath(), name);
    fileUncategorisedBooks(feedback, services, project, project.bookCategoriesPath());
}

} // namespace globalstab::categories
