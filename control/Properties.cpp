#include "control/ctlGlobalsTab.h"

#include <QLineEdit>

namespace globalstab {

QString ctlGlobalsTab::ProjectName() const
{
    return globalVariables().gstrProjectName;
}

void ctlGlobalsTab::setProjectName(const QString& vstrProjectName)
{
    Trap("ProjectName", [&] {
        Global_Variables& g = globalVariables();
        std::unique_ptr<ProjectRankService> rankService = CreateService<ProjectRankService>();
        g.gstrProjectName = vstrProjectName;
        txtProjectName->setText(g.gstrProjectName);
        if (g.gstrRootPath.isEmpty())
            LoadResource();
        txtProjectID->setText(GetPXAcro(g.gstrRootPath + QStringLiteral("Docs\\") +
                                            QStringLiteral("\\") +
                                            QStringLiteral("PX_Selection.XML"),
                                        g.gstrProjectName));
        txtPrjoectRank->setText(rankService->GetProjectRank(g.gstrProjectName));
        mstrProjectId = txtProjectID->text();
        mstrProjectRank = txtPrjoectRank->text();
        Q_EMIT ProjectNameChanged();
        LoadResource();
    });
}

QString ctlGlobalsTab::PageName() const
{
    return globalVariables().gstrPageName;
}

void ctlGlobalsTab::setPageName(const QString& value)
{
    Trap("PageName", [&] {
        globalVariables().gstrPageName = value;
        Q_EMIT PageNameChanged();
        if (!value.isEmpty())
            UpdateAddPageInfo();
    });
}

} // namespace globalstab
