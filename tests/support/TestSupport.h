#pragma once

#include "tests/support/CoreSupport.h"

#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/GlobalVariables.h>
#include <globalstab/ctlGlobalsTab.h>

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <optional>

class QListWidget;
class QPoint;
class QWidget;

namespace globalstab::test {

// Records every dialog and answers from a script: Yes/No questions take the next queued
// answer (Yes when none is queued), the file-open dialog the next queued path ("" when none).
class RecordingDialogs : public DialogProvider, public MessageRecorder
{
public:
    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& filter) override;
    // Records each update; answers stop at update number cancelAtProgress (1 = the first).
    bool progress(QWidget* parent, int done, int total) override;
    void progressEnded(QWidget*) override { ++progressEnds; }

    void queueFileName(const QString& path) { fileNames.push_back(path); }

    QList<std::pair<int, int>> progressUpdates; // done, total
    int cancelAtProgress = 0;                   // 0: never
    int progressEnds = 0;

    std::deque<QString> fileNames;
    QString lastOpenTitle;
    QString lastOpenFilter;
    int openDialogCount = 0;
};

// A list's entries as "a|[b]|c", the selected one in brackets.
std::string listState(const QListWidget* list);

// A tab on a fresh copy of the sample data, with recorded dialogs and the file-system
// services, shown offscreen so that clicks and focus behave as for a user.
class TabHarness
{
public:
    explicit TabHarness(qint32 installType = 0, bool openSampleProject = true);
    ~TabHarness();

    template <typename Widget> Widget* widget(const char* name) const
    {
        return tab->findChild<Widget*>(QString::fromLatin1(name));
    }
    // Clicks a push button by object name.
    void click(const char* button);
    // A left click at a position of a widget, sent to the tab's window.
    void clickAt(QWidget* target, const QPoint& position);
    // Clicks the entry of a list by its text; false when no such entry.
    bool clickItem(const char* list, const QString& text);
    // Opens "Add" or "Edit" and picks an entry, as a user does.
    bool pick(const QString& function, const QString& entry);
    // Replaces the text of a line edit by typing (key presses reach the handlers).
    void type(const char* edit, const QString& text);
    // Sets the text of a line edit without key presses.
    void setText(const char* edit, const QString& text);
    QStringList items(const char* list) const;

    SampleDataRoot data;
    std::shared_ptr<RecordingDialogs> dialogs;
    std::shared_ptr<DefaultServiceProvider> services;
    std::unique_ptr<ctlGlobalsTab> tab;
};

} // namespace globalstab::test
