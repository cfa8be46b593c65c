#pragma once

#include "documents/DocumentAccess.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace globalstab {

// "PX_TOC.xml", a project's table of contents: PX_Master/PX with the product information
// and the project's categories, and PX_Master/PX_Books with one Book per book (acronym,
// folder, file, key and its Book_Categories).
class TableOfContents : public Document
{
public:
    // Sets PX_Platform and PX_Variation and empties PX_ID; raises 91 when one is missing.
    void setProductInfo(const QString& platform, const QString& variation);
    // Sets every Book_Key to the project name, and calls bookDocument(folder, file) for each
    // book that names a folder, in document order. A book without a folder is not matched
    // to a document: taking the folder of the entry before it would rewrite another book.
    void setBookKeys(
        const QString& projectName,
        const std::function<void(const QString& folder, const QString& file)>& bookDocument);

    // The books' folders and files, in document order, as a category removal collects them.
    struct BookFiles
    {
        QStringList folders;
        QStringList files;
    };
    // Removes the category, in any letter case, from the project's categories and from every
    // book's Book_Categories.
    BookFiles removeCategory(const QString& name);
    // Renames the category in the category lists that hold it with exactly that name, one
    // entry per list; renamed() is called after each.
    void renameBookCategory(const QString& oldName, const QString& newName,
                            const std::function<void()>& renamed);

    // Acronyms of the books with an empty category list, in document order, as the filing
    // under "Other Category" finds them (an entry without an acronym gives the last one
    // seen). Raises 91 when there is no PX_Master/PX_Books; nullopt when it has no children.
    std::optional<QStringList> uncategorisedBookAcros() const;
    // The same for a new category set: distinct, non-empty acronyms only.
    QStringList booksWithoutCategory() const;
    // Distinct acronyms of the books filed under the category (exact name).
    QStringList categoryBooks(const QString& name) const;
    // Book names by acronym.
    QHash<QString, QString> bookNames() const;
    struct Book
    {
        QString acro;
        QString folder; // empty when the entry names none
        QString file;
        QStringList categories;
        bool listsCategories = false; // it has a Book_Categories element
        std::optional<QString> key;   // Book_Key; nullopt when the entry has none
    };
    // Every book of PX_Master/PX_Books, in document order.
    QList<Book> books() const;
    // PX_Platform and PX_Variation as setProductInfo() writes them; nullopt where missing.
    struct ProductInfo
    {
        std::optional<QString> platform;
        std::optional<QString> variation;
    };
    ProductInfo productInfo() const;
    // The texts of the project's categories (the children of PX_Master/PX/PX_Categories).
    QStringList projectCategories() const;

    // Lists a book with its own category, and that category among the project's
    // categories, unless a book of that folder and file (any letter case) is listed.
    // Raises when there is no PX_Master.
    bool addBook(const QString& name, const QString& acro, const QString& folder,
                 const QString& file, const QString& projectName, const QString& path);
};

} // namespace globalstab
