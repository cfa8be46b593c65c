#pragma once

#include <globalstab/Dialogs.h>

#include <QStringList>

namespace globalstab::host {

// The dialogs of a run nobody watches (a screenshot, an offscreen platform): a message box
// would wait for a click that never comes. Each message goes to stderr instead and is
// answered as a cautious user would (No to every question); file dialogs are cancelled.
class UnattendedDialogs : public DialogProvider
{
public:
    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& filter) override;

    // Every message and file dialog asked for, in order, as printed.
    const QStringList& shown() const { return m_shown; }

private:
    void report(const QString& line);

    QStringList m_shown;
};

} // namespace globalstab::host
