#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::PictureMoveUP2_MouseDown()
{

}

void ctlGlobalsTab::PictureMoveUP2_MouseUp()
{

}

void ctlGlobalsTab::PictureMoveDown2_MouseDown()
{

}

void ctlGlobalsTab::PictureMoveDown2_MouseUp()
{

}

void ctlGlobalsTab::imgMoveUp_Click()
{

}

void ctlGlobalsTab::imgMoveDown_Click()
{

}

} // namespace globalstab
