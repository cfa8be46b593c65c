#include "host/DataRoots.h"
#include "host/HostOptions.h"
#include "host/HostWindow.h"
#include "host/PlanView.h"
#include "host/Platform.h"
#include "host/UnattendedDialogs.h"

#include <globalstab/DataRoot.h>
#include <globalstab/version.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTextStream>

using namespace globalstab::host;

namespace {

// Exit statuses: 2 for a wrong command line (or nowhere to show the window), 1 when the host
// could not do what it was asked.
constexpr int Usage = 2;
constexpr int Failed = 1;

int failWith(const QString& message, int status)
{
    QTextStream(stderr) << "globalstab-host: " << message << '\n';
    return status;
}

// The bundled samples: beside an installed host first, then the source tree of a build.
QString bundledSamples()
{
    const QString besideHost =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/globalstab/samples");
    return findSamples({besideHost, QStringLiteral(GLOBALSTAB_SAMPLES_DIR),
                        QStringLiteral(GLOBALSTAB_INSTALLED_SAMPLES_DIR)});
}

QString quotedList(const QStringList& names)
{
    if (names.isEmpty())
        return QStringLiteral("none");
    return QLatin1Char('"') + names.join(QStringLiteral("\", \"")) + QLatin1Char('"');
}

} // namespace

int main(int argc, char** argv)
{
    // Everything the command line says is checked before Qt starts, so that --help and
    // --version need no display and a wrong option never costs a window.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ParseResult parsed =
        parseHostOptions(arguments, QStringLiteral(GLOBALSTAB_VERSION_STRING));
    switch (parsed.outcome) {
    case ParseOutcome::Help:
    case ParseOutcome::Version:
        QTextStream(stdout) << parsed.text << (parsed.text.endsWith('\n') ? "" : "\n");
        return 0;
    case ParseOutcome::Error:
        return failWith(parsed.text + QStringLiteral(" See --help."), Usage);
    case ParseOutcome::Run:
        break;
    }
    const HostOptions& options = parsed.options;
    const bool screenshot = !options.screenshot.isEmpty();

    // A window nobody can see would wait for nobody: refuse to start one. A screenshot never
    // needs a window on screen, and the offscreen platform renders it without a display.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && platform.isEmpty();
    if (!screenshot && noDisplay)
        return failWith(
            QStringLiteral(
                "no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                "  To use the tab without one, serve it over VNC on this machine and connect a "
                "VNC\n"
                "  viewer to localhost:5900: 'QT_QPA_PLATFORM=vnc:size=1020x700 globalstab-host'.\n"
                "  To see it, take a picture: 'globalstab-host --screenshot globals.png' (add\n"
                "  --pick \"Edit:Global Page\" or --pick \"Edit:Hierarchical Category\" for the "
                "other panels)."),
            Usage);
    const QString platformName = platform.section(QLatin1Char(':'), 0, 0);
    if (!screenshot &&
        (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal")))
        return failWith(QStringLiteral("the \"%1\" platform shows no window, so nobody could use "
                                       "the tab; add --screenshot FILE to take a picture of it.")
                            .arg(platformName),
                        Usage);
    if (platform.isEmpty() && screenshot)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    ensureRuntimeDir();
    dropSizeHintWarnings();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("globalstab"));
    QApplication::setApplicationName(QStringLiteral("globalstab-host"));
    QApplication::setApplicationVersion(QStringLiteral(GLOBALSTAB_VERSION_STRING));
    globalstab::setChangesKeptForUndo(
        QSettings()
            .value(QStringLiteral("journal/keep"), globalstab::changesKeptForUndo())
            .toInt());
    QString error;
    QString served;
    if (!listenForVncOn(options.vncListen, &served, &error))
        return failWith(error, Failed);
    if (!served.isEmpty())
        QTextStream(stderr) << "globalstab-host: serving the tab over VNC on " << served << '\n';

    QString dataRoot = options.dataRoot;
    if (dataRoot.isEmpty()) {
        const QString remembered = rememberedDataRoot();
        if (isDataRoot(remembered)) {
            dataRoot = remembered;
        } else {
            if (!remembered.isEmpty())
                QTextStream(stderr) << "globalstab-host: the data root opened last, \""
                                    << remembered << "\", is gone; using the samples.\n";
            dataRoot = ensureWorkingCopy(bundledSamples(), workingCopyLocation(), &error);
            if (dataRoot.isEmpty())
                return failWith(error, Failed);
        }
    }
    dataRoot = QDir(dataRoot).absolutePath();
    if (!options.project.isEmpty()) {
        const QStringList projects = globalstab::projectNames(dataRoot).value_or(QStringList());
        if (!projects.contains(options.project))
            return failWith(QStringLiteral("--project: the data root \"%1\" has no project "
                                           "\"%2\"; it has %3.")
                                .arg(dataRoot, options.project, quotedList(projects)),
                            Usage);
    }
    const qint32 installType = options.installType.value_or(rememberedInstallType().value_or(0));

    // A screenshot is taken without anyone watching: the tab's messages go to stderr.
    const auto unattended = screenshot ? std::make_shared<UnattendedDialogs>() : nullptr;
    HostWindow window(dataRoot, installType, unattended);
    if (!options.project.isEmpty())
        window.openProject(options.project);
    window.show();
    if (options.pick && !window.pick(*options.pick, &error))
        return failWith(QStringLiteral("--pick: ") + error, Usage);
    QWidget* pictured = nullptr;
    if (options.previewRename) {
        pictured = window.previewProjectRename(*options.previewRename);
        if (!pictured)
            return failWith(QStringLiteral("--preview-rename: the open project cannot be renamed "
                                           "to \"%1\".")
                                .arg(*options.previewRename),
                            Failed);
    }
    if (!screenshot)
        return app.exec();

    QApplication::processEvents();
    if (!window.saveScreenshot(options.screenshot, &error, pictured))
        return failWith(error, Failed);
    if (!unattended->shown().isEmpty())
        return failWith(QStringLiteral("the tab showed %1 message(s), above; the picture, \"%2\", "
                                       "shows the window after them.")
                            .arg(unattended->shown().size())
                            .arg(options.screenshot),
                        Failed);
    return 0;
}
