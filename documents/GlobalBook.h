#pragma once

#include "documents/BookDocument.h"

#include <QStringList>

#include <optional>

namespace globalstab {

// "Book_Global.xml" in the project's "_Global Information" folder: a book document whose
// Book_Master also has Book_Headings, which hold one Heading level="H1" per global page, with the
// page's name (HName) and document (HFile).
class GlobalBook : public BookDocument
{
public:
    static const QString BookName;   // "Global Information"
    static const QString BookAcro;   // "Global"
    static const QString FolderName; // "_Global Information"
    static const QString FileName;   // "Book_Global.xml"

    // The names of the pages, in document order, as the page list shows them.
    QStringList pageNames() const;
    // The documents the pages link, by page name, in document order.
    QList<std::pair<QString, QString>> pageFiles() const;
    // The document of the page as the page panel looks it up (the name goes into the query
    // unescaped); nullopt when no page or no HFile is found.
    std::optional<QString> pageSource(const QString& name) const;

    // A new, empty global book of the project.
    void create(const QString& projectName);
    // The service's operations. Names may come escaped, as link texts carry them; each
    // raises when the document has no Book_Master (path names the file).
    QString pageFile(const QString& name) const;
    bool addPage(const QString& name, const QString& fileName, const QString& path);
    bool editPage(const QString& oldName, const QString& newName, const QString& fileName,
                  const QString& path);
    // Removes every page of that name; false when there was none.
    bool removePage(const QString& name);
};

} // namespace globalstab
