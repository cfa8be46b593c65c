#include "control/ctlGlobalsTab.h"

#include "platform/XmlDocument.h"
#include "text/Trim.h"

#include <QLineEdit>

namespace globalstab {

namespace {

constexpr qint32 MaxRank = 32000;
const QString DefaultRank = QStringLiteral("500");

// The rank as stored: the whole number's decimal text, or empty when it is not accepted.
// A text that is numeric but does not fit 32 bits raises overflow.
QString acceptedRank(const QString& typed)
{
    const QString rank = trimBlanks(typed);
    if (rank.contains(QLatin1Char(',')) || rank.contains(QLatin1Char('.')) || !isNumeric(rank))
        return QString();
    const qint32 value = toLong(rank);
    if (value <= 0 || value > MaxRank)
        return QString();
    return QString::number(value);
}

} // namespace

void ctlGlobalsTab::CmdProjectNameApply_click()
{
    Trap("CmdProjectNameApply_click", [&] {
        Global_Variables& g = globalVariables();
        XmlDocument selection;
        FileSystem fso;
        mstrOldProjectName = g.gstrProjectName;
        mstrOldProjectId = mstrProjectId;
        mstrOldProjectRank = mstrProjectRank;

        const QString name = txtProjectName->text();
        const QString id = txtProjectID->text();
        const auto refuse = [&](int stringId, QLineEdit* focus) {
            MsgBox(GetResString(stringId), MessageButtons::Ok, MessageIcon::Information);
            focus->setFocus();
        };
        if (trimBlanks(name).isEmpty())
            return refuse(123, txtProjectName);
        if (trimBlanks(id).isEmpty())
            return refuse(122, txtProjectID);
        if (trimBlanks(id).contains(QLatin1Char(' ')))
            return refuse(116, txtProjectID);
        if (trimBlanks(name) == QLatin1String("."))
            return refuse(123, txtProjectName);

        // Both checks run so that the user hears of every refused character at once.
        const bool nameClean =
            !strCheckXMLCharacters(name, QStringLiteral("Project Name")).isEmpty();
        const bool idClean = !strCheckXMLCharacters(id, QStringLiteral("Project Id")).isEmpty();
        if (!nameClean || !idClean) {
            LoadPageName();
            return;
        }

        if (fso.FileExists(SelectionListPath())) {
            selection.load(SelectionListPath());
            const QString converted = mstrCheckSpecialCharacters(name);
            const XmlNodeList entries =
                selection.selectNodes(QStringLiteral("PX_Selection_List/PXs/PX"));
            for (int i = 0; i < entries.length(); ++i) {
                const XmlNode entryName =
                    entries.item(i).selectSingleNode(QStringLiteral("PX_Name"));
                if (!entryName)
                    continue;
                const QString existing = entryName.text();
                // The open project's own entry never counts, so its letter case may change.
                if (existing.compare(converted, Qt::CaseInsensitive) == 0 &&
                    existing != g.gstrProjectName) {
                    MsgBox(GetResString(117) + QStringLiteral(" ") + name + QStringLiteral(" ") +
                               GetResString(118),
                           MessageButtons::Ok, MessageIcon::Information);
                    txtProjectName->setFocus();
                    return;
                }
            }
        }

        mstrProjectRank = acceptedRank(txtPrjoectRank->text());
        if (mstrProjectRank.isEmpty()) {
            MsgBox(GetResString(147), MessageButtons::Ok, MessageIcon::None);
            mstrProjectRank = DefaultRank;
        }

        g.gstrProjectName = name;
        mstrProjectId = id;

        SetBusyPointer(true);
        const bool written = UpdatePXTocWithProdInfo();
        SetBusyPointer(false);
        if (!written) {
            g.gstrProjectName = mstrOldProjectName;
            return;
        }

        const Folder project = fso.GetFolder(DocsFolder() + g.gstrProjectName);
        PXUpdateFiles(project, mstrOldProjectName, 0);

        setProjectName(g.gstrProjectName);
        MsgBox(GetResString(5539), MessageButtons::Ok, MessageIcon::Information);
        RaiseEvent(OnprojectNameChangeEvent, {});
        LoadPageName();
    });
}

void ctlGlobalsTab::cmdProjectNameCancel_Click()
{
    Trap("cmdProjectNameCancel_Click", [&] {
        txtProjectName->setText(globalVariables().gstrProjectName);
        txtProjectID->setText(mstrProjectId);
        txtPrjoectRank->setText(mstrProjectRank);
    });
}

} // namespace globalstab
