#include "control/ctlGlobalsTab.h"

namespace globalstab {

bool ctlGlobalsTab::bcheckCharacters(const QString& strText, const QString& strLabel)
{
    Q_UNUSED(strText);
    Q_UNUSED(strLabel);

    return false;
}

QString ctlGlobalsTab::strCheckXMLCharacters(const QString& strText, const QString& strLabel)
{
    Q_UNUSED(strText);
    Q_UNUSED(strLabel);

    return QString();
}

bool ctlGlobalsTab::bCheckElement(const QString& strItem, QListWidget* lstList)
{
    Q_UNUSED(strItem);
    Q_UNUSED(lstList);

    return false;
}

QString ctlGlobalsTab::mstrCheckSpecialCharacters(const QString& vstrCurWord)
{
    Q_UNUSED(vstrCurWord);

    return QString();
}

} // namespace globalstab
