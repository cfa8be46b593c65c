#include "categories/CategoriesPanel.h"

#include "documents/CategorySet.h"
#include "operations/CategoryChanges.h"
#include "platform/FileSystem.h"
#include "platform/Numbers.h"
#include "text/TextChecks.h"
#include "view/ArrowButton.h"
#include "view/PanelHost.h"
#include "view/ViewStyle.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {
const QString ModeAdd = QStringLiteral("ADD");
const QString ModeEdit = QStringLiteral("EDIT");
} // namespace

CategoriesPanel::CategoriesPanel(PanelHost& host, view::Builder& builder, QWidget* tab,
                                 QObject* clickFilter)
    : QGroupBox(tab), m_host(host)
{
    using view::twips;
    using view::twipsAt;
    builder.frame(this, "FraHC", tab, twips(120, 840, 8000, 6255), 25, clickFilter);
    // Each arrow is one button; its two pictures show it at rest and while pressed.
    m_downArrow = builder.place(new view::ArrowButton, "moveDownArrow", this,
                                twips(3360, 4680, 270, 270), 37);
    m_downPicture = builder.picture("PictureMoveDown2", m_downArrow, 37, false, false);
    m_downPressedPicture = builder.picture("PictureMoveDown1", m_downArrow, 36, false, true);
    m_upArrow =
        builder.place(new view::ArrowButton, "moveUpArrow", this, twips(3360, 4320, 270, 270), 35);
    m_upPicture = builder.picture("PictureMoveUP2", m_upArrow, 35, true, false);
    m_upPressedPicture = builder.picture("PictureMoveUP1", m_upArrow, 34, true, true);
    m_applyButton = builder.button("cmdApplyAddEditCate", this, twips(5040, 1080, 975, 375), 32);
    m_cancelButton = builder.button("cmdCategoryCancel", this, twips(6120, 1080, 975, 375), 31);
    m_deleteButton = builder.button("cmdCategoryDelete", this, twips(2160, 5235, 975, 375), 26);
    m_nameEdit = builder.edit("txtCategoryName", this, twips(3480, 600, 3615, 315), 29);
    m_categoryList = builder.list("lstAvaBookCategories", this, twips(120, 600, 3015, 4515), 27);
    m_noteLabel = builder.label("lblNote", this, twipsAt(240, 5760), 33);
    m_nameLabel = builder.label("lblCategoryName", this, twipsAt(3480, 360), 30);
    m_listLabel = builder.label("lblAvailCatName", this, twips(120, 360, 2535, 255), 28);

    m_applyButton->setText(QStringLiteral("108"));
    m_cancelButton->setText(QStringLiteral("109"));
    m_deleteButton->setText(QStringLiteral("136"));
    m_noteLabel->setText(QStringLiteral("5555"));
    m_nameLabel->setText(QStringLiteral("5553"));
    m_listLabel->setText(QStringLiteral("5552"));
    view::setCaption(this, QStringLiteral("5550"));
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{this, m_downPressedPicture, m_upPressedPicture})
        hidden->setVisible(false);

    m_nameLabel->setBuddy(m_nameEdit);
    m_listLabel->setBuddy(m_categoryList);
    m_nameEdit->installEventFilter(this);
    connect(m_categoryList, &QListWidget::itemClicked, this, &CategoriesPanel::categoryClicked);
    activateByKeyboard(m_categoryList, [this] { categoryClicked(); });
    connect(m_applyButton, &QPushButton::clicked, this, &CategoriesPanel::applyCategory);
    connect(m_cancelButton, &QPushButton::clicked, this, &CategoriesPanel::cancelCategory);
    connect(m_deleteButton, &QPushButton::clicked, this, &CategoriesPanel::deleteCategory);
    // The move happens on the press, so holding the button moves once.
    connect(m_upArrow, &QAbstractButton::pressed, this, &CategoriesPanel::moveUpPressed);
    connect(m_upArrow, &QAbstractButton::released, this, &CategoriesPanel::moveUpReleased);
    connect(m_downArrow, &QAbstractButton::pressed, this, &CategoriesPanel::moveDownPressed);
    connect(m_downArrow, &QAbstractButton::released, this, &CategoriesPanel::moveDownReleased);
}

void CategoriesPanel::applyTexts()
{
    m_applyButton->setText(m_host.text(108));
    m_cancelButton->setText(m_host.text(109));
    m_deleteButton->setText(m_host.text(136));
    m_noteLabel->setText(m_host.text(5555));
    m_nameLabel->setText(m_host.text(5553));
    m_listLabel->setText(m_host.text(5552));
    view::setCaption(this, m_host.text(5550));
    for (QLabel* autoSized : {m_noteLabel, m_nameLabel})
        autoSized->adjustSize();

    m_nameEdit->setToolTip(m_host.text(9013));
    m_categoryList->setToolTip(m_host.text(9014));
    m_applyButton->setToolTip(m_host.text(9015));
    m_cancelButton->setToolTip(m_host.text(9016));
    m_deleteButton->setToolTip(m_host.text(9017));

    m_upPressedPicture->setVisible(false);
    m_upPicture->setVisible(true);
    m_downPressedPicture->setVisible(false);
    m_downPicture->setVisible(true);
}

void CategoriesPanel::prepareForAdd(const QString& title)
{
    m_applyButton->setEnabled(true);
    view::setCaption(this, title);
    m_deleteButton->setVisible(false);
    if (m_categoryList->currentRow() != -1)
        setListIndex(m_categoryList, -1);
}

void CategoriesPanel::prepareForEdit(const QString& title)
{
    view::setCaption(this, title);
    m_deleteButton->setVisible(true);
    if (m_categoryList->currentRow() != -1)
        setListIndex(m_categoryList, -1);
}

void CategoriesPanel::enter()
{
    m_nameEdit->clear();
    setVisible(true);
}

void CategoriesPanel::loadCategories()
{
    const auto action = m_host.beginAction("GetCategories");
    if (!action)
        return;
    trap(m_host, "GetCategories", [&] {
        const ProjectContext project = m_host.project();
        m_setPath = project.bookCategoriesPath();
        std::unique_ptr<BookCategoryService> service = m_host.create<BookCategoryService>();
        // A set that cannot be written back must not be deleted by the rebuild.
        if (service->CheckCategoryDocument(m_setPath))
            return;

        // The list carries names the document lacks into the rebuilt set.
        QStringList names = listEntries(m_categoryList);
        if (FileSystem().FileExists(m_setPath)) {
            CategorySet set;
            if (!set.load(m_setPath))
                m_host.message(m_host.text(2002), MessageButtons::Ok, MessageIcon::Information);
            else
                names = categories::mergeNames(names, set.names());
        }
        setListEntries(m_categoryList, names);

        categories::rebuildSet(*service,
                               {project.docsFolder(), m_setPath, project.tocPath(),
                                m_host.defaultCategoriesPath(), project.installType},
                               names);
        fillCategoryList(names);
    });
}

void CategoriesPanel::fillCategoryList(const QStringList& categories)
{
    trap(m_host, "lblAvaBookCateLoad", [&] { setListEntries(m_categoryList, categories); });
}

// Lists the categories of the set in document order, without "Other Category".
void CategoriesPanel::populateCategories()
{
    trap(m_host, "PopulateCategories", [&] {
        CategorySet set;
        if (!set.load(m_setPath))
            return;
        QStringList names = set.names();
        names.removeAll(CategorySet::OtherCategory);
        setListEntries(m_categoryList, names);
    });
}

void CategoriesPanel::categoryClicked()
{
    trap(m_host, "lstAvaBookCategories_Click", [&] {
        if (m_host.mode() != ModeEdit)
            return;
        m_applyButton->setEnabled(true);
        const QString name = listText(m_categoryList);
        m_nameEdit->setText(name);
        m_host.setSelectedCategory(name);
    });
}

QString CategoriesPanel::defaultCategoryMessage(const QString& name, int stringId)
{
    return name + QStringLiteral(" ") + m_host.text(stringId);
}

void CategoriesPanel::nameFocused()
{
    trap(m_host, "txtCategoryName_GotFocus", [&] {
        if (m_host.mode() != ModeEdit)
            return;
        std::unique_ptr<BookCategoryService> service = m_host.create<BookCategoryService>();
        const QString name = listText(m_categoryList);
        // A warning only: the apply refuses the rename.
        if (service->IsDefaultCategory(m_host.defaultCategoriesPath(), name,
                                       m_host.project().installType))
            m_host.message(defaultCategoryMessage(name, 9027), MessageButtons::Ok,
                           MessageIcon::None);
    });
}

bool CategoriesPanel::acceptsNameKey()
{
    bool accepted = true;
    trap(m_host, "txtCategoryName_KeyPress", [&] {
        if (m_host.mode() == ModeEdit && listIndex(m_categoryList) == -1) {
            m_host.message(m_host.text(9026), MessageButtons::Ok, MessageIcon::Information);
            accepted = false;
        }
    });
    return accepted;
}

void CategoriesPanel::applyCategory()
{
    const auto action = m_host.beginAction("cmdApplyAddEditCate_Click");
    if (!action)
        return;
    trap(m_host, "cmdApplyAddEditCate_Click", [&] {
        const QString mode = m_host.mode();
        const qint32 installType = m_host.project().installType;
        std::unique_ptr<BookCategoryService> service = m_host.create<BookCategoryService>();
        // Refusals of what was typed still tell the host, which refreshes its tree.
        const auto refuse = [&](int stringId) {
            m_host.message(m_host.text(stringId), MessageButtons::Ok, MessageIcon::Information);
            m_nameEdit->setFocus();
            m_host.categoryAdded();
        };

        if (mode == ModeEdit) {
            const QString selected = listText(m_categoryList);
            if (service->IsDefaultCategory(m_host.defaultCategoriesPath(), selected, installType)) {
                m_host.message(defaultCategoryMessage(selected, 9027), MessageButtons::Ok,
                               MessageIcon::None);
                return;
            }
        }
        const QString name = trimBlanks(m_nameEdit->text());
        if (const auto refusal =
                categories::refuseCategoryName(m_nameEdit->text(), listEntries(m_categoryList),
                                               mode == ModeAdd, toLong(m_host.text(143)))) {
            if (refusal->raisesEvent)
                return refuse(refusal->stringId);
            m_host.message(m_host.text(refusal->stringId), MessageButtons::Ok,
                           MessageIcon::Information);
            return;
        }

        if (mode == ModeAdd || mode == ModeEdit)
            categories::applyCategoryChange(
                m_host, *service, m_setPath, m_host.tocPathAtLoad(), name,
                mode == ModeEdit ? std::optional(m_host.selectedCategory()) : std::nullopt);
        m_nameEdit->clear();
        m_categoryList->clear();
        loadCategories();
        m_host.categoryAdded();
    });
}

void CategoriesPanel::cancelCategory()
{
    trap(
        m_host, "cmdCategoryCancel_Click",
        [&] {
            const QString mode = m_host.mode();
            if (mode == ModeEdit)
                m_nameEdit->setText(m_host.selectedCategory());
            else if (mode == ModeAdd)
                m_nameEdit->clear();
        },
        ErrorForm::UserControl);
}

void CategoriesPanel::deleteCategory()
{
    const auto action = m_host.beginAction("cmdCategoryDelete_Click");
    if (!action)
        return;
    trap(m_host, "cmdCategoryDelete_Click", [&] {
        const int selectedIndex = listIndex(m_categoryList);
        bool found = true;

        if (m_host.mode() == ModeEdit) {
            std::unique_ptr<BookCategoryService> service = m_host.create<BookCategoryService>();
            const QString selected = listText(m_categoryList);
            if (service->IsDefaultCategory(m_host.defaultCategoriesPath(), selected,
                                           m_host.project().installType)) {
                m_host.message(defaultCategoryMessage(selected, 9028), MessageButtons::Ok,
                               MessageIcon::None);
                return;
            }
        }
        const QString typed = m_nameEdit->text();
        if (typed.isEmpty()) {
            m_host.message(m_host.text(2006), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const QString name = trimBlanks(typed);

        if (m_host.message(m_host.text(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::Yes) {
            int match = -1;
            const QStringList listed = listEntries(m_categoryList);
            for (int i = 0; i < listed.size() && match == -1; ++i) {
                if (listed.at(i).toUpper() == typed.toUpper())
                    match = i;
            }
            if (match == -1) {
                found = false;
            } else {
                // Without a selection the list has no entry to give up: the list box refuses
                // the index, as it would for any other invalid one.
                if (selectedIndex < 0)
                    raiseError(rt::InvalidArgument,
                               QStringLiteral("Invalid procedure call or argument: select the "
                                              "category in the list before deleting it"));
                delete m_categoryList->takeItem(selectedIndex);
                // The removed entry took the selection with it.
                setListIndex(m_categoryList, -1);
                categories::removeFromSet(m_host, m_host.services().get(), m_host.project(),
                                          m_setPath, name);
                m_nameEdit->clear();
                if (match < m_categoryList->count())
                    setListIndex(m_categoryList, match - 1);
            }
        }
        categories::fileUncategorisedBooks(m_host, m_host.services().get(), m_host.project(),
                                           m_setPath);
        m_host.categoryDeleted();
        if (!found)
            m_host.message(m_host.text(2007), MessageButtons::Ok, MessageIcon::Information);
    });
}

void CategoriesPanel::moveUpPressed()
{
    const auto action = m_host.beginAction("PictureMoveUP2_MouseDown");
    if (!action)
        return;
    trap(m_host, "PictureMoveUP2_MouseDown", [&] {
        m_upPressedPicture->setVisible(true);
        m_upPicture->setVisible(false);
        moveUp();
    });
}

void CategoriesPanel::moveUpReleased()
{
    trap(m_host, "PictureMoveUP2_MouseUp", [&] {
        m_upPicture->setVisible(true);
        m_upPressedPicture->setVisible(false);
    });
}

void CategoriesPanel::moveDownPressed()
{
    const auto action = m_host.beginAction("PictureMoveDown2_MouseDown");
    if (!action)
        return;
    trap(m_host, "PictureMoveDown2_MouseDown", [&] {
        m_downPressedPicture->setVisible(true);
        m_downPicture->setVisible(false);
        moveDown();
    });
}

void CategoriesPanel::moveDownReleased()
{
    trap(m_host, "PictureMoveDown2_MouseUp", [&] {
        m_downPicture->setVisible(true);
        m_downPressedPicture->setVisible(false);
    });
}

void CategoriesPanel::moveUp()
{
    trap(m_host, "imgMoveUp_Click", [&] {
        const int index = listIndex(m_categoryList);
        categories::moveCategory(m_setPath, m_host.escape(listText(m_categoryList)), true);
        populateCategories();
        if (index > 0)
            setListIndex(m_categoryList, index - 1);
    });
}

void CategoriesPanel::moveDown()
{
    trap(m_host, "imgMoveDown_Click", [&] {
        const int index = listIndex(m_categoryList);
        categories::moveCategory(m_setPath, m_host.escape(listText(m_categoryList)), false);
        populateCategories();
        if (index + 1 < m_categoryList->count())
            setListIndex(m_categoryList, index + 1);
    });
}

bool CategoriesPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_nameEdit)
        return QGroupBox::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        // Only keys that produce a character reach the key-press handler.
        if (!static_cast<QKeyEvent*>(event)->text().isEmpty() && !acceptsNameKey())
            return true;
        break;
    case QEvent::FocusIn: {
        // Coming back from a message box is not entering the box anew; counting it would
        // show the default-category warning over and over.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            nameFocused();
        break;
    }
    default:
        break;
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace globalstab
