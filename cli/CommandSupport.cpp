#include "cli/Changes.h"
#include "cli/Commands.h"

#include "check/ProjectCheck.h"
#include "documents/ProjectContext.h"
#include "documents/SelectionList.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QHash>

namespace globalstab::cli {

namespace {

// The names a lookup missed only by the letter case of.
QString spelledOtherwise(const QString& name, const QStringList& names)
{
    for (const QString& candidate : names)
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    return QString();
}

QString noSuch(const QString& what, const QString& name, const QStringList& names)
{
    const QString meant = spelledOtherwise(name, names);
    QString problem = QStringLiteral("no such %1 %2").arg(what, quoted(name));
    if (!meant.isEmpty())
        problem += QStringLiteral(" (names are matched exactly, letter case included: %1?)")
                       .arg(quoted(meant));
    return problem;
}

// The journal's records are lines: a name holding a line break or a tab would cut one.
QString journalName(QString words)
{
    for (QChar& c : words)
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    return words;
}

} // namespace

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

void requireProject(const Run& run, const QString& name, bool listedWithoutFolder)
{
    QStringList folders = QDir(FileSystem::resolve(run.root + QStringLiteral("Docs")))
                              .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folders.removeAll(QStringLiteral(".globalstab"));
    if (!name.isEmpty() && folders.contains(name))
        return;
    if (listedWithoutFolder && !name.isEmpty()) {
        SelectionList selection;
        if (selection.load(ProjectContext{run.root, name, 0}.selectionListPath()) &&
            selection.projectNames().contains(name))
            return;
    }
    throw UsageError(noSuch(QStringLiteral("project"), name, folders));
}

void requireListed(const QString& what, const QString& name, const QStringList& listed,
                   const QString& project)
{
    if (!listed.contains(name))
        throw UsageError(noSuch(what, name, listed) + QStringLiteral(" in ") + quoted(project));
}

void requireArguments(const Run& run, std::initializer_list<int> counts, const QString& forms)
{
    for (const int count : counts)
        if (run.arguments().size() == count)
            return;
    throw UsageError(QStringLiteral("%1 takes %2").arg(run.invocation.command, forms));
}

bool refuseUnreadable(Run& run, const QStringList& required, const QStringList& optional)
{
    bool refused = false;
    const auto test = [&](const QString& path, bool mustExist) {
        if (!mustExist && !FileSystem().FileExists(path))
            return;
        const std::optional<check::ReadProblem> problem = check::readProblem(path);
        if (!problem)
            return;
        refused = true;
        run.out.say(
            say::Refusal,
            QStringLiteral("cannot read %1%2: %3; nothing was changed")
                .arg(run.out.relative(path),
                     problem->line > 0 ? QStringLiteral(", line %1").arg(problem->line) : QString(),
                     problem->message));
    };
    for (const QString& path : required)
        test(path, true);
    for (const QString& path : optional)
        test(path, false);
    return refused;
}

CommandAction::CommandAction(Run& run, Console& console, const char* procedure,
                             const QString& words)
    : m_run(run), m_console(console), m_procedure(procedure)
{
    try {
        m_action.emplace(run.root, journalName(words));
    } catch (const RuntimeError& error) {
        console.reportError(procedure, error, ErrorForm::Standard);
        return;
    }
    if (!m_action->recovered().empty())
        run.out.say(say::Notice, recoveryInWords(m_action->recovered()));
}

bool CommandAction::commit()
{
    if (!m_action)
        return false;
    if (!m_ended) {
        m_ended = true;
        trap(m_console, m_procedure, [&] { m_action->end(); });
        for (const SkippedDocument& skipped : m_action->skipped())
            m_run.out.say(say::Warning, QStringLiteral("%1 was left as it was: %2")
                                            .arg(m_run.out.relative(skipped.path), skipped.reason));
    }
    return m_console.errors == 0;
}

void planCommand(Run& run, Console& console, const char* procedure,
                 const std::function<void(const QString& copyRoot)>& operation,
                 const std::function<void(const QString& copyRoot)>& afterwards)
{
    run.out.setPlan(planOnCopy(run.root, false, [&](const QString& copy) {
        {
            Action action(copy, QStringLiteral("dry run"),
                          {.journaled = false, .batched = true, .locked = false});
            trap(console, procedure, [&] { operation(copy); });
            trap(console, procedure, [&] { action.end(); });
        }
        if (afterwards)
            afterwards(copy);
    }));
}

QString actionInWords(const QString& name)
{
    static const QHash<QString, QString> handlers = {
        {QStringLiteral("cmdApplyAddEditCate_Click"),
         QStringLiteral("a category add or rename of the category panel")},
        {QStringLiteral("cmdCategoryDelete_Click"),
         QStringLiteral("a category delete of the category panel")},
        {QStringLiteral("PictureMoveUP2_MouseDown"),
         QStringLiteral("a category move up of the category panel")},
        {QStringLiteral("PictureMoveDown2_MouseDown"),
         QStringLiteral("a category move down of the category panel")},
        {QStringLiteral("GetCategories"),
         QStringLiteral("the category panel's refresh of the category set")},
        {QStringLiteral("CmdProjectNameApply_click"),
         QStringLiteral("a project rename of the project panel")},
        {QStringLiteral("cmdAddGblPage_Click"),
         QStringLiteral("a global page add or edit of the global page panel")},
        {QStringLiteral("cmdDelGblPage_Click"),
         QStringLiteral("a global page delete of the global page panel")},
        {QStringLiteral("PXUpdateFiles"), QStringLiteral("a page token update (PXUpdateFiles)")},
    };
    return handlers.value(name, name);
}

QString recoveryInWords(const journal::Outcome& outcome)
{
    journal::Outcome told = outcome;
    for (QString& action : told.actions)
        action = actionInWords(action);
    return Action::describeRecovery(told);
}

} // namespace globalstab::cli
