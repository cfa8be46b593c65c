#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::CmdProjectNameApply_click()
{

}

void ctlGlobalsTab::cmdProjectNameCancel_Click()
{

}

} // namespace globalstab
