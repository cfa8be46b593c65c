#include "control/ListHelpers.h"
#include "control/ctlGlobalsTab.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {
// List heights that fit fraInfo: ADD gives the list the room of the hidden delete button.
constexpr int PagesHeightAdd = 5490 / 15;
constexpr int PagesHeightEdit = 5100 / 15;

void setHeight(QWidget* widget, int height)
{
    widget->resize(widget->width(), height);
}

// The function lists drop down over the panels.
void showDropDown(QListWidget* list, bool visible)
{
    list->setVisible(visible);
    if (visible)
        list->raise();
}
} // namespace

void ctlGlobalsTab::cmdAdd_Click()
{
    Trap("cmdAdd_Click", [&] {
        lstEditItems->setVisible(false);
        showDropDown(lstAddItems, true);
    });
}

void ctlGlobalsTab::cmdEdit_Click()
{
    Trap(
        "cmdEdit_Click",
        [&] {
            showDropDown(lstEditItems, true);
            lstAddItems->setVisible(false);
        },
        ErrorForm::UserControl);
}

void ctlGlobalsTab::lstAddItems_Click()
{
    Trap("lstAddItems_Click", [&] {
        Global_Variables& g = globalVariables();
        g.gstrMode.clear();
        fraEditPrjNameID->setVisible(false);
        const QString choice = listText(lstAddItems);
        if (choice == QLatin1String("Global Page")) {
            cmdAddGblPage->setEnabled(true);
            g.gstrMode = QStringLiteral("ADD");
            fraInfo->setTitle(GetResString(5543));
            setHeight(lstPages, PagesHeightAdd);
            cmdDelGblPage->setVisible(false);
            QString item = QStringLiteral("Global Page");
            UpdateUI(item);
        } else if (choice == QLatin1String("Hierarchical Category")) {
            QString item = QStringLiteral("Hierarchical Category");
            UpdateUI(item);
            cmdApplyAddEditCate->setEnabled(true);
            g.gstrMode = QStringLiteral("ADD");
            FraHC->setTitle(GetResString(5550));
            cmdCategoryDelete->setVisible(false);
            if (lstAvaBookCategories->currentRow() != -1)
                setListIndex(lstAvaBookCategories, -1);
        }
        lstAddItems->setVisible(false);
    });
}

void ctlGlobalsTab::lstEditItems_Click()
{
    Trap("lstEditItems_Click", [&] {
        Global_Variables& g = globalVariables();
        fraAddEditGblPage->setVisible(false);
        g.gstrMode.clear();
        const QString choice = listText(lstEditItems);
        if (choice == QLatin1String("Global Page")) {
            fraInfo->setTitle(GetResString(5544));
            LoadPageName();
            setHeight(lstPages, PagesHeightEdit);
            fraInfo->setVisible(true);
            lstPages->setEnabled(true);
            cmdDelGblPage->setVisible(true);
            QString item = QStringLiteral("Global Page");
            UpdateUI(item);
            g.gstrMode = QStringLiteral("EDIT");
        } else if (choice == QLatin1String("Project Info")) {
            QString item = QStringLiteral("Project Info");
            UpdateUI(item);
            fraInfo->setVisible(false);
        } else if (choice == QLatin1String("Hierarchical Category")) {
            QString item = QStringLiteral("Hierarchical Category");
            UpdateUI(item);
            FraHC->setTitle(GetResString(5551));
            cmdCategoryDelete->setVisible(true);
            if (lstAvaBookCategories->currentRow() != -1)
                setListIndex(lstAvaBookCategories, -1);
            g.gstrMode = QStringLiteral("EDIT");
        }
        lstEditItems->setVisible(false);
    });
}

void ctlGlobalsTab::UpdateUI(QString& strItem)
{
    Trap("UpdateUI", [&] {
        if (strItem == QLatin1String("Global Page")) {
            LoadPageName();
            fraInfo->setVisible(true);
            FraHC->setVisible(false);
            fraAddEditGblPage->setVisible(true);
            lblListInfo->setText(QStringLiteral("Available Global Pages"));
            fraEditPrjNameID->setVisible(false);
            lstPages->setVisible(true);
            lblListInfo->setVisible(true);
            txtPageName->clear();
            txtSourceTo->clear();
        } else if (strItem == QLatin1String("Project Info")) {
            lblListInfo->setText(QStringLiteral("Available Global Pages"));
            fraEditPrjNameID->setVisible(true);
            FraHC->setVisible(false);
            fraAddEditGblPage->setVisible(false);
            cmdDelGblPage->setVisible(false);
        } else if (strItem == QLatin1String("Hierarchical Category")) {
            txtCategoryName->clear();
            FraHC->setVisible(true);
            fraInfo->setVisible(false);
            fraEditPrjNameID->setVisible(false);
            GetCategories();
        }
    });
}

void ctlGlobalsTab::ListBoxVisible(bool& blnVisible)
{
    Trap("ListBoxVisible", [&] {
        lstAddItems->setVisible(blnVisible);
        lstEditItems->setVisible(blnVisible);
    });
}

void ctlGlobalsTab::UserControl_Click()
{
    Trap("UserControl_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::fraAddEditGblPage_Click()
{
    Trap("fraAddEditGblPage_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::fraEditPrjNameID_Click()
{
    Trap("fraEditPrjNameID_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::FraHC_Click()
{
    Trap("FraHC_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

} // namespace globalstab
