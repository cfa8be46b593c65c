#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::PXUpdateFiles(const Folder& objFolder, const QString& vstrProductName, qint16 vintType)
{
    Q_UNUSED(objFolder);
    Q_UNUSED(vstrProductName);
    Q_UNUSED(vintType);

}

void ctlGlobalsTab::PXUpdateFiles(const QString& folderPath, const QString& vstrProductName, qint16 vintType)
{
    Q_UNUSED(folderPath);
    Q_UNUSED(vstrProductName);
    Q_UNUSED(vintType);

}

} // namespace globalstab
