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

void ctlGlobalsTab::Private::addClicked()
{
    trap(*this, "cmdAdd_Click", [&] {
        lstEditItems->setVisible(false);
        showDropDown(lstAddItems, true);
    });
    // The keyboard goes on in the list that opened.
    if (lstAddItems->isVisible())
        lstAddItems->setFocus(Qt::OtherFocusReason);
}

void ctlGlobalsTab::Private::editClicked()
{
    trap(
        *this, "cmdEdit_Click",
        [&] {
            showDropDown(lstEditItems, true);
            lstAddItems->setVisible(false);
        },
        ErrorForm::UserControl);
    if (lstEditItems->isVisible())
        lstEditItems->setFocus(Qt::OtherFocusReason);
}

void ctlGlobalsTab::Private::addItemChosen()
{
    trap(*this, "lstAddItems_Click", [&] {
        Global_Variables& g = globalVariables();
        g.gstrMode.clear();
        info->setVisible(false);
        const QString choice = listText(lstAddItems);
        if (choice == QLatin1String("Global Page")) {
            g.gstrMode = QStringLiteral("ADD");
            pages->prepareForAdd(text(5543));
            showPanel(QStringLiteral("Global Page"));
        } else if (choice == QLatin1String("Hierarchical Category")) {
            showPanel(QStringLiteral("Hierarchical Category"));
            g.gstrMode = QStringLiteral("ADD");
            categories->prepareForAdd(text(5550));
        }
        lstAddItems->setVisible(false);
    });
    focusShownPanel();
}

void ctlGlobalsTab::Private::editItemChosen()
{
    trap(*this, "lstEditItems_Click", [&] {
        Global_Variables& g = globalVariables();
        pages->hideEditor();
        g.gstrMode.clear();
        const QString choice = listText(lstEditItems);
        if (choice == QLatin1String("Global Page")) {
            pages->prepareForEdit(text(5544));
            showPanel(QStringLiteral("Global Page"));
            g.gstrMode = QStringLiteral("EDIT");
        } else if (choice == QLatin1String("Project Info")) {
            showPanel(QStringLiteral("Project Info"));
            pages->setVisible(false);
        } else if (choice == QLatin1String("Hierarchical Category")) {
            showPanel(QStringLiteral("Hierarchical Category"));
            categories->prepareForEdit(text(5551));
            g.gstrMode = QStringLiteral("EDIT");
        }
        lstEditItems->setVisible(false);
    });
    focusShownPanel();
}

// After a pick the keyboard continues in the panel, at its first control: the name box to
// add, the list to choose from when editing. The category list rather than the name box in
// EDIT mode, whose focus handler warns about default categories.
void ctlGlobalsTab::Private::focusShownPanel()
{
    const bool edit = mode() == QLatin1String("EDIT");
    const char* first = nullptr;
    if (info->isVisible())
        first = "txtProjectName";
    else if (pages->isVisible())
        first = edit ? "lstPages" : "txtPageName";
    else if (categories->isVisible())
        first = edit ? "lstAvaBookCategories" : "txtCategoryName";
    if (QWidget* target = first ? q->findChild<QWidget*>(QLatin1String(first)) : nullptr)
        target->setFocus(Qt::OtherFocusReason);
}

// Escape closes an open function list and gives the focus back to its button.
void ctlGlobalsTab::Private::closeFunctionLists()
{
    QPushButton* opener = lstAddItems->isVisible() ? cmdAdd : cmdEdit;
    lstAddItems->setVisible(false);
    lstEditItems->setVisible(false);
    opener->setFocus(Qt::OtherFocusReason);
}

void ctlGlobalsTab::Private::showPanel(const QString& item)
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
            categories->loadCategories();
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

void ctlGlobalsTab::Private::backgroundClicked()
{
    trap(*this, "UserControl_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::pagesPanelClicked()
{
    trap(*this, "fraAddEditGblPage_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::infoPanelClicked()
{
    trap(*this, "fraEditPrjNameID_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

void ctlGlobalsTab::Private::categoriesPanelClicked()
{
    trap(*this, "FraHC_Click", [&] {
        bool visible = false;
        ListBoxVisible(visible);
    });
}

} // namespace globalstab
