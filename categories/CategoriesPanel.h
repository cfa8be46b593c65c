#pragma once

#include <QGroupBox>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace globalstab {

class PanelHost;

namespace view {
class ArrowButton;
class Builder;
} // namespace view

// The hierarchical category panel (FraHC): the project's categories, their order, and the
// adding, renaming and deleting of one, carried across the category set, the table of
// contents and the books.
class CategoriesPanel : public QGroupBox
{
    Q_OBJECT

public:
    CategoriesPanel(PanelHost& host, view::Builder& builder, QWidget* tab, QObject* clickFilter);

    void applyTexts();

    // What the function lists change here.
    void prepareForAdd(const QString& title);
    void prepareForEdit(const QString& title);
    // Shows the panel with an empty name box; loadCategories() then lists them.
    void enter();

    // Lists the categories and rebuilds the category set from them.
    void loadCategories();

private:
    void fillCategoryList(const QStringList& categories);
    void populateCategories();
    void categoryClicked();
    void nameFocused();
    // False when the key typed in the name box is refused (after saying why).
    bool acceptsNameKey();
    void applyCategory();
    void cancelCategory();
    void deleteCategory();
    void moveUpPressed();
    void moveUpReleased();
    void moveDownPressed();
    void moveDownReleased();
    void moveUp();
    void moveDown();
    // The refusal for a default category: its name, a blank and the text of stringId.
    QString defaultCategoryMessage(const QString& name, int stringId);

    bool eventFilter(QObject* watched, QEvent* event) override;

    PanelHost& m_host;
    QString m_setPath; // the category set of the project the panel was last shown for

    view::ArrowButton* m_upArrow = nullptr;
    view::ArrowButton* m_downArrow = nullptr;
    QLabel* m_downPicture = nullptr;
    QLabel* m_downPressedPicture = nullptr;
    QLabel* m_upPicture = nullptr;
    QLabel* m_upPressedPicture = nullptr;
    QPushButton* m_applyButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QListWidget* m_categoryList = nullptr;
    QLabel* m_noteLabel = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_listLabel = nullptr;
};

} // namespace globalstab
