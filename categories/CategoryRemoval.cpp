#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::DelCateFromXml(const QString& strPath, const QString& strCategory)
{
    Q_UNUSED(strPath);
    Q_UNUSED(strCategory);

}

void ctlGlobalsTab::DelCateinPXTOC(const QString& strTocPath, const QString& strCategory)
{
    Q_UNUSED(strTocPath);
    Q_UNUSED(strCategory);

}

void ctlGlobalsTab::delCateinBookXML(const QString& strBookPath, const QString& strCategory)
{
    Q_UNUSED(strBookPath);
    Q_UNUSED(strCategory);

}

void ctlGlobalsTab::EditBookCateinPXTOC(const QString& strTocPath, const QString& strNewName, const QString& strOldName)
{
    Q_UNUSED(strTocPath);
    Q_UNUSED(strNewName);
    Q_UNUSED(strOldName);

}

void ctlGlobalsTab::GetBookAcroValue()
{

}

} // namespace globalstab
