#include "cli/Output.h"

#include "cli/Options.h"
#include "core/Action.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace globalstab::cli {

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

// A progress line stands on the terminal until something else is told there.
bool progressShown = false;

void clearProgress()
{
    if (!progressShown)
        return;
    progressShown = false;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

QJsonValue orNull(qint64 bytes)
{
    return bytes < 0 ? QJsonValue() : QJsonValue(bytes);
}

QJsonValue orNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

QString PlannedChange::summary() const
{
    if (!details.isEmpty())
        return details.join(QStringLiteral("; "));
    if (action == QLatin1String("create"))
        return QStringLiteral("created, %1 bytes").arg(bytesAfter);
    if (action == QLatin1String("delete"))
        return bytesBefore < 0 ? QStringLiteral("deleted")
                               : QStringLiteral("deleted, %1 bytes").arg(bytesBefore);
    if (action == QLatin1String("create-folder"))
        return QStringLiteral("folder created");
    if (action == QLatin1String("delete-folder"))
        return QStringLiteral("folder deleted");
    if (action == QLatin1String("move-folder"))
        return QStringLiteral("folder moved from %1").arg(from);
    if (bytesBefore >= 0 && bytesAfter >= 0)
        return QStringLiteral("rewritten, %1 bytes before, %2 after")
            .arg(bytesBefore)
            .arg(bytesAfter);
    return QStringLiteral("rewritten");
}

QJsonObject PlannedChange::toJson() const
{
    return {{QStringLiteral("action"), action},
            {QStringLiteral("path"), path},
            {QStringLiteral("from"), orNull(from)},
            {QStringLiteral("bytes_before"), orNull(bytesBefore)},
            {QStringLiteral("bytes_after"), orNull(bytesAfter)},
            {QStringLiteral("summary"), summary()},
            {QStringLiteral("details"), QJsonArray::fromStringList(details)}};
}

void Reporter::setCommand(const QString& command, bool dryRun)
{
    m_command = command;
    m_dryRun = dryRun;
}

QString Reporter::relative(const QString& path) const
{
    if (m_root.isEmpty() || path.isEmpty())
        return path;
    const QString native = FileSystem::resolve(path);
    const QString root = QDir(m_root).absolutePath() + QLatin1Char('/');
    if (native.startsWith(root))
        return native.mid(root.size());
    return native;
}

QString Reporter::withoutRoot(const QString& text) const
{
    if (m_root.isEmpty())
        return text;
    return QString(text).replace(QDir(m_root).absolutePath() + QLatin1Char('/'), QString());
}

void Reporter::say(const QString& kind, const QString& text)
{
    const QString told = withoutRoot(text);
    if (m_json) {
        m_messages.append({{QStringLiteral("kind"), kind}, {QStringLiteral("text"), told}});
        return;
    }
    clearProgress();
    const QString prefix = kind == say::Warning ? QStringLiteral("globalstab: warning: ")
                                                : QStringLiteral("globalstab: ");
    for (const QString& line : told.split(QLatin1Char('\n')))
        err() << prefix << line << '\n';
    err().flush();
}

int Reporter::usage(const QString& problem)
{
    const QString help = m_command.isEmpty()
                             ? QStringLiteral("globalstab --help")
                             : QStringLiteral("globalstab %1 --help").arg(m_command);
    say(say::Usage, QStringLiteral("%1; see %2").arg(problem, help));
    return finish(Usage);
}

void Reporter::print(const QString& text)
{
    if (m_json || text.isEmpty())
        return;
    clearProgress();
    out() << withoutRoot(text) << '\n';
    out().flush();
}

void Reporter::setPlan(const QList<PlannedChange>& plan)
{
    m_plan = plan;
    if (!m_json && !plan.isEmpty())
        print(lines(plan).join(QLatin1Char('\n')));
}

QStringList Reporter::lines(const QList<PlannedChange>& changes, const QString& prefix)
{
    QStringList lines;
    for (const PlannedChange& change : changes)
        lines << prefix +
                     (change.action == QLatin1String("move-folder")
                          ? QStringLiteral("%1 -> %2: folder moved").arg(change.from, change.path)
                          : QStringLiteral("%1: %2").arg(change.path, change.summary()));
    return lines;
}

int Reporter::finish(int status)
{
    if (m_finished)
        return status;
    m_finished = true;
    if (!m_json)
        return status;
    QJsonArray messages;
    for (const QJsonObject& message : m_messages)
        messages.append(message);
    QJsonValue plan;
    if (m_plan) {
        QJsonArray items;
        for (const PlannedChange& change : *m_plan)
            items.append(change.toJson());
        plan = items;
    }
    const QJsonObject object{
        {QStringLiteral("format"), 1},
        {QStringLiteral("command"), orNull(m_command)},
        {QStringLiteral("dry_run"), m_dryRun},
        {QStringLiteral("exit_status"), status},
        {QStringLiteral("messages"), messages},
        {QStringLiteral("plan"), plan},
        {QStringLiteral("result"),
         m_result && status != Usage ? QJsonValue(*m_result) : QJsonValue()},
    };
    out() << QJsonDocument(object).toJson(QJsonDocument::Indented);
    out().flush();
    return status;
}

MessageAnswer Console::show(const Message& message)
{
    ++shown;
    m_reporter.say(m_reporting ? say::Error : kind,
                   QString(message.text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    return MessageAnswer::Ok;
}

void Console::reportError(const char* procedure, const RuntimeError& error, ErrorForm form)
{
    ++errors;
    if (Action* action = Action::active())
        action->errorReported();
    m_reporting = true;
    Feedback::reportError(procedure, error, form);
    m_reporting = false;
}

TerminalProgress::TerminalProgress() : m_start(std::chrono::steady_clock::now()), m_last(m_start)
{
    if (::isatty(STDERR_FILENO))
        m_observed.emplace([this](int done, int total) { return update(done, total); });
}

TerminalProgress::~TerminalProgress()
{
    clearProgress();
}

bool TerminalProgress::update(int done, int total)
{
    using namespace std::chrono_literals;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_start < 1s || (m_shown && now - m_last < 100ms))
        return false;
    m_last = now;
    m_shown = true;
    progressShown = true;
    if (total > 0)
        std::fprintf(stderr, "\rglobalstab: %d of %d files", done, total);
    else
        std::fprintf(stderr, "\rglobalstab: %d files", done);
    std::fflush(stderr);
    return false;
}

} // namespace globalstab::cli
