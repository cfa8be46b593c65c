#include "categories/CategoriesPanel.h"
#include "control/GlobalVariables.h"
#include "control/ctlGlobalsTab_p.h"
#include "globalpages/GlobalPagesPanel.h"
#include "projectinfo/ProjectInfoPanel.h"

#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {
// The function lists drop down over the panels.
void showDropDown(QListWidget* list, bool visible)
{
    list->setVisible(visible);
    if (visible)
        list->raise();
}
} // namespace

void ctlGlobalsTab::Private::cmdAdd_Click()
{
    trap(*this, "cmdAdd_Click", [&] {
        lstEditItems->setVisible(false);
        showDropDown(lstAddItems, true);
    });
}

void ctlGlobalsTab::Private::cmdEdit_Click()
{
    trap(
        *this, "cmdEdit_Click",
        [&] {
            showDropDown(lstEditItems, true);
            lstAddItems->setVisible(false);
        },
        ErrorForm::UserControl);
}

void ctlGlobalsTab::Private::lstAddItems_Click()
{
    trap(*this, "lstAddItems_Click", [&] {
        Global_Variables& g = globalVariables();
        g.gstrMode.clear();
        info->setVisible(false);
        const QString choice = listText(lstAddItems);
        if (choice == QLatin1String("Global Page")) {
            g.gstrMode = QStringLiteral("ADD");
            pages->prepareForAdd(text(5543));
            QString item = QStringLiteral("Global Page");
            UpdateUI(item);
        } else if (choice == QLatin1String("Hierarchical Category")) {
            QString item = QStringLiteral("Hierarchical Category");
            UpdateUI(item);
            g.gstrMode = QStringLiteral("ADD");
            categories->prepareForAdd(text(5550));
        }
        lstAddItems->setVisible(false);
    });
}

void ctlGlobalsTab::Private::lstEditItems_Click()
{
    trap(*this, "lstEditItems_Click", [&] {
        Global_Variables& g = globalVariables();
        pages->hideEditor();
        g.gstrMode.clear();
        const QString choice = listText(lstEditItems);
        if (choice == QLatin1String("Global Page")) {
            pages->prepareForEdit(text(5544));
            QString item = QStringLiteral("Global Page");
            UpdateUI(item);
            g.gstrMode = QStringLiteral("EDIT");
        } else if (choice == QLatin1String("Project Info")) {
            QString item = QStringLiteral("Project Info");
            UpdateUI(item);
            pages->setVisible(false);
        } else if (choice == QLatin1String("Hierarchical Category")) {
            QString item = QStringLiteral("Hierarchical Category");
            UpdateUI(item);
            categories->prepareForEdit(text(5551));
            g.gstrMode = QStringLiteral("EDIT");
        }
        lstEditItems->setVisible(false);
    });
}

void ctlGlobalsTab::Private::UpdateUI(QString& item)
{
    trap(*this, "UpdateUI", [&] {
        if (item == QLatin1String("Global Page")) {
            pages->enter();
            categories->setVisible(false);
            info->setVisible(false);
        } else if (item == QLatin1String("Project Info")) {
            pages->leave();
            info->setVisible(true);
            categories->setVisible(false);
        } else if (item == QLatin1String("Hierarchical Category")) {
            categories->enter();
            pages->setVisible(false);
            info->setVisible(false);
            categories->GetCategories();
        }
    });
}

void ctlGlobalsTab::Private::ListBoxVisible(bool& visible)
{
    trap(*this, "ListBoxVisible", [&] {
        lstAddItems->setVisible(visible);
        lstEditItems->setVisible(visible);
    });
}

void ctlGlobalsTab::Private::UserControl_Click()
{
    trap(*this, "UserControl_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::fraAddEditGblPage_Click()
{
    trap(*this, "fraAddEditGblPage_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::fraEditPrjNameID_Click()
{
    trap(*this, "fraEditPrjNameID_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::FraHC_Click()
{
    trap(*this, "FraHC_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

} // namespace globalstab
