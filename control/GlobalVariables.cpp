#include "control/GlobalVariables.h"

namespace globalstab {

namespace {
thread_local Global_Variables t_globals;
}

Global_Variables& globalVariables()
{
    return t_globals;
}

void resetGlobalVariables()
{
    t_globals = Global_Variables();
}

} // namespace globalstab
