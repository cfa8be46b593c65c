#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::lstPages_Click()
{

}

void ctlGlobalsTab::txtPageName_KeyPress(int& KeyAscii)
{
    Q_UNUSED(KeyAscii);

}

void ctlGlobalsTab::cmdBrowse_Click()
{

}

void ctlGlobalsTab::cmdAddGblPage_Click()
{

}

void ctlGlobalsTab::cmdCancelGblPage_Click()
{

}

void ctlGlobalsTab::cmdDelGblPage_Click()
{

}

void ctlGlobalsTab::UpdateAddPageInfo()
{

}

} // namespace globalstab
