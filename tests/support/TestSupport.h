#pragma once

#include "control/ctlGlobalsTab.h"
#include "platform/Dialogs.h"
#include "services/DefaultServices.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <optional>

class QWidget;

namespace globalstab::test {

// One message box as the component asked for it.
struct ShownMessage
{
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// Records every dialog and answers from a script: Yes/No questions take the next queued
// answer (Yes when none is queued), the file-open dialog the next queued path ("" when none).
class RecordingDialogs : public DialogProvider
{
public:
    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override;
    QString getOpenFileName(QWidget* parent, const QString& title, const QString& filter) override;

    void queueAnswer(MessageAnswer answer) { answers.push_back(answer); }
    void queueFileName(const QString& path) { fileNames.push_back(path); }
    QStringList texts() const;
    void clear() { messages.clear(); }

    QList<ShownMessage> messages;
    std::deque<MessageAnswer> answers;
    std::deque<QString> fileNames;
    QString lastOpenTitle;
    QString lastOpenFilter;
    int openDialogCount = 0;
};

// A copy of the bundled sample data root in a temporary folder.
class SampleDataRoot
{
public:
    SampleDataRoot();
    bool isValid() const { return m_dir.isValid(); }
    // Native path with a trailing "/", as GetPXServer answers it.
    QString root() const { return m_dir.path() + QLatin1Char('/'); }
    QString docs() const { return root() + QStringLiteral("Docs/"); }
    // Native path of a file below the root, resolved without regard to letter case.
    QString path(const QString& relative) const;
    QByteArray read(const QString& relative) const;
    void write(const QString& relative, const QByteArray& data) const;

private:
    QTemporaryDir m_dir;
};

// The run-time error that body raised, if any.
template <typename Body> std::optional<RuntimeError> caught(Body&& body)
{
    try {
        body();
    } catch (const RuntimeError& error) {
        return error;
    }
    return std::nullopt;
}

// The bundled samples folder of the source tree.
QString samplesDir();
// Copies a folder tree.
bool copyTree(const QString& from, const QString& to);

// The name of the sample project with the full set of documents.
inline QString sampleProject()
{
    return QStringLiteral("Orion Suite 2024");
}

} // namespace globalstab::test

namespace globalstab::test {

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
