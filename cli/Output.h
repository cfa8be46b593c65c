#pragma once

// What a run tells: results on stdout, everything else on stderr prefixed "globalstab: ",
// or, with --json, one object of a versioned shape on stdout (see globalstab(1)).

#include "core/Feedback.h"
#include "platform/Progress.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace globalstab::cli {

// One change of a plan, or of a run that wrote: what happens to one file or folder.
struct PlannedChange
{
    QString action;          // "replace", "create", "delete", "create-folder",
                             // "delete-folder" or "move-folder"
    QString path;            // relative to the data root; where a moved folder goes
    QString from;            // move-folder: where the folder was; empty otherwise
    qint64 bytesBefore = -1; // -1: no file, or not known without writing
    qint64 bytesAfter = -1;
    QStringList details; // what changes inside the file, in words

    // The details in one line, or what happens to the file when there are none.
    QString summary() const;
    QJsonObject toJson() const;
};

// The kinds of what a run says besides its result.
namespace say {
inline const QString Usage = QStringLiteral("usage");     // exit status 2
inline const QString Refusal = QStringLiteral("refusal"); // the command did nothing
inline const QString Error = QStringLiteral("error");     // an error report of the tab's
inline const QString Message = QStringLiteral("message"); // a message of the tab's
inline const QString Warning = QStringLiteral("warning");
inline const QString Notice = QStringLiteral("notice"); // e.g. what a recovery put back
} // namespace say

class Reporter
{
public:
    explicit Reporter(bool json) : m_json(json) {}

    bool json() const { return m_json; }
    void setCommand(const QString& command, bool dryRun);
    // Paths below root are told relative to it from then on.
    void setRoot(const QString& root) { m_root = root; }
    QString root() const { return m_root; }
    QString relative(const QString& path) const;
    // text with every mention of the data root left out.
    QString withoutRoot(const QString& text) const;

    // stderr, one line each, prefixed "globalstab: " (and "warning: " for a warning); or a
    // message object of that kind.
    void say(const QString& kind, const QString& text);
    // A usage fault and the help that tells more.
    int usage(const QString& problem);
    // stdout in text mode only.
    void print(const QString& text);
    void setResult(const QJsonObject& result) { m_result = result; }
    // Printed one line each in text mode; the "plan" of the JSON object.
    void setPlan(const QList<PlannedChange>& plan);
    // Ends the run: prints the JSON object, answers status.
    int finish(int status);

    // The lines of changes for text mode.
    static QStringList lines(const QList<PlannedChange>& changes, const QString& prefix = {});

private:
    bool m_json;
    QString m_root;
    QString m_command;
    bool m_dryRun = false;
    QList<QJsonObject> m_messages;
    std::optional<QJsonObject> m_result;
    std::optional<QList<PlannedChange>> m_plan;
    bool m_finished = false;
};

// The tab's messages and error reports, as the run tells them.
class Console : public Feedback
{
public:
    explicit Console(Reporter& reporter) : m_reporter(reporter) {}
    MessageAnswer show(const Message& message) override;
    void reportError(const char* procedure, const RuntimeError& error,
                     ErrorForm form = ErrorForm::Standard) override;

    int shown = 0;
    int errors = 0;              // a run that reported one does not exit 0
    QString kind = say::Message; // of the messages shown: a refusal while a command checks

private:
    Reporter& m_reporter;
    bool m_reporting = false;
};

// How far a long action got, on stderr, while stderr is a terminal and once the action has
// taken more than a second.
class TerminalProgress
{
public:
    TerminalProgress();
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

private:
    bool update(int done, int total);
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last;
    bool m_shown = false;
    std::optional<ObservedProgress> m_observed;
};

} // namespace globalstab::cli
