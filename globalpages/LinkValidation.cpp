#include "control/ctlGlobalsTab.h"

namespace globalstab {

bool ctlGlobalsTab::bValidateInputDynamicOptions()
{

    return false;
}

QString ctlGlobalsTab::strParseFile(const QString& strPath)
{
    Q_UNUSED(strPath);

    return QString();
}

void ctlGlobalsTab::EnterToFile(const QString& strPath, const QString& strText)
{
    Q_UNUSED(strPath);
    Q_UNUSED(strText);

}

} // namespace globalstab
