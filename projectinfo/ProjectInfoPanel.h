#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;

namespace globalstab {

class PanelHost;

namespace view {
class Builder;
}

// The project information panel (fraEditPrjNameID): the project's name, ID and rank, and
// the apply that carries them into the project's folder, documents and pages.
class ProjectInfoPanel : public QGroupBox
{
    Q_OBJECT

public:
    ProjectInfoPanel(PanelHost& host, view::Builder& builder, QWidget* tab, QObject* clickFilter);

    // Captions and tooltips from the string table.
    void applyTexts();
    void setRankEnabled(bool enabled);

    // What the ProjectName property shows, step by step, and then keeps as last loaded.
    void showName(const QString& name);
    void showId(const QString& id);
    void showRank(const QString& rank);
    void keepShownIdAndRank();

private:
    void applyProjectInfo();
    void cancelProjectInfo();

    PanelHost& m_host;
    QString m_projectId;   // last loaded or applied
    QString m_projectRank; // last loaded or applied

    QPushButton* cmdProjectNameCancel = nullptr;
    QPushButton* cmdProjectNameApply = nullptr;
    QLineEdit* txtPrjoectRank = nullptr;
    QLineEdit* txtProjectID = nullptr;
    QLineEdit* txtProjectName = nullptr;
    QLabel* lblProjectRank = nullptr;
    QLabel* lblProjectID = nullptr;
    QLabel* lblProjectName = nullptr;
};

} // namespace globalstab
