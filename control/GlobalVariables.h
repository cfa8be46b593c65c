#pragma once

#include <globalstab/globalstab_export.h>

#include <QString>

namespace globalstab {

// The thread-wide state shared by every ctlGlobalsTab on one thread.
struct Global_Variables
{
    QString gstrRootPath; // data root, ends with a separator
    QString gstrProjectName;
    qint32 glngInstallType = 0;
    QString gstrPageName;
    QString gstrMode; // "ADD", "EDIT" or empty
    QString gstrSelectedPage;
    QString gstrSelectedCategory;
};

// This thread's set.
GLOBALSTAB_EXPORT Global_Variables& globalVariables();
// Starts this thread's set afresh (for tests and for hosts that close every tab).
GLOBALSTAB_EXPORT void resetGlobalVariables();

} // namespace globalstab
