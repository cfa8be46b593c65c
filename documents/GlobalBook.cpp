#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::LoadPageName()
{

}

void ctlGlobalsTab::GetGlobalPageInfo(QString& strPageName)
{
    Q_UNUSED(strPageName);

}

} // namespace globalstab
