#pragma once

#include "documents/DocumentAccess.h"

#include <optional>

namespace globalstab {

// A book document: Book_Master/Book with the book's key, its path and its
// BookSet_Categories.
class BookDocument : public Document
{
public:
    // Book_Key becomes the project name and Book_Path the project name & "\" & folder,
    // where the document has them.
    void setProject(const QString& projectName, const QString& folder);
    // Removes the category, in any letter case, from every BookSet_Categories of a Book.
    // True when the book held the category.
    bool removeCategory(const QString& name);
    // Whether removeCategory(name) would remove anything from doc, a book document read
    // elsewhere. Only reads doc.
    static bool holdsCategory(const XmlDocument& doc, const access::NameInAnyCase& name);
    // The categories the book files itself under, in document order.
    QStringList categories() const;
    // Book_Key and Book_Path as setProject() writes them; nullopt where the document has none.
    struct ProjectFields
    {
        std::optional<QString> key;
        std::optional<QString> path;
    };
    ProjectFields projectFields() const;

protected:
    // A new document: Book_Master holding the Book part with its name, acronym, key, path
    // and one category. Returns the Book_Master element.
    XmlNode createBook(const QString& name, const QString& acro, const QString& key,
                       const QString& path, const QString& category);
};

} // namespace globalstab
