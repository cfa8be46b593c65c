#include "core/Feedback.h"

namespace globalstab {

Message errorMessage(const char* procedure, const RuntimeError& error, ErrorForm form)
{
    const QString name = QString::fromLatin1(procedure);
    const QString number = QString::number(error.number());
    switch (form) {
    case ErrorForm::UserControl:
        return {QStringLiteral("Error ") + number + QStringLiteral(" (") + error.description() +
                    QStringLiteral(") in procedure ") + name +
                    QStringLiteral(" of User Control ctlGlobalsTab"),
                QString(), MessageIcon::None, MessageButtons::Ok};
    case ErrorForm::BookTab:
        return {number + QStringLiteral(": ") + error.description(),
                QStringLiteral("Sendrel::ctlBookTab-") + name, MessageIcon::Information,
                MessageButtons::Ok};
    case ErrorForm::Standard:
        break;
    }
    return {QStringLiteral("Error (") + number + QStringLiteral(" ):") + error.description() +
                QChar(13) + QStringLiteral("Tovanel") + QStringLiteral("::") +
                QStringLiteral("ctlGlobalsTab") + QStringLiteral(" - ") + name,
            QString(), MessageIcon::None, MessageButtons::Ok};
}

} // namespace globalstab
