#include "projectinfo/ProjectInfoPanel.h"

#include "documents/SelectionList.h"
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileSystem.h"
#include "platform/Progress.h"
#include "text/TextChecks.h"
#include "view/PanelHost.h"
#include "view/ViewStyle.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace globalstab {

ProjectInfoPanel::ProjectInfoPanel(PanelHost& host, view::Builder& builder, QWidget* tab,
                                   QObject* clickFilter)
    : QGroupBox(tab), m_host(host)
{
    using view::twips;
    builder.frame(this, "fraEditPrjNameID", tab, twips(120, 840, 7935, 2415), 18, clickFilter);
    cmdProjectNameCancel =
        builder.button("cmdProjectNameCancel", this, twips(3600, 1920, 975, 375), 22);
    cmdProjectNameApply =
        builder.button("cmdProjectNameApply", this, twips(2520, 1920, 975, 375), 21);
    txtPrjoectRank = builder.edit("txtPrjoectRank", this, twips(240, 1920, 1215, 315), 38);
    txtProjectID = builder.edit("txtProjectID", this, twips(240, 1200, 1935, 315), 20);
    txtProjectName = builder.edit("txtProjectName", this, twips(240, 600, 4335, 315), 19);
    lblProjectRank = builder.label("lblProjectRank", this, twips(240, 1680, 1455, 255), 11);
    lblProjectID = builder.label("lblProjectID", this, twips(240, 960, 1215, 255), 24);
    lblProjectName = builder.label("lblProjectName", this, twips(240, 360, 3375, 255), 23);
    // This label keeps the container's default font rather than the tab's own.
    view::setDesignedFont(lblProjectRank, false);

    // Design-time captions hold the string id until start-up replaces them.
    view::setCaption(this, QStringLiteral("105"));
    lblProjectName->setText(QStringLiteral("106"));
    lblProjectID->setText(QStringLiteral("107"));
    lblProjectRank->setText(QStringLiteral("146"));
    cmdProjectNameApply->setText(QStringLiteral("108"));
    cmdProjectNameCancel->setText(QStringLiteral("109"));

    lblProjectName->setBuddy(txtProjectName);
    lblProjectID->setBuddy(txtProjectID);
    lblProjectRank->setBuddy(txtPrjoectRank);

    connect(cmdProjectNameApply, &QPushButton::clicked, this, &ProjectInfoPanel::applyProjectInfo);
    connect(cmdProjectNameCancel, &QPushButton::clicked, this,
            &ProjectInfoPanel::cancelProjectInfo);
}

void ProjectInfoPanel::applyTexts()
{
    view::setCaption(this, m_host.text(105));
    lblProjectName->setText(m_host.text(106));
    lblProjectID->setText(m_host.text(107));
    lblProjectRank->setText(m_host.text(146));
    cmdProjectNameApply->setText(m_host.text(108));
    cmdProjectNameCancel->setText(m_host.text(109));
    txtProjectName->setToolTip(m_host.text(9009));
    txtProjectID->setToolTip(m_host.text(9010));
    cmdProjectNameApply->setToolTip(m_host.text(9011));
    cmdProjectNameCancel->setToolTip(m_host.text(9012));
}

void ProjectInfoPanel::setRankEnabled(bool enabled)
{
    txtPrjoectRank->setEnabled(enabled);
}

void ProjectInfoPanel::showName(const QString& name)
{
    txtProjectName->setText(name);
}

void ProjectInfoPanel::showId(const QString& id)
{
    txtProjectID->setText(id);
}

void ProjectInfoPanel::showRank(const QString& rank)
{
    txtPrjoectRank->setText(rank);
}

void ProjectInfoPanel::keepShownIdAndRank()
{
    m_projectId = txtProjectID->text();
    m_projectRank = txtPrjoectRank->text();
}

void ProjectInfoPanel::applyProjectInfo()
{
    const auto action = m_host.beginAction("CmdProjectNameApply_click");
    if (!action)
        return;
    trap(m_host, "CmdProjectNameApply_click", [&] {
        const ProjectContext current = m_host.project();
        const QString oldName = current.projectName;
        const QString name = txtProjectName->text();
        const QString id = txtProjectID->text();
        const ProjectInfoCheck checked =
            checkProjectInfo(m_host, current, name, id, txtPrjoectRank->text());
        if (!checked.accepted) {
            if (checked.charactersRefused)
                m_host.loadPageName();
            else if (checked.focus == ProjectInfoCheck::Field::Name)
                txtProjectName->setFocus();
            else if (checked.focus == ProjectInfoCheck::Field::Id)
                txtProjectID->setFocus();
            return;
        }
        m_projectRank = checked.rank;

        m_host.setCurrentProjectName(name);
        m_projectId = id;

        m_host.setBusy(true);
        const ProjectInfoChange change{current, name, m_projectId, m_projectRank};
        try {
            const ObservedProgress progress(
                [this](int done, int total) { return m_host.progress(done, total); });
            if (!renameProject(m_host, change, [this] { m_host.setBusy(false); })) {
                m_host.setCurrentProjectName(oldName);
                return;
            }
            // Thousands of files are put in place with the progress still showing: the
            // window keeps painting, and Cancel still puts everything back.
            m_host.commitWrites();
            m_host.progressEnded();
        } catch (const ActionCancelled&) {
            m_host.putBackAction();
            m_host.setCurrentProjectName(oldName);
            return;
        }

        m_host.setProjectName(name);
        m_host.message(m_host.text(5539), MessageButtons::Ok, MessageIcon::Information);
        m_host.projectRenamed();
        m_host.loadPageName();
    });
}

void ProjectInfoPanel::cancelProjectInfo()
{
    trap(m_host, "cmdProjectNameCancel_Click", [&] {
        txtProjectName->setText(m_host.project().projectName);
        txtProjectID->setText(m_projectId);
        txtPrjoectRank->setText(m_projectRank);
    });
}

} // namespace globalstab
