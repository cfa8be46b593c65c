// undo and recover: the journal of the data root, put back.
#include "cli/Changes.h"
#include "cli/Commands.h"

#include "core/Journal.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QJsonArray>
#include <QRegularExpression>

namespace globalstab::cli {

namespace {

QStringList inWords(const QStringList& actions)
{
    QStringList words;
    for (const QString& action : actions)
        words << actionInWords(action);
    return words;
}

QJsonObject outcomeJson(const journal::Outcome& outcome)
{
    return {{QStringLiteral("undone"), QJsonArray::fromStringList(inWords(outcome.actions))},
            {QStringLiteral("files"), outcome.files},
            {QStringLiteral("kept"), QJsonArray::fromStringList(outcome.kept)},
            {QStringLiteral("set_aside"), QJsonArray::fromStringList(outcome.setAside)}};
}

// A refusal of the journal's, with the action it names in words.
QString refusalOf(const RuntimeError& error, const QString& copyRoot)
{
    if (error.number() == rt::FileNotFound)
        return QStringLiteral("nothing to undo");
    QString text = error.description();
    if (!copyRoot.isEmpty())
        text.replace(copyRoot, QString());
    static const QRegularExpression named(QStringLiteral("\"([A-Za-z0-9_]+)\""));
    const QRegularExpressionMatch match = named.match(text);
    if (match.hasMatch())
        text.replace(match.captured(0), quoted(actionInWords(match.captured(1))));
    return text;
}

// An outcome in a line, and warnings for what it kept or set aside.
void tell(Run& run, const QString& verb, const journal::Outcome& outcome)
{
    const QStringList words = inWords(outcome.actions);
    if (!words.isEmpty())
        run.out.print(QStringLiteral("%1 %2: %3 file(s) and folder(s) put back.")
                          .arg(verb, words.join(QStringLiteral(", ")))
                          .arg(outcome.files));
    for (const QString& kept : outcome.kept)
        run.out.say(say::Warning,
                    QStringLiteral("%1 was kept as it is: it changed since the action").arg(kept));
    for (const QString& log : outcome.setAside)
        run.out.say(say::Warning,
                    QStringLiteral("the journal log %1 could not be read whole and was set "
                                   "aside; nothing of it was put back")
                        .arg(log));
}

} // namespace

int undoCommand(Run& run)
{
    requireArguments(run, {0}, QStringLiteral("no arguments"));
    journal::Outcome outcome;
    QString refusal;
    QList<PlannedChange> plan;
    if (run.dryRun()) {
        // The undo itself, on a copy that keeps the journal.
        plan = planOnCopy(run.root, true, [&](const QString& copy) {
            try {
                outcome = Action::undoLast(copy);
            } catch (const RuntimeError& error) {
                refusal = refusalOf(error, copy);
            }
        });
    } else if (QDir(journal::folder(run.root)).entryList({QStringLiteral("*.log")}).isEmpty()) {
        // Without a log there is nothing to undo, and no lock is taken to say so.
        refusal = QStringLiteral("nothing to undo");
    } else {
        try {
            outcome = Action::undoLast(run.root);
        } catch (const RuntimeError& error) {
            refusal = refusalOf(error, QString());
        }
    }
    if (!refusal.isEmpty()) {
        run.out.say(say::Refusal, refusal);
        return run.out.finish(Refused);
    }
    if (run.dryRun())
        run.out.setPlan(plan);
    tell(run, run.dryRun() ? QStringLiteral("would undo") : QStringLiteral("undid"), outcome);
    run.out.setResult(outcomeJson(outcome));
    return run.out.finish(Done);
}

int recoverCommand(Run& run)
{
    requireArguments(run, {0}, QStringLiteral("no arguments"));
    journal::Outcome outcome;
    if (run.dryRun())
        run.out.setPlan(planOnCopy(run.root, true,
                                   [&](const QString& copy) { outcome = Action::recover(copy); }));
    else
        outcome = Action::recover(run.root);
    if (outcome.empty())
        run.out.print(QStringLiteral("Nothing to put back."));
    tell(run, run.dryRun() ? QStringLiteral("would put back") : QStringLiteral("put back"),
         outcome);
    run.out.setResult(outcomeJson(outcome));
    return run.out.finish(Done);
}

} // namespace globalstab::cli
