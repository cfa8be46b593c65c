#include "categories/CategoriesPanel.h"

#include "documents/CategorySet.h"
#include "operations/CategoryChanges.h"
#include "platform/FileSystem.h"
#include "platform/Numbers.h"
#include "text/TextChecks.h"
#include "view/PanelHost.h"
#include "view/ViewStyle.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
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
    PictureMoveDown2 = builder.picture("PictureMoveDown2", this, twips(3360, 4680, 270, 270), 37,
                                       false, false, this);
    PictureMoveDown1 = builder.picture("PictureMoveDown1", this, twips(3360, 4680, 270, 270), 36,
                                       false, true, this);
    PictureMoveUP2 =
        builder.picture("PictureMoveUP2", this, twips(3360, 4320, 270, 270), 35, true, false, this);
    PictureMoveUP1 =
        builder.picture("PictureMoveUP1", this, twips(3360, 4320, 270, 270), 34, true, true, this);
    cmdApplyAddEditCate =
        builder.button("cmdApplyAddEditCate", this, twips(5040, 1080, 975, 375), 32);
    cmdCategoryCancel = builder.button("cmdCategoryCancel", this, twips(6120, 1080, 975, 375), 31);
    cmdCategoryDelete = builder.button("cmdCategoryDelete", this, twips(2160, 5235, 975, 375), 26);
    txtCategoryName = builder.edit("txtCategoryName", this, twips(3480, 600, 3615, 315), 29);
    lstAvaBookCategories =
        builder.list("lstAvaBookCategories", this, twips(120, 600, 3015, 4515), 27);
    lblNote = builder.label("lblNote", this, twipsAt(240, 5760), 33);
    lblCategoryName = builder.label("lblCategoryName", this, twipsAt(3480, 360), 30);
    lblAvailCatName = builder.label("lblAvailCatName", this, twips(120, 360, 2535, 255), 28);

    cmdApplyAddEditCate->setText(QStringLiteral("108"));
    cmdCategoryCancel->setText(QStringLiteral("109"));
    cmdCategoryDelete->setText(QStringLiteral("136"));
    lblNote->setText(QStringLiteral("5555"));
    lblCategoryName->setText(QStringLiteral("5553"));
    lblAvailCatName->setText(QStringLiteral("5552"));
    view::setCaption(this, QStringLiteral("5550"));
    for (QWidget* hidden : std::initializer_list<QWidget*>{this, PictureMoveDown1, PictureMoveUP1})
        hidden->setVisible(false);

    lblCategoryName->setBuddy(txtCategoryName);
    lblAvailCatName->setBuddy(lstAvaBookCategories);
    // The arrows take the keyboard focus by Tab only; a click must not move the focus.
    for (QLabel* arrow : {PictureMoveUP2, PictureMoveDown2})
        arrow->setFocusPolicy(Qt::TabFocus);
    txtCategoryName->installEventFilter(this);
    connect(lstAvaBookCategories, &QListWidget::itemClicked, this,
            &CategoriesPanel::categoryClicked);
    activateByKeyboard(lstAvaBookCategories, [this] { categoryClicked(); });
    connect(cmdApplyAddEditCate, &QPushButton::clicked, this, &CategoriesPanel::applyCategory);
    connect(cmdCategoryCancel, &QPushButton::clicked, this, &CategoriesPanel::cancelCategory);
    connect(cmdCategoryDelete, &QPushButton::clicked, this, &CategoriesPanel::deleteCategory);
}

void CategoriesPanel::applyTexts()
{
    cmdApplyAddEditCate->setText(m_host.text(108));
    cmdCategoryCancel->setText(m_host.text(109));
    cmdCategoryDelete->setText(m_host.text(136));
    lblNote->setText(m_host.text(5555));
    lblCategoryName->setText(m_host.text(5553));
    lblAvailCatName->setText(m_host.text(5552));
    view::setCaption(this, m_host.text(5550));
    for (QLabel* autoSized : {lblNote, lblCategoryName})
        autoSized->adjustSize();

    txtCategoryName->setToolTip(m_host.text(9013));
    lstAvaBookCategories->setToolTip(m_host.text(9014));
    cmdApplyAddEditCate->setToolTip(m_host.text(9015));
    cmdCategoryCancel->setToolTip(m_host.text(9016));
    cmdCategoryDelete->setToolTip(m_host.text(9017));

    PictureMoveUP1->setVisible(false);
    PictureMoveUP2->setVisible(true);
    PictureMoveDown1->setVisible(false);
    PictureMoveDown2->setVisible(true);
}

void CategoriesPanel::prepareForAdd(const QString& title)
{
    cmdApplyAddEditCate->setEnabled(true);
    view::setCaption(this, title);
    cmdCategoryDelete->setVisible(false);
    if (lstAvaBookCategories->currentRow() != -1)
        setListIndex(lstAvaBookCategories, -1);
}

void CategoriesPanel::prepareForEdit(const QString& title)
{
    view::setCaption(this, title);
    cmdCategoryDelete->setVisible(true);
    if (lstAvaBookCategories->currentRow() != -1)
        setListIndex(lstAvaBookCategories, -1);
}

void CategoriesPanel::enter()
{
    txtCategoryName->clear();
    setVisible(true);
}

void CategoriesPanel::GetCategories()
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
        QStringList names = listEntries(lstAvaBookCategories);
        if (FileSystem().FileExists(m_setPath)) {
            CategorySet set;
            if (!set.load(m_setPath))
                m_host.message(m_host.text(2002), MessageButtons::Ok, MessageIcon::Information);
            else
                names = categories::mergeNames(names, set.names());
        }
        setListEntries(lstAvaBookCategories, names);

        categories::rebuildSet(*service,
                               {project.docsFolder(), m_setPath, project.tocPath(),
                                m_host.defaultCategoriesPath(), project.installType},
                               names);
        lblAvaBookCateLoad(names);
    });
}

void CategoriesPanel::lblAvaBookCateLoad(const QStringList& categories)
{
    trap(m_host, "lblAvaBookCateLoad", [&] { setListEntries(lstAvaBookCategories, categories); });
}

// Lists the categories of the set in document order, without "Other Category".
void CategoriesPanel::PopulateCategories()
{
    trap(m_host, "PopulateCategories", [&] {
        CategorySet set;
        if (!set.load(m_setPath))
            return;
        QStringList names = set.names();
        names.removeAll(CategorySet::OtherCategory);
        setListEntries(lstAvaBookCategories, names);
    });
}

void CategoriesPanel::categoryClicked()
{
    trap(m_host, "lstAvaBookCategories_Click", [&] {
        if (m_host.mode() != ModeEdit)
            return;
        cmdApplyAddEditCate->setEnabled(true);
        const QString name = listText(lstAvaBookCategories);
        txtCategoryName->setText(name);
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
        const QString name = listText(lstAvaBookCategories);
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
        if (m_host.mode() == ModeEdit && listIndex(lstAvaBookCategories) == -1) {
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
            txtCategoryName->setFocus();
            m_host.categoryAdded();
        };

        if (mode == ModeEdit) {
            const QString selected = listText(lstAvaBookCategories);
            if (service->IsDefaultCategory(m_host.defaultCategoriesPath(), selected, installType)) {
                m_host.message(defaultCategoryMessage(selected, 9027), MessageButtons::Ok,
                               MessageIcon::None);
                return;
            }
        }
        const QString name = trimBlanks(txtCategoryName->text());
        if (const auto refusal = categories::refuseCategoryName(
                txtCategoryName->text(), listEntries(lstAvaBookCategories), mode == ModeAdd,
                toLong(m_host.text(143)))) {
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
        txtCategoryName->clear();
        lstAvaBookCategories->clear();
        GetCategories();
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
                txtCategoryName->setText(m_host.selectedCategory());
            else if (mode == ModeAdd)
                txtCategoryName->clear();
        },
        ErrorForm::UserControl);
}

void CategoriesPanel::deleteCategory()
{
    const auto action = m_host.beginAction("cmdCategoryDelete_Click");
    if (!action)
        return;
    trap(m_host, "cmdCategoryDelete_Click", [&] {
        const int selectedIndex = listIndex(lstAvaBookCategories);
        bool found = true;

        if (m_host.mode() == ModeEdit) {
            std::unique_ptr<BookCategoryService> service = m_host.create<BookCategoryService>();
            const QString selected = listText(lstAvaBookCategories);
            if (service->IsDefaultCategory(m_host.defaultCategoriesPath(), selected,
                                           m_host.project().installType)) {
                m_host.message(defaultCategoryMessage(selected, 9028), MessageButtons::Ok,
                               MessageIcon::None);
                return;
            }
        }
        const QString typed = txtCategoryName->text();
        if (typed.isEmpty()) {
            m_host.message(m_host.text(2006), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        const QString name = trimBlanks(typed);

        if (m_host.message(m_host.text(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::Yes) {
            int match = -1;
            const QStringList listed = listEntries(lstAvaBookCategories);
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
                delete lstAvaBookCategories->takeItem(selectedIndex);
                // The removed entry took the selection with it.
                setListIndex(lstAvaBookCategories, -1);
                categories::removeFromSet(m_host, m_host.services().get(), m_host.project(),
                                          m_setPath, name);
                txtCategoryName->clear();
                if (match < lstAvaBookCategories->count())
                    setListIndex(lstAvaBookCategories, match - 1);
            }
        }
        categories::fileUncategorisedBooks(m_host, m_host.services().get(), m_host.project(),
                                           m_setPath);
        m_host.categoryDeleted();
        if (!found)
            m_host.message(m_host.text(2007), MessageButtons::Ok, MessageIcon::Information);
    });
}

// The move happens on the press, so holding the button moves once.
void CategoriesPanel::moveUpPressed()
{
    const auto action = m_host.beginAction("PictureMoveUP2_MouseDown");
    if (!action)
        return;
    trap(m_host, "PictureMoveUP2_MouseDown", [&] {
        PictureMoveUP1->setVisible(true);
        PictureMoveUP2->setVisible(false);
        moveUp();
    });
}

void CategoriesPanel::moveUpReleased()
{
    trap(m_host, "PictureMoveUP2_MouseUp", [&] {
        PictureMoveUP2->setVisible(true);
        PictureMoveUP1->setVisible(false);
    });
}

void CategoriesPanel::moveDownPressed()
{
    const auto action = m_host.beginAction("PictureMoveDown2_MouseDown");
    if (!action)
        return;
    trap(m_host, "PictureMoveDown2_MouseDown", [&] {
        PictureMoveDown1->setVisible(true);
        PictureMoveDown2->setVisible(false);
        moveDown();
    });
}

void CategoriesPanel::moveDownReleased()
{
    trap(m_host, "PictureMoveDown2_MouseUp", [&] {
        PictureMoveDown2->setVisible(true);
        PictureMoveDown1->setVisible(false);
    });
}

void CategoriesPanel::moveUp()
{
    trap(m_host, "imgMoveUp_Click", [&] {
        const int index = listIndex(lstAvaBookCategories);
        categories::moveCategory(m_setPath, m_host.escape(listText(lstAvaBookCategories)), true);
        PopulateCategories();
        if (index > 0)
            setListIndex(lstAvaBookCategories, index - 1);
    });
}

void CategoriesPanel::moveDown()
{
    trap(m_host, "imgMoveDown_Click", [&] {
        const int index = listIndex(lstAvaBookCategories);
        categories::moveCategory(m_setPath, m_host.escape(listText(lstAvaBookCategories)), false);
        PopulateCategories();
        if (index + 1 < lstAvaBookCategories->count())
            setListIndex(lstAvaBookCategories, index + 1);
    });
}

bool CategoriesPanel::eventFilter(QObject* watched, QEvent* event)
{
    const bool upArrow = watched == PictureMoveUP2 || watched == PictureMoveUP1;
    const bool downArrow = watched == PictureMoveDown2 || watched == PictureMoveDown1;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton || !(upArrow || downArrow))
            break;
        // A second press soon after the first also arrives as a double click: only the press
        // moves, so each press moves one place whatever the pace.
        if (event->type() == QEvent::MouseButtonPress &&
            (watched == PictureMoveUP2 || watched == PictureMoveDown2)) {
            if (upArrow)
                moveUpPressed();
            else
                moveDownPressed();
            // The picture at rest is hidden while the button is held; the pressed one takes
            // the pointer, so that the release reaches it wherever the window sends it.
            QLabel* pressed = upArrow ? PictureMoveUP1 : PictureMoveDown1;
            if (pressed->isVisible())
                pressed->grabMouse();
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton || !(upArrow || downArrow))
            break;
        static_cast<QWidget*>(watched)->releaseMouse();
        if (upArrow)
            moveUpReleased();
        else
            moveDownReleased();
        return true;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((watched == PictureMoveUP2 || watched == PictureMoveDown2) && !key->isAutoRepeat() &&
            (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
             key->key() == Qt::Key_Enter)) {
            // The keyboard presses and releases the arrow as the pointer does.
            auto* arrow = static_cast<QLabel*>(watched);
            if (arrow == PictureMoveUP2) {
                moveUpPressed();
                moveUpReleased();
            } else {
                moveDownPressed();
                moveDownReleased();
            }
            // Hiding the arrow while pressed moved the focus away; it stays on the arrow.
            arrow->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (watched != txtCategoryName)
            break;
        // Only keys that produce a character reach the key-press handler.
        if (static_cast<QKeyEvent*>(event)->text().isEmpty())
            break;
        if (!acceptsNameKey())
            return true;
        break;
    }
    case QEvent::FocusOut:
        if (watched == PictureMoveUP2 || watched == PictureMoveDown2)
            static_cast<QLabel*>(watched)->setFrameShape(QFrame::NoFrame);
        break;
    case QEvent::FocusIn: {
        // The arrows show that they hold the focus: a picture has no focus frame of its own.
        if (watched == PictureMoveUP2 || watched == PictureMoveDown2)
            static_cast<QLabel*>(watched)->setFrameShape(QFrame::Box);
        // Coming back from a message box is not entering the box anew; counting it would
        // show the default-category warning over and over.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (watched == txtCategoryName && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            nameFocused();
        break;
    }
    default:
        break;
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace globalstab
