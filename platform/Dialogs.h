#pragma once

#include <globalstab/MessageTypes.h>
#include <globalstab/globalstab_export.h>

#include <QString>

#include <memory>

class QWidget;

namespace globalstab {

// The component shows every message box and the file-open dialog through this interface.
// A host may install its own (to restyle the dialogs or to log them); tests install one
// that records what was shown and answers from a script.
class GLOBALSTAB_EXPORT DialogProvider
{
public:
    virtual ~DialogProvider() = default;
    // An empty title means the application's default title. The text may hold "\r".
    virtual MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                                     MessageIcon icon, MessageButtons buttons) = 0;
    // filter is in the "description|pattern;pattern" form. Returns the chosen path, or an
    // empty string when the user cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& title,
                                    const QString& filter) = 0;
};

// Shows real QMessageBox and QFileDialog windows.
class GLOBALSTAB_EXPORT QtDialogProvider : public DialogProvider
{
public:
    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& filter) override;

    // The folder the file-open dialog starts in; empty: the process's working folder.
    QString startFolder() const { return m_startFolder; }
    void setStartFolder(const QString& folder) { m_startFolder = folder; }

    // "All files(*.a,*.b)|*.a;*.b" becomes "All files(*.a,*.b) (*.a *.b)" for QFileDialog.
    static QString toQtFilter(const QString& filter);

private:
    QString m_startFolder;
};

} // namespace globalstab
