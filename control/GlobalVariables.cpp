#include "control/GlobalVariables.h"

namespace globalstab {

namespace {
thread_local Global_Variables tlsGlobals;
}

Global_Variables& globalVariables()
{
    return tlsGlobals;
}

void resetGlobalVariables()
{
    tlsGlobals = Global_Variables();
}

} // namespace globalstab
