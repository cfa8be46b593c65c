#include "control/ctlGlobalsTab.h"

namespace globalstab {

void ctlGlobalsTab::ReportError(const char* procedure, const RuntimeError& error, ErrorForm form)
{
    const QString name = QString::fromLatin1(procedure);
    const QString number = QString::number(error.number());
    switch (form) {
    case ErrorForm::Standard:
        MsgBox(QStringLiteral("Error (") + number + QStringLiteral(" ):") + error.description() +
                   QChar(13) + QStringLiteral("Tovanel") + QStringLiteral("::") +
                   QStringLiteral("ctlGlobalsTab") + QStringLiteral(" - ") + name,
               MessageButtons::Ok, MessageIcon::None);
        break;
    case ErrorForm::UserControl:
        MsgBox(QStringLiteral("Error ") + number + QStringLiteral(" (") + error.description() +
                   QStringLiteral(") in procedure ") + name +
                   QStringLiteral(" of User Control ctlGlobalsTab"),
               MessageButtons::Ok, MessageIcon::None);
        break;
    case ErrorForm::BookTab:
        MsgBox(number + QStringLiteral(": ") + error.description(), MessageButtons::Ok,
               MessageIcon::Information, QStringLiteral("Sendrel::ctlBookTab-") + name);
        break;
    }
}

MessageAnswer ctlGlobalsTab::MsgBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                                    const QString& title)
{
    const std::shared_ptr<DialogProvider> dialogs = dialogProvider();
    return dialogs->messageBox(this, text, title, icon, buttons);
}

void ctlGlobalsTab::ShowOpen(FileOpenDialog& dialog)
{
    dialog.FileName = dialogProvider()->getOpenFileName(this, dialog.DialogTitle, dialog.Filter);
}

} // namespace globalstab
