#include "control/ListHelpers.h"
#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"
#include "text/Trim.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {

const QString ModeAdd = QStringLiteral("ADD");
const QString ModeEdit = QStringLiteral("EDIT");

// Characters that would break the XPath lookups and the documents the name goes into.
bool holdsMarkupCharacter(const QString& name)
{
    for (const QChar c : name) {
        if (c == QLatin1Char('<') || c == QLatin1Char('&') || c == QLatin1Char('>') ||
            c == QLatin1Char('"') || c == QLatin1Char('\''))
            return true;
    }
    return false;
}

// The refusal for a default category: its name, a blank and the text of the string whose
// number is given as text.
QString defaultCategoryMessage(ctlGlobalsTab& tab, const QString& name, const QString& stringNumber)
{
    return name + QStringLiteral(" ") + tab.GetResString(static_cast<qint16>(toLong(stringNumber)));
}

} // namespace

void ctlGlobalsTab::GetCategories()
{
    Trap("GetCategories", [&] {
        Global_Variables& g = globalVariables();
        const QString tocPath = TocPath();
        mstrBookCategoriesPath = BookCategoriesPath();
        std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
        // A set that cannot be written back must not be deleted by the rebuild.
        if (service->CheckCategoryDocument(mstrBookCategoriesPath))
            return;

        FileSystem fso;
        if (fso.FileExists(mstrBookCategoriesPath)) {
            XmlDocument categories;
            if (!categories.load(mstrBookCategoriesPath)) {
                MsgBox(GetResString(2002), MessageButtons::Ok, MessageIcon::Information);
            } else {
                const XmlNodeList names = categories.selectNodes(
                    QStringLiteral("BookSet_Categories/Category/CategoryName"));
                for (int i = 0; i < names.length(); ++i) {
                    const QString name = names.item(i).text();
                    if (bCheckElement(name, lstAvaBookCategories) &&
                        name != QLatin1String("Other Category"))
                        lstAvaBookCategories->addItem(name);
                }
            }
        }

        // The list carries names the document lacks into the rebuilt set.
        mastrCategories = QStringList{QString()};
        for (int i = 0; i < lstAvaBookCategories->count(); ++i)
            mastrCategories << lstAvaBookCategories->item(i)->text();
        lstAvaBookCategories->clear();
        for (int i = 1; i < mastrCategories.size(); ++i)
            lstAvaBookCategories->addItem(mastrCategories.at(i));

        if (fso.FileExists(mstrBookCategoriesPath))
            fso.DeleteFile(mstrBookCategoriesPath, false);
        service->CreateCategoryDocument(DocsFolder(), mstrBookCategoriesPath, g.glngInstallType, 0);
        for (int i = 1; i < mastrCategories.size(); ++i) {
            const QString& name = mastrCategories.at(i);
            if (!service->IsDefaultCategory(mstrDefaultCategoriesPath, name, g.glngInstallType))
                service->AddCategory(mstrBookCategoriesPath, name);
            const QStringList books = service->GetCategoryBooks(name, tocPath);
            service->SetCategoryBooks(name, books, mstrBookCategoriesPath);
        }
        lblAvaBookCateLoad(mastrCategories);
        mastrCategories = QStringList{QString()};
    });
}

void ctlGlobalsTab::lblAvaBookCateLoad(const QStringList& astrCategories)
{
    Trap("lblAvaBookCateLoad", [&] {
        lstAvaBookCategories->clear();
        for (int i = 1; i < astrCategories.size(); ++i)
            lstAvaBookCategories->addItem(astrCategories.at(i));
    });
}

void ctlGlobalsTab::lstAvaBookCategories_Click()
{
    Trap("lstAvaBookCategories_Click", [&] {
        Global_Variables& g = globalVariables();
        if (g.gstrMode != ModeEdit)
            return;
        cmdApplyAddEditCate->setEnabled(true);
        const QString name = listText(lstAvaBookCategories);
        txtCategoryName->setText(name);
        g.gstrSelectedCategory = name;
    });
}

void ctlGlobalsTab::txtCategoryName_GotFocus()
{
    Trap("txtCategoryName_GotFocus", [&] {
        Global_Variables& g = globalVariables();
        if (g.gstrMode != ModeEdit)
            return;
        std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
        const QString name = listText(lstAvaBookCategories);
        // A warning only: the apply refuses the rename.
        if (service->IsDefaultCategory(mstrDefaultCategoriesPath, name, g.glngInstallType))
            MsgBox(defaultCategoryMessage(*this, name, QStringLiteral("9027")), MessageButtons::Ok,
                   MessageIcon::None);
    });
}

void ctlGlobalsTab::txtCategoryName_KeyPress(int& KeyAscii)
{
    Trap("txtCategoryName_KeyPress", [&] {
        if (globalVariables().gstrMode == ModeEdit && listIndex(lstAvaBookCategories) == -1) {
            MsgBox(GetResString(9026), MessageButtons::Ok, MessageIcon::Information);
            KeyAscii = 0;
        }
    });
}

void ctlGlobalsTab::cmdApplyAddEditCate_Click()
{
    Trap("cmdApplyAddEditCate_Click", [&] {
        Global_Variables& g = globalVariables();
        std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
        // Refusals of what was typed still tell the host, which refreshes its tree.
        const auto refuse = [&](int stringId) {
            MsgBox(GetResString(stringId), MessageButtons::Ok, MessageIcon::Information);
            txtCategoryName->setFocus();
            RaiseEvent(OnCategoryAdditionEvent, {});
        };

        if (g.gstrMode == ModeEdit) {
            const QString selected = listText(lstAvaBookCategories);
            if (service->IsDefaultCategory(mstrDefaultCategoriesPath, selected,
                                           g.glngInstallType)) {
                MsgBox(defaultCategoryMessage(*this, selected, QStringLiteral("9027")),
                       MessageButtons::Ok, MessageIcon::None);
                return;
            }
        }
        if (g.gstrMode == ModeAdd &&
            !bCheckElement(txtCategoryName->text(), lstAvaBookCategories)) {
            MsgBox(GetResString(5556), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const QString name = trimBlanks(txtCategoryName->text());
        if (name.isEmpty()) {
            refuse(2004);
            return;
        }
        if (name.size() > toLong(GetResString(143))) {
            refuse(2005);
            return;
        }
        if (!bCheckElement(name, lstAvaBookCategories)) {
            MsgBox(GetResString(2003), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        if (holdsMarkupCharacter(name)) {
            refuse(2004);
            return;
        }

        FileSystem fso;
        if (fso.FileExists(mstrBookCategoriesPath)) {
            if (g.gstrMode == ModeAdd) {
                service->AddCategory(mstrBookCategoriesPath, name);
            } else if (g.gstrMode == ModeEdit) {
                service->RenameCategory(mstrBookCategoriesPath, name, g.gstrSelectedCategory);
                EditBookCateinPXTOC(mstrTocPath, name, g.gstrSelectedCategory);
            }
        }
        txtCategoryName->clear();
        lstAvaBookCategories->clear();
        GetCategories();
        RaiseEvent(OnCategoryAdditionEvent, {});
    });
}

void ctlGlobalsTab::cmdCategoryCancel_Click()
{
    Trap(
        "cmdCategoryCancel_Click",
        [&] {
            const Global_Variables& g = globalVariables();
            if (g.gstrMode == ModeEdit)
                txtCategoryName->setText(g.gstrSelectedCategory);
            else if (g.gstrMode == ModeAdd)
                txtCategoryName->clear();
        },
        ErrorForm::UserControl);
}

void ctlGlobalsTab::cmdCategoryDelete_Click()
{
    Trap("cmdCategoryDelete_Click", [&] {
        Global_Variables& g = globalVariables();
        const int selectedIndex = listIndex(lstAvaBookCategories);
        bool found = true;

        if (g.gstrMode == ModeEdit) {
            std::unique_ptr<BookCategoryService> service = CreateService<BookCategoryService>();
            const QString selected = listText(lstAvaBookCategories);
            if (service->IsDefaultCategory(mstrDefaultCategoriesPath, selected,
                                           g.glngInstallType)) {
                MsgBox(defaultCategoryMessage(*this, selected, QStringLiteral("9028")),
                       MessageButtons::Ok, MessageIcon::None);
                return;
            }
        }
        const QString typed = txtCategoryName->text();
        if (typed.isEmpty()) {
            MsgBox(GetResString(2006), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const QString name = trimBlanks(typed);

        if (MsgBox(GetResString(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::Yes) {
            int match = -1;
            const QString wanted = typed.toUpper();
            for (int i = 0; i < lstAvaBookCategories->count(); ++i) {
                if (lstAvaBookCategories->item(i)->text().toUpper() == wanted) {
                    match = i;
                    break;
                }
            }
            if (match == -1) {
                found = false;
            } else {
                // Without a selection the list has no entry to give up: the list box
                // refuses the index, as it would for any other invalid one.
                if (selectedIndex < 0)
                    raiseError(rt::InvalidArgument,
                               QStringLiteral("Invalid procedure call or argument: select the "
                                              "category in the list before deleting it"));
                delete lstAvaBookCategories->takeItem(selectedIndex);
                // The removed entry took the selection with it.
                setListIndex(lstAvaBookCategories, -1);
                DelCateFromXml(mstrBookCategoriesPath, name);
                txtCategoryName->clear();
                if (match < lstAvaBookCategories->count())
                    setListIndex(lstAvaBookCategories, match - 1);
            }
        }
        GetBookAcroValue();
        RaiseEvent(OnCategoryDeletionEvent, {});
        if (!found)
            MsgBox(GetResString(2007), MessageButtons::Ok, MessageIcon::Information);
    });
}

} // namespace globalstab
