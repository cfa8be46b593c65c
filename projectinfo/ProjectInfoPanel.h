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

    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QLineEdit* m_rankEdit = nullptr;
    QLineEdit* m_idEdit = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLabel* m_rankLabel = nullptr;
    QLabel* m_idLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
};

} // namespace globalstab
