#pragma once

#include "documents/DocumentAccess.h"

#include <QStringList>

namespace globalstab {

// "PX_BookCategories.xml", a project's category set: BookSet_Categories holds one Category
// per category, with its CategoryName and the BookAcro of each book filed under it.
class CategorySet : public Document
{
public:
    static const QString OtherCategory; // "Other Category", where uncategorised books go

    // A new set: one Category per default name; "Other Category" gets the given books.
    void create(const QStringList& defaultNames, const QStringList& uncategorisedBooks);

    // Every CategoryName, in document order.
    QStringList names() const;
    struct Category
    {
        QString name;
        QStringList bookAcros;
    };
    // Every category with its books, in document order.
    QList<Category> categories() const;
    // The remaining functions raise when the document has no BookSet_Categories (path names
    // the file in that error).
    // Appends the category unless one of that exact name is there; false when it was.
    bool add(const QString& name, const QString& path);
    // Renames every category of that exact name; false when there was none.
    bool rename(const QString& oldName, const QString& newName, const QString& path);
    // Replaces the books of the category (empty and repeated acronyms skipped). A missing
    // category is created only for "Other Category"; false when nothing was done.
    bool setBooks(const QString& name, const QStringList& acros, const QString& path);
    // Files one book under the category, creating the category; false when it was there.
    bool fileBook(const QString& name, const QString& acro, const QString& path);

    // Removes every category of that exact name (looked up once per child of the set, with
    // the name unescaped in the query); returns the acronyms its books had.
    QStringList removeCategory(const QString& name);
    // Swaps the category (looked up by its escaped name) with its neighbour above or below;
    // false when it is not found or has no such neighbour.
    bool moveCategory(const QString& escapedName, bool up);
};

} // namespace globalstab
