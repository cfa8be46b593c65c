// globalstab: the tab's operations without a window, for scripts and build pipelines.
//
//   globalstab [--data-root=DIR] [--dry-run] [--json] COMMAND [ARGUMENTS]
//
// Every run that writes first puts back what an interrupted action left in the data root's
// journal; a dry run writes nothing at all.
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Output.h"

#include "core/Journal.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <globalstab/version.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

using namespace globalstab;
using namespace globalstab::cli;

namespace {

int dispatch(Run& run)
{
    const QString& command = run.invocation.command;
    if (command == QLatin1String("check"))
        return checkCommand(run);
    if (command == QLatin1String("rename-project"))
        return renameProjectCommand(run);
    if (command == QLatin1String("update-pages"))
        return updatePagesCommand(run);
    if (command == QLatin1String("category"))
        return categoryCommand(run);
    if (command == QLatin1String("page"))
        return pageCommand(run);
    if (command == QLatin1String("undo"))
        return undoCommand(run);
    return recoverCommand(run);
}

// What an action cut off before its end left is put back before a command reads, as the
// first writer to come would; a dry run only says that it would be.
void recoverFirst(const Run& run)
{
    const QString& command = run.invocation.command;
    if (command == QLatin1String("recover") || command == QLatin1String("undo"))
        return; // their own work, and their dry runs show it
    if (run.dryRun()) {
        if (journal::interrupted(run.root))
            run.out.say(say::Notice,
                        QStringLiteral("the journal holds an action cut off before its end; a "
                                       "run that writes puts it back first (see globalstab "
                                       "--dry-run recover), and this plan leaves that out"));
        return;
    }
    try {
        const journal::Outcome recovered = Action::recover(run.root);
        if (!recovered.empty())
            run.out.say(say::Notice, recoveryInWords(recovered));
    } catch (const RuntimeError& error) {
        // A command that only reads goes on; one that writes is refused by its own action.
        run.out.say(say::Warning, error.description());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Invocation invocation;
    try {
        parseArguments(QCoreApplication::arguments().mid(1), invocation);
    } catch (const UsageError& error) {
        Reporter told(invocation.json);
        told.setCommand(invocation.command, invocation.dryRun);
        return told.usage(error.problem());
    }
    Reporter reporter(invocation.json);
    reporter.setCommand(invocation.command, invocation.dryRun);
    const CommandInfo* command = findCommand(invocation.command);
    if (invocation.help) {
        QTextStream(stdout) << (command ? commandHelp(*command) : usageText());
        return Done;
    }
    if (invocation.version) {
        QTextStream(stdout) << "globalstab " << GLOBALSTAB_VERSION_STRING << '\n';
        return Done;
    }
    if (!command) {
        if (invocation.json)
            return reporter.usage(QStringLiteral("no command"));
        QTextStream(stderr) << usageText();
        return Usage;
    }

    QString root = invocation.dataRoot.value_or(qEnvironmentVariable("GLOBALSTAB_DATA_ROOT"));
    if (root.isEmpty())
        return reporter.usage(
            QStringLiteral("no data root: give --data-root=DIR or set GLOBALSTAB_DATA_ROOT"));
    if (!QFileInfo(FileSystem::resolve(root + QStringLiteral("/Docs"))).isDir())
        return reporter.usage(
            QStringLiteral("no data root at \"%1\": it holds no Docs folder").arg(root));
    root = QDir(root).absolutePath() + QLatin1Char('/');
    reporter.setRoot(root);

    Run run{invocation, root, reporter};
    try {
        recoverFirst(run);
        return dispatch(run);
    } catch (const UsageError& error) {
        return reporter.usage(error.problem());
    } catch (const RuntimeError& error) {
        reporter.say(say::Error, error.description());
        return reporter.finish(Refused);
    } catch (const std::exception& error) {
        reporter.say(say::Error, QString::fromLocal8Bit(error.what()));
        return reporter.finish(Refused);
    }
}
