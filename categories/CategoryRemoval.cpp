#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

namespace globalstab {

namespace {

// Removes every child of parent whose text is the name in any letter case: the table of
// contents and the book documents are edited by hand and do not keep the case of the set.
void removeNamedChildren(XmlNode parent, const QString& name)
{
    const QString wanted = name.toUpper();
    const XmlNodeList children = parent.childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const XmlNode child = children.item(i);
        if (child.text().toUpper() == wanted)
            parent.removeChild(child);
    }
}

} // namespace

void ctlGlobalsTab::DelCateFromXml(const QString& strPath, const QString& strCategory)
{
    Trap("DelCateFromXml", [&] {
        XmlDocument categories;
        if (!categories.load(strPath)) {
            MsgBox(GetResString(2002), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        QStringList astrBookAcros;
        XmlNode root = categories.selectSingleNode(QStringLiteral("BookSet_Categories"));
        if (root) {
            const QString query = QStringLiteral("BookSet_Categories/Category[CategoryName='") +
                                  strCategory + QStringLiteral("']");
            // One lookup per child visited removes every Category of that exact name.
            const int visits = root.childNodes().length();
            for (int i = 0; i < visits; ++i) {
                const XmlNode category = categories.selectSingleNode(query);
                if (!category)
                    continue;
                const XmlNodeList acros = category.selectNodes(QStringLiteral("BookAcro"));
                for (int j = 0; j < acros.length(); ++j)
                    astrBookAcros << acros.item(j).text();
                root.removeChild(category);
            }
        }
        categories.save(strPath);

        std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
        astrBookAcros << QString();
        service->SetCategoryBooks(strCategory, astrBookAcros, strPath);
        service.reset();

        DelCateinPXTOC(TocPath(), strCategory);
    });
}

void ctlGlobalsTab::DelCateinPXTOC(const QString& strTocPath, const QString& strCategory)
{
    Trap("DelCateinPXTOC", [&] {
        // Position 0 stays empty; the books' folders and files pair up by position.
        QStringList astrFolders{QString()};
        QStringList astrFiles{QString()};
        XmlDocument toc;
        if (!toc.load(strTocPath)) {
            MsgBox(GetResString(2002), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const XmlNode projectCategories =
            toc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Categories"));
        if (projectCategories && projectCategories.hasChildNodes())
            removeNamedChildren(projectCategories, strCategory);

        const XmlNodeList books = toc.getElementsByTagName(QStringLiteral("Book"));
        for (int i = 0; i < books.length(); ++i) {
            const XmlNodeList children = books.item(i).childNodes();
            for (int j = 0; j < children.length(); ++j) {
                const XmlNode child = children.item(j);
                const QString name = child.nodeName();
                if (name == QLatin1String("Book_Folder"))
                    astrFolders << child.text();
                else if (name == QLatin1String("Book_File"))
                    astrFiles << child.text();
                else if (name == QLatin1String("Book_Categories"))
                    removeNamedChildren(child, strCategory);
            }
        }
        toc.save(strTocPath);

        // Only books kept as ".XML" (that spelling) are XML book documents to clean; a
        // folder without a file of its own has nothing to visit.
        for (int i = 1; i < astrFolders.size(); ++i) {
            const QString file = astrFiles.value(i);
            if (!file.contains(QLatin1String(".XML"), Qt::CaseSensitive))
                continue;
            delCateinBookXML(ProjectFolder() + QStringLiteral("\\") + astrFolders.at(i) +
                                 QStringLiteral("\\") + file,
                             strCategory);
        }
    });
}

void ctlGlobalsTab::delCateinBookXML(const QString& strBookPath, const QString& strCategory)
{
    Trap("delCateinBookXML", [&] {
        XmlDocument book;
        if (!book.load(strBookPath)) {
            MsgBox(GetResString(2002), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const XmlNodeList books = book.getElementsByTagName(QStringLiteral("Book"));
        for (int i = 0; i < books.length(); ++i) {
            const XmlNodeList children = books.item(i).childNodes();
            for (int j = 0; j < children.length(); ++j) {
                const XmlNode child = children.item(j);
                if (child.nodeName() == QLatin1String("BookSet_Categories"))
                    removeNamedChildren(child, strCategory);
            }
        }
        book.save(strBookPath);
    });
}

void ctlGlobalsTab::EditBookCateinPXTOC(const QString& strTocPath, const QString& strNewName,
                                        const QString& strOldName)
{
    Trap(
        "EditBookCateinPXTOC",
        [&] {
            XmlDocument toc;
            if (!toc.load(strTocPath))
                return;
            const XmlNodeList lists = toc.selectNodes(
                QStringLiteral("/PX_Master/PX_Books/Book/Book_Categories[Book_Category = '") +
                strOldName + QStringLiteral("']"));
            for (int i = 0; i < lists.length(); ++i) {
                const XmlNodeList entries = lists.item(i).childNodes();
                for (int j = 0; j < entries.length(); ++j) {
                    XmlNode entry = entries.item(j);
                    if (entry.text() == strOldName) {
                        entry.setText(strNewName);
                        toc.save(strTocPath);
                        break;
                    }
                }
            }
        },
        ErrorForm::BookTab);
}

void ctlGlobalsTab::GetBookAcroValue()
{
    Trap(
        "GetBookAcroValue",
        [&] {
            const QString tocPath = TocPath();
            FileSystem fso;
            if (!fso.FileExists(tocPath))
                return;
            XmlDocument toc;
            toc.load(tocPath);
            // A table of contents without its books (or unreadable) fails here, reported.
            const XmlNode books = toc.selectSingleNode(QStringLiteral("PX_Master/PX_Books"));
            if (!books.hasChildNodes())
                return;

            QStringList astrBookAcros{QString()};
            QString bookAcro;
            const XmlNodeList bookList = books.childNodes();
            for (int i = 0; i < bookList.length(); ++i) {
                const XmlNodeList children = bookList.item(i).childNodes();
                for (int j = 0; j < children.length(); ++j) {
                    const XmlNode child = children.item(j);
                    const QString name = child.nodeName();
                    // The acronym stands before the category list of its book.
                    if (name == QLatin1String("Book_Acro"))
                        bookAcro = child.text();
                    else if (name == QLatin1String("Book_Categories") && !child.hasChildNodes())
                        astrBookAcros << bookAcro;
                }
            }
            std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
            service->SetCategoryBooks(QStringLiteral("Other Category"), astrBookAcros,
                                      mstrBookCategoriesPath);
        },
        ErrorForm::BookTab);
}

} // namespace globalstab
