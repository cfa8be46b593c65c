#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::PopulateCategories()
{

}

} // namespace globalstab
