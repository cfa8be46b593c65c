#pragma once

#include "platform/MessageTypes.h"
#include "platform/RuntimeError.h"

#include <QString>

#include <utility>

namespace globalstab {

// The three shapes an error report takes; which one a procedure uses is fixed by its name.
enum class ErrorForm
{
    Standard,    // "Error (n ):description\rTovanel::ctlGlobalsTab - procedure"
    UserControl, // "Error n (description) in procedure p of User Control ctlGlobalsTab"
    BookTab      // "n: description", information icon, title "Sendrel::ctlBookTab-p"
};

// A message box as the user sees it.
struct Message
{
    QString text;
    QString title; // empty: the application's default title
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// The report of a run-time error that a procedure trapped.
Message errorMessage(const char* procedure, const RuntimeError& error, ErrorForm form);

// How an operation talks to the user: message boxes and error reports. The tab shows them
// as dialogs; a command-line front end or a test may print or record them instead.
class Feedback
{
public:
    virtual ~Feedback() = default;
    virtual MessageAnswer show(const Message& message) = 0;

    MessageAnswer message(const QString& text, MessageButtons buttons = MessageButtons::Ok,
                          MessageIcon icon = MessageIcon::None, const QString& title = QString())
    {
        return show(Message{text, title, icon, buttons});
    }
    virtual void reportError(const char* procedure, const RuntimeError& error,
                             ErrorForm form = ErrorForm::Standard)
    {
        show(errorMessage(procedure, error, form));
    }
};

// Runs body as the named procedure: a run-time error abandons the rest of the body, is
// reported once and goes no further, so the caller carries on after the call.
template <typename Body>
void trap(Feedback& feedback, const char* procedure, Body&& body,
          ErrorForm form = ErrorForm::Standard)
{
    try {
        std::forward<Body>(body)();
    } catch (const RuntimeError& error) {
        feedback.reportError(procedure, error, form);
    } catch (const std::exception& error) {
        feedback.reportError(
            procedure, RuntimeError(rt::InternalError, QString::fromUtf8(error.what())), form);
    }
}

} // namespace globalstab
