#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

#include <QListWidget>

namespace globalstab {

// Lists the categories of the set in document order. "Other Category" only collects the
// books without a category of their own, so it is never offered for editing.
void ctlGlobalsTab::PopulateCategories()
{
    Trap("PopulateCategories", [&] {
        XmlDocument categories;
        if (!categories.load(mstrBookCategoriesPath))
            return;
        const XmlNodeList names =
            categories.selectNodes(QStringLiteral("BookSet_Categories/Category/CategoryName"));
        lstAvaBookCategories->clear();
        for (int i = 0; i < names.length(); ++i) {
            const QString name = names.item(i).text();
            if (name != QLatin1String("Other Category"))
                lstAvaBookCategories->addItem(name);
        }
    });
}

} // namespace globalstab
