#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"

namespace globalstab {

// The name goes into the query unescaped: a name holding a double quote makes the query
// invalid, which is reported here and gives an empty identifier.
QString ctlGlobalsTab::GetPXAcro(const QString& strPath, const QString& strProjectName)
{
    QString result;
    Trap("GetPXAcro", [&] {
        XmlDocument selection;
        selection.load(strPath);
        const XmlNode acro = selection.selectSingleNode(
            QStringLiteral("PX_Selection_List/PXs/PX[PX_Name=") + QLatin1Char('"') +
            strProjectName + QLatin1Char('"') + QStringLiteral("]/PX_Acro"));
        if (acro)
            result = acro.text();
    });
    return result;
}

// Replaces the project's entry by a fresh one at the end of the list. The document is saved
// only once the new entry is complete, so any failure leaves the file as it was.
void ctlGlobalsTab::UpdatePXSelection()
{
    Trap("UpdatePXSelection", [&] {
        const Global_Variables& g = globalVariables();
        const QString path = SelectionListPath();
        FileSystem fso;
        if (!fso.FileExists(path)) {
            MsgBox(GetResString(140), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        XmlDocument selection;
        selection.load(path);
        XmlNode pxs = selection.selectSingleNode(QStringLiteral("PX_Selection_List/PXs"));
        const XmlNode oldEntry =
            selection.selectSingleNode(QStringLiteral("PX_Selection_List/PXs/PX[PX_Name='") +
                                       mstrOldProjectName + QStringLiteral("']"));
        if (oldEntry)
            pxs.removeChild(oldEntry);

        XmlNode entry = selection.createElement(QStringLiteral("PX"));
        pxs.appendChild(entry);

        XmlNode acro = selection.createElement(QStringLiteral("PX_Acro"));
        acro.setText(mstrProjectId);
        entry.appendChild(acro);

        XmlNode name = selection.createElement(QStringLiteral("PX_Name"));
        name.setText(g.gstrProjectName);
        name.setAttribute(QStringLiteral("AddDate"), QString());
        name.setAttribute(QStringLiteral("Pro"),
                          g.glngInstallType == 1000 ? QStringLiteral("Yes") : QStringLiteral("No"));
        name.setAttribute(QStringLiteral("Enable"), QStringLiteral("Yes"));
        entry.appendChild(name);
        name.setAttribute(QStringLiteral("Rank"), mstrProjectRank);

        XmlNode location = selection.createElement(QStringLiteral("PX_Location"));
        location.setText(QStringLiteral("Docs\\") + g.gstrProjectName + QStringLiteral("\\"));
        entry.appendChild(location);

        selection.save(path);
    });
}

} // namespace globalstab
