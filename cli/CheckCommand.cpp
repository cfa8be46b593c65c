// check: the project's documents against each other, read like a linter reads sources.
#include "cli/Changes.h"
#include "cli/Commands.h"

#include "check/ProjectCheck.h"
#include "platform/FileChangeObserver.h"

#include <QDir>
#include <QJsonArray>

#include <algorithm>

namespace globalstab::cli {

namespace {

QJsonValue orNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// Findings with their files relative to the root they were found below (the data root, or
// the copy a dry run works on).
struct Report
{
    QList<check::Finding> findings;
    QString base;

    QStringList lines() const
    {
        QStringList lines;
        for (const check::Finding& finding : findings)
            lines << check::describe(finding, base);
        return lines;
    }
    QJsonArray json() const
    {
        QJsonArray list;
        for (const check::Finding& finding : findings)
            list.append(
                QJsonObject{{QStringLiteral("kind"), check::kindName(finding.kind)},
                            {QStringLiteral("file"), QDir(base).relativeFilePath(finding.file)},
                            {QStringLiteral("element"), orNull(finding.element)},
                            {QStringLiteral("text"), finding.text},
                            {QStringLiteral("line"),
                             finding.line > 0 ? QJsonValue(finding.line) : QJsonValue()},
                            {QStringLiteral("problem"), orNull(finding.problem)},
                            {QStringLiteral("description"), check::describe(finding, base)}});
        return list;
    }
    bool unreadable() const
    {
        return std::any_of(findings.begin(), findings.end(), [](const check::Finding& finding) {
            return finding.kind == check::Finding::Kind::DocumentUnreadable;
        });
    }
};

QJsonArray changesJson(const QList<PlannedChange>& changes)
{
    QJsonArray list;
    for (const PlannedChange& change : changes)
        list.append(change.toJson());
    return list;
}

} // namespace

int checkCommand(Run& run)
{
    requireArguments(run, {1}, QStringLiteral("one PROJECT"));
    const QString name = run.arguments().first();
    requireProject(run, name, true);
    const bool repair = run.invocation.has(QStringLiteral("--repair"));
    const ProjectContext project{run.root, name, 0};
    Console console(run.out);

    Report report{check::run(project), run.root};
    // A check that only reads has a plan all the same: nothing.
    if (run.dryRun() && !repair)
        run.out.setPlan({});
    QJsonValue changes;
    QString verdict = QStringLiteral("%1 is consistent.").arg(quoted(name));
    if (repair && report.unreadable()) {
        run.out.print(report.lines().join(QLatin1Char('\n')));
        run.out.say(say::Refusal, QStringLiteral("the repair changes nothing while a document of "
                                                 "the project cannot be read"));
        if (!run.dryRun())
            changes = QJsonArray();
        run.out.setResult({{QStringLiteral("project"), name},
                           {QStringLiteral("consistent"), false},
                           {QStringLiteral("findings"), report.json()},
                           {QStringLiteral("changes"), changes}});
        return run.out.finish(Refused);
    }
    if (repair && run.dryRun()) {
        // The copy goes with the plan: what the repair would leave is read there first.
        Report left;
        const QList<PlannedChange> plan = planOnCopy(run.root, false, [&](const QString& copy) {
            {
                Action action(copy, QStringLiteral("dry run"),
                              {.journaled = false, .batched = true, .locked = false});
                trap(console, "repair", [&] { check::repair(console, {copy, name, 0}); });
                trap(console, "repair", [&] { action.end(); });
            }
            left = {check::run({copy, name, 0}), copy};
        });
        run.out.setPlan(plan);
        report = left;
        if (!report.findings.isEmpty())
            run.out.print(QStringLiteral("The repair would leave:"));
        verdict = QStringLiteral("%1 would be consistent.").arg(quoted(name));
    } else if (repair) {
        ChangeRecorder recorder(run.root);
        {
            CommandAction action(run, console, "repair",
                                 QStringLiteral("the repair of %1").arg(quoted(name)));
            if (!action.admitted())
                return run.out.finish(Refused);
            const ObservedFileChanges watching(recorder);
            const TerminalProgress progress;
            report.findings = check::repair(console, project);
            action.commit();
        }
        const QList<PlannedChange> made = recorder.changes();
        changes = changesJson(made);
        run.out.print(Reporter::lines(made, QStringLiteral("repaired ")).join(QLatin1Char('\n')));
    }
    run.out.print(report.findings.isEmpty() ? verdict : report.lines().join(QLatin1Char('\n')));
    run.out.setResult({{QStringLiteral("project"), name},
                       {QStringLiteral("consistent"), report.findings.isEmpty()},
                       {QStringLiteral("findings"), report.json()},
                       {QStringLiteral("changes"), changes}});
    return run.out.finish(report.findings.isEmpty() && console.errors == 0 ? Done : Refused);
}

} // namespace globalstab::cli
