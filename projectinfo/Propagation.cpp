#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

namespace globalstab {

namespace {

struct PlatformVariation
{
    QString platform;
    QString variation;
};

// A numeric last word is the variation; the platform is what stands before its first
// occurrence in the name, the blank included.
PlatformVariation splitProjectName(const QString& name)
{
    const QStringList pieces = name.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString last = pieces.last();
    if (!isNumeric(last))
        return {name, QString()};
    return {name.left(name.indexOf(last)), last};
}

} // namespace

// Order of writes: folder, selection list, each book document, and the table of contents
// last, so that a True result means every document carries the new name.
bool ctlGlobalsTab::UpdatePXTocWithProdInfo()
{
    bool result = false;
    Trap("UpdatePXTocWithProdInfo", [&] {
        const Global_Variables& g = globalVariables();
        XmlDocument toc;
        FileSystem fso;
        const QString newName = g.gstrProjectName;

        try {
            Folder project = fso.GetFolder(DocsFolder() + mstrOldProjectName);
            project.Move(ProjectFolder());
        } catch (const RuntimeError&) {
            // Another program holding the folder is the usual cause; the user is told so
            // rather than shown the platform's error.
            MsgBox(GetResString(124), MessageButtons::Ok, MessageIcon::Information);
            return;
        }

        UpdatePXSelection();

        const QString tocPath = TocPath();
        if (!fso.FileExists(tocPath)) {
            MsgBox(GetResString(125), MessageButtons::Ok, MessageIcon::Information);
            return;
        }

        const PlatformVariation parts = splitProjectName(newName);
        toc.load(tocPath);
        toc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Platform")).setText(parts.platform);
        toc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Variation")).setText(parts.variation);
        toc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_ID")).setText(QString());

        const XmlNodeList books = toc.getElementsByTagName(QStringLiteral("Book"));
        for (int i = 0; i < books.length(); ++i) {
            const XmlNode book = books.item(i);
            // An entry without a folder is not matched to a document: taking the folder of
            // the entry before it would rewrite another book's document.
            const XmlNode folder = book.selectSingleNode(QStringLiteral("Book_Folder"));
            XmlNode key = book.selectSingleNode(QStringLiteral("Book_Key"));
            if (key)
                key.setText(newName);
            const QString bookFile = book.selectSingleNode(QStringLiteral("Book_File")).text();
            if (folder.isNull())
                continue;
            const QString bookPath = ProjectFolder() + QStringLiteral("\\") + folder.text() +
                                     QStringLiteral("\\") + bookFile;
            if (fso.FileExists(bookPath))
                UpdateProductInfoInBook(bookPath, folder.text());
        }

        toc.save(tocPath);
        result = true;
    });
    return result;
}

void ctlGlobalsTab::UpdateProductInfoInBook(const QString& strBookPath,
                                            const QString& strBookFolder)
{
    Trap("UpdateProductInfoInBook", [&] {
        const QString& newName = globalVariables().gstrProjectName;
        XmlDocument book;
        if (!book.load(strBookPath))
            return;
        XmlNode key = book.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Key"));
        if (key)
            key.setText(newName);
        XmlNode path = book.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Path"));
        if (path)
            path.setText(newName + QStringLiteral("\\") + strBookFolder);
        book.save(strBookPath);
    });
}

} // namespace globalstab
