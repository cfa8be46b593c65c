#pragma once

#include <globalstab/MessageTypes.h>
#include <globalstab/globalstab_export.h>

#include <QString>

#include <memory>

class QProgressDialog;
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
    // How far an action that touches many files got: done of total files. Answers true when
    // the user asked to stop it; the tab then puts the action back. Called once a file, from
    // the action itself, so it must return quickly. None is shown unless overridden.
    virtual bool progress(QWidget* parent, int done, int total);
    // The action that showed progress ended.
    virtual void progressEnded(QWidget* parent);
};

// Shows real QMessageBox and QFileDialog windows.
class GLOBALSTAB_EXPORT QtDialogProvider : public DialogProvider
{
public:
    QtDialogProvider();
    ~QtDialogProvider() override;

    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& filter) override;

    // The folder the file-open dialog starts in; empty: the process's working folder.
    QString startFolder() const { return m_startFolder; }
    void setStartFolder(const QString& folder) { m_startFolder = folder; }

    // A QProgressDialog, shown once the action looks to last over half a second, with the
    // count of files and a Cancel button; the window keeps painting while the action runs.
    bool progress(QWidget* parent, int done, int total) override;
    void progressEnded(QWidget* parent) override;

    // "All files(*.a,*.b)|*.a;*.b" becomes "All files(*.a,*.b) (*.a *.b)" for QFileDialog.
    static QString toQtFilter(const QString& filter);

private:
    QString m_startFolder;
    std::unique_ptr<QProgressDialog> m_progress;
    qint64 m_progressShownAt = 0; // ms since the epoch, of the last update drawn
};

} // namespace globalstab
