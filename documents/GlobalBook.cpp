#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

#include <QLineEdit>
#include <QListWidget>

namespace globalstab {

void ctlGlobalsTab::LoadPageName()
{
    Trap("LoadPageName", [&] {
        lstPages->clear();
        const BusyPointerScope busy(this);
        FileSystem fso;
        const QString bookPath = GlobalBookPath();
        if (fso.FileExists(bookPath)) {
            XmlDocument book;
            book.load(bookPath);
            const XmlNodeList headings = book.selectNodes(
                QStringLiteral("Book_Master/Book_Headings/Heading[@level = 'H1']"));
            for (int i = 0; i < headings.length(); ++i) {
                const XmlNode heading = headings.item(i);
                if (!heading)
                    continue;
                const XmlNode name = heading.selectSingleNode(QStringLiteral("HName"));
                if (name)
                    lstPages->addItem(name.text());
            }
        }
    });
}

void ctlGlobalsTab::GetGlobalPageInfo(QString& strPageName)
{
    Trap("GetGlobalPageInfo", [&] {
        // The blank before "[" and the missing one before "and" are the query's own.
        const QString query =
            QStringLiteral("/Book_Master/Book_Headings/Heading [@level = 'H1'and HName='") +
            strPageName + QStringLiteral("']");
        const BusyPointerScope busy(this);
        FileSystem fso;
        const QString bookPath = GlobalBookPath();
        if (fso.FileExists(bookPath)) {
            XmlDocument book;
            book.load(bookPath);
            const XmlNode heading = book.selectNodes(query).item(0);
            if (heading) {
                const XmlNode file = heading.selectSingleNode(QStringLiteral("HFile"));
                if (file)
                    txtSourceTo->setText(file.text());
            }
        }
    });
}

} // namespace globalstab
