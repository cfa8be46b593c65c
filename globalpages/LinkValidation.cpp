#include "control/ctlGlobalsTab.h"

namespace globalstab {

bool ctlGlobalsTab::bValidateInputDynamicOptions()
{

    return false;
}

} // namespace globalstab
