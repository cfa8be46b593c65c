#include "control/ctlGlobalsTab.h"

namespace globalstab {

bool ctlGlobalsTab::UpdatePXTocWithProdInfo()
{

    return false;
}

void ctlGlobalsTab::UpdateProductInfoInBook(const QString& strBookPath, const QString& strBookFolder)
{
    Q_UNUSED(strBookPath);
    Q_UNUSED(strBookFolder);

}

} // namespace globalstab
