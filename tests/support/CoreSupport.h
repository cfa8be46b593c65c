#pragma once

#include "check/ProjectCheck.h"
#include "core/Feedback.h"
#include "platform/RuntimeError.h"
#include "services/DeveloperServices.h"

#include <QDir>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <optional>

namespace globalstab::test {

// One message box as the tab or an operation asked for it.
struct ShownMessage
{
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// Records every message and answers from a script: Yes/No questions take the next queued
// answer (Yes when none is queued).
class MessageRecorder
{
public:
    MessageAnswer record(const ShownMessage& message);
    void queueAnswer(MessageAnswer answer) { answers.push_back(answer); }
    QStringList texts() const;
    // The procedure each error report names (the text after the last " - ").
    QStringList reports() const;
    void clear() { messages.clear(); }

    QList<ShownMessage> messages;
    std::deque<MessageAnswer> answers;
};

// The feedback of operations run without the tab.
class RecordingFeedback : public Feedback, public MessageRecorder
{
public:
    MessageAnswer show(const Message& message) override
    {
        return record({message.text, message.title, message.icon, message.buttons});
    }
};

// A provider that cannot create any service; tests override what they need.
class NoServices : public ServiceProvider
{
public:
    std::unique_ptr<DeveloperSettingsService> createDeveloperSettingsService() override
    {
        return nullptr;
    }
    std::unique_ptr<ProjectRankService> createProjectRankService() override { return nullptr; }
    std::unique_ptr<GlobalBookService> createGlobalBookService() override { return nullptr; }
    std::unique_ptr<FileCopyService> createFileCopyService() override { return nullptr; }
    std::unique_ptr<BookEntryService> createBookEntryService() override { return nullptr; }
    std::unique_ptr<BookCategoryService> createBookCategoryService() override { return nullptr; }
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

// Every file and folder below folder, by its path relative to it, with a hash of its bytes
// ("<folder>" for a folder); the journal's own folder is left out. Names holding project are
// shown as "<project>", so that a tree before and after a rename compare.
QMap<QString, QByteArray> snapshot(const QString& folder, const QString& project = QString());

// The texts of the nodes an XPath expression selects in a file; empty when it does not load.
// True when a finding of that kind, text and file (by the end of its path), and of that
// element when one is given, is among the findings.
bool hasFinding(const QList<check::Finding>& findings, check::Finding::Kind kind,
                const QString& text, const QString& fileName, const QString& element = QString());

QStringList xmlTexts(const QString& file, const QString& xpath);

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
