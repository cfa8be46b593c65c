#include "control/ctlGlobalsTab.h"

#include "services/DefaultServices.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

namespace globalstab {

namespace {
thread_local std::shared_ptr<ServiceProvider> tlsServices;
thread_local std::shared_ptr<DialogProvider> tlsDialogs;
} // namespace

void installServiceProvider(std::shared_ptr<ServiceProvider> provider)
{
    tlsServices = std::move(provider);
}

void installDialogProvider(std::shared_ptr<DialogProvider> provider)
{
    tlsDialogs = std::move(provider);
}

std::shared_ptr<ServiceProvider> installedServiceProvider()
{
    if (!tlsServices) {
        bool ok = false;
        const qint32 installType = qEnvironmentVariableIntValue("GLOBALSTAB_INSTALL_TYPE", &ok);
        tlsServices = std::make_shared<DefaultServiceProvider>(QString(), ok ? installType : 0);
    }
    return tlsServices;
}

std::shared_ptr<DialogProvider> installedDialogProvider()
{
    if (!tlsDialogs)
        tlsDialogs = std::make_shared<QtDialogProvider>();
    return tlsDialogs;
}

ctlGlobalsTab::ctlGlobalsTab(QWidget* parent) : ctlGlobalsTab(nullptr, nullptr, parent) {}

ctlGlobalsTab::ctlGlobalsTab(std::shared_ptr<ServiceProvider> services,
                             std::shared_ptr<DialogProvider> dialogs, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)), m_dialogs(std::move(dialogs))
{
    CreateView();
    UserControl_Initialize();
    SetAccessibleTexts();
}

// Nothing is held open, so nothing is written when the tab goes away.
ctlGlobalsTab::~ctlGlobalsTab() = default;

std::shared_ptr<ServiceProvider> ctlGlobalsTab::serviceProvider() const
{
    return m_services ? m_services : installedServiceProvider();
}

std::shared_ptr<DialogProvider> ctlGlobalsTab::dialogProvider() const
{
    return m_dialogs ? m_dialogs : installedDialogProvider();
}

void ctlGlobalsTab::RaiseEvent(EventNumber number, const QVariantList& arguments)
{
    switch (number) {
    case OnprojectNameChangeEvent:
        Q_EMIT OnprojectNameChange();
        break;
    case OnCategoryAdditionEvent:
        Q_EMIT OnCategoryAddition();
        break;
    case OnAddGlobalPageEvent:
        Q_EMIT OnAddGlobalPage(arguments.value(0).toString(), arguments.value(1).toString(),
                               arguments.value(2).toBool());
        break;
    case evtOnDeletionofGlobalPageEvent:
        Q_EMIT evtOnDeletionofGlobalPage(arguments.value(0).toBool());
        break;
    case OnRefreshTreeEvent:
        Q_EMIT OnRefreshTree();
        break;
    case OnCategoryDeletionEvent:
        Q_EMIT OnCategoryDeletion();
        break;
    }
    Q_EMIT eventRaised(number, arguments);
}

void ctlGlobalsTab::SetBusyPointer(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void ctlGlobalsTab::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        UserControl_Click();
    QWidget::mousePressEvent(event);
}

bool ctlGlobalsTab::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        if (watched == PictureMoveUP2) {
            PictureMoveUP2_MouseDown();
            return true;
        }
        if (watched == PictureMoveDown2) {
            PictureMoveDown2_MouseDown();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        // The pressed picture stands in for the one at rest while the button is held, and
        // the mouse stays grabbed by the widget that took the press.
        if (watched == PictureMoveUP2 || watched == PictureMoveUP1) {
            PictureMoveUP2_MouseUp();
            return true;
        }
        if (watched == PictureMoveDown2 || watched == PictureMoveDown1) {
            PictureMoveDown2_MouseUp();
            return true;
        }
        if (watched == fraAddEditGblPage) {
            fraAddEditGblPage_Click();
            return true;
        }
        if (watched == fraEditPrjNameID) {
            fraEditPrjNameID_Click();
            return true;
        }
        if (watched == FraHC) {
            FraHC_Click();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const QString typed = keyEvent->text();
        // Only keys that produce a character reach the key-press handlers.
        if (typed.isEmpty() || (watched != txtPageName && watched != txtCategoryName))
            break;
        int KeyAscii = typed.at(0).unicode();
        if (watched == txtPageName)
            txtPageName_KeyPress(KeyAscii);
        else
            txtCategoryName_KeyPress(KeyAscii);
        if (KeyAscii == 0)
            return true;
        break;
    }
    case QEvent::FocusIn:
        // Coming back from a message box is not entering the box anew; counting it would
        // show the default-category warning over and over.
        if (watched == txtCategoryName &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            txtCategoryName_GotFocus();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace globalstab
