#include "control/ctlGlobalsTab.h"

namespace globalstab {

QString ctlGlobalsTab::GetPXAcro(const QString& strPath, const QString& strProjectName)
{
    Q_UNUSED(strPath);
    Q_UNUSED(strProjectName);

    return QString();
}

void ctlGlobalsTab::UpdatePXSelection()
{

}

} // namespace globalstab
