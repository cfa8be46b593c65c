#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace globalstab {

class PanelHost;

namespace view {
class Builder;
}

// The global page panel (fraInfo): the list of the project's global pages and the editor
// that adds, edits and deletes them.
class GlobalPagesPanel : public QGroupBox
{
    Q_OBJECT

public:
    GlobalPagesPanel(PanelHost& host, view::Builder& builder, QWidget* tab, QObject* clickFilter);

    void applyTexts();
    // The frame of the page editor, which hides the function lists when clicked.
    QGroupBox* editorFrame() const { return m_editorFrame; }

    // What the function lists change here.
    void prepareForAdd(const QString& title);
    void prepareForEdit(const QString& title);
    void hideEditor();
    // Shows the panel with the page list read afresh and an empty editor.
    void enter();
    // The panel's parts that stay consistent when the project panel is shown.
    void leave();

    // Reads the page list from the global book.
    void loadPages();
    // Shows the page the PageName property names, with its document.
    void showNamedPage();

private:
    void showPageSource(const QString& pageName);
    bool acceptsPage();
    void pageClicked();
    // False when the key typed in the name box is refused (after saying why).
    bool acceptsNameKey();
    void browse();
    void applyPage();
    void cancelPage();
    void deletePage();

    bool eventFilter(QObject* watched, QEvent* event) override;

    PanelHost& m_host;
    QString m_selectedPageSource; // the document of the page last clicked

    QPushButton* m_deleteButton = nullptr;
    QGroupBox* m_editorFrame = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QLineEdit* m_sourceEdit = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QLabel* m_targetLabel = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
    QListWidget* m_pageList = nullptr;
    QLabel* m_listLabel = nullptr;
};

} // namespace globalstab
