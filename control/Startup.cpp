#include "control/ctlGlobalsTab.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

void ctlGlobalsTab::UserControl_Initialize()
{
    Trap("UserControl_Initialize", [&] {
        fraEditPrjNameID->setTitle(GetResString(105));
        lblProjectName->setText(GetResString(106));
        lblProjectID->setText(GetResString(107));
        lblProjectRank->setText(GetResString(146));
        cmdProjectNameApply->setText(GetResString(108));
        cmdProjectNameCancel->setText(GetResString(109));
        fraAddEditGblPage->setTitle(GetResString(110));
        lblPageName->setText(GetResString(111));
        lblSourceto->setText(GetResString(112));
        cmdBrowse->setText(GetResString(113));
        lblTgtFrm->setText(GetResString(5530));
        cmdAddGblPage->setText(GetResString(135));
        cmdDelGblPage->setText(GetResString(136));
        cmdCancelGblPage->setText(GetResString(137));

        fraAddEditGblPage->setVisible(false);
        fraEditPrjNameID->setVisible(true);

        cmdAdd->setText(GetResString(5541));
        cmdEdit->setText(GetResString(5542));
        cmdApplyAddEditCate->setText(GetResString(108));
        cmdCategoryCancel->setText(GetResString(109));
        cmdCategoryDelete->setText(GetResString(136));
        lblNote->setText(GetResString(5555));
        lblCategoryName->setText(GetResString(5553));
        lblAvailCatName->setText(GetResString(5552));
        FraHC->setTitle(GetResString(5550));
        // These labels size themselves to their captions.
        for (QLabel* autoSized : {lblNote, lblCategoryName, lblTgtFrm, lblSourceto, lblPageName})
            autoSized->adjustSize();

        lstAddItems->setFixedHeight(420 / 15);
        lstAddItems->addItem(GetResString(5545));
        lstAddItems->addItem(GetResString(5546));

        lstEditItems->addItem(GetResString(5547));
        lstEditItems->addItem(GetResString(5545));
        lstEditItems->addItem(GetResString(5546));

        SetToolTips();

        PictureMoveUP1->setVisible(false);
        PictureMoveUP2->setVisible(true);
        PictureMoveDown1->setVisible(false);
        PictureMoveDown2->setVisible(true);

        {
            std::unique_ptr<DeveloperSettingsService> settings =
                CreateService<DeveloperSettingsService>();
            globalVariables().glngInstallType = toLong(settings->getDeveloperInstallType());
        }

        if (globalVariables().glngInstallType != 1000)
            txtPrjoectRank->setEnabled(false);
    });
}

void ctlGlobalsTab::SetToolTips()
{
    Trap("SetToolTips", [&] {
        txtPageName->setToolTip(GetResString(9001));
        txtSourceTo->setToolTip(GetResString(9002));
        cmdBrowse->setToolTip(GetResString(9004));
        cmdAddGblPage->setToolTip(GetResString(9005));
        cmdCancelGblPage->setToolTip(GetResString(9006));
        cmdDelGblPage->setToolTip(GetResString(9007));
        lstPages->setToolTip(GetResString(9008));
        txtProjectName->setToolTip(GetResString(9009));
        txtProjectID->setToolTip(GetResString(9010));
        cmdProjectNameApply->setToolTip(GetResString(9011));
        cmdProjectNameCancel->setToolTip(GetResString(9012));
        txtCategoryName->setToolTip(GetResString(9013));
        lstAvaBookCategories->setToolTip(GetResString(9014));
        cmdApplyAddEditCate->setToolTip(GetResString(9015));
        cmdCategoryCancel->setToolTip(GetResString(9016));
        cmdCategoryDelete->setToolTip(GetResString(9017));
        cmdAdd->setToolTip(GetResString(9019));
        lstAddItems->setToolTip(GetResString(9020));
        cmdEdit->setToolTip(GetResString(9021));
        lstEditItems->setToolTip(GetResString(9022));
    });
}

void ctlGlobalsTab::LoadResource()
{
    Trap("LoadResource", [&] {
        Global_Variables& g = globalVariables();
        std::unique_ptr<DeveloperSettingsService> settings =
            CreateService<DeveloperSettingsService>();
        g.gstrRootPath = settings->GetPXServer().toString();
        g.glngInstallType = toLong(settings->getDeveloperInstallType());
        settings.reset();
        mstrTocPath = TocPath();
        mstrDefaultCategoriesPath = DocsFolder() + QStringLiteral("PX_DefaultCategories.xml");
    });
}

} // namespace globalstab
