#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::GetCategories()
{

}

void ctlGlobalsTab::lblAvaBookCateLoad(const QStringList& astrCategories)
{
    Q_UNUSED(astrCategories);

}

void ctlGlobalsTab::lstAvaBookCategories_Click()
{

}

void ctlGlobalsTab::txtCategoryName_GotFocus()
{

}

void ctlGlobalsTab::txtCategoryName_KeyPress(int& KeyAscii)
{
    Q_UNUSED(KeyAscii);

}

void ctlGlobalsTab::cmdApplyAddEditCate_Click()
{

}

void ctlGlobalsTab::cmdCategoryCancel_Click()
{

}

void ctlGlobalsTab::cmdCategoryDelete_Click()
{

}

} // namespace globalstab
