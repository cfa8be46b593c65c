#include "core/Journal.h"
#include "host/DataRoots.h"
#include "host/HostOptions.h"
#include "host/HostWindow.h"
#include "host/PlanView.h"

#include <globalstab/ctlGlobalsTab.h>
#include <globalstab/version.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSettings>
#include <QTextStream>

using namespace globalstab::host;

namespace {

int failWith(const QString& message)
{
    QTextStream(stderr) << "globalstab-host: " << message << '\n';
    return 2;
}

bool wantsScreenshot(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--screenshot" || argument.startsWith("--screenshot="))
            return true;
    }
    return false;
}

// The bundled samples: beside an installed host first, then the source tree of a build.
QString bundledSamples()
{
    const QString besideHost =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/globalstab/samples");
    return findSamples({besideHost, QStringLiteral(GLOBALSTAB_SAMPLES_DIR),
                        QStringLiteral(GLOBALSTAB_INSTALLED_SAMPLES_DIR)});
}

} // namespace

int main(int argc, char** argv)
{
    // Options first: --help and --version need no display at all, whatever DISPLAY names.
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
        return failWith(parsed.text + QStringLiteral(" See --help."));
    case ParseOutcome::Run:
        break;
    }

    // Without a display Qt would abort; the offscreen platform still renders screenshots.
    // A screenshot never needs a window on screen.
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") &&
                           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        (noDisplay || wantsScreenshot(argc, argv)))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("globalstab"));
    QApplication::setApplicationName(QStringLiteral("globalstab-host"));
    QApplication::setApplicationVersion(QStringLiteral(GLOBALSTAB_VERSION_STRING));
    globalstab::journal::setKeep(
        QSettings().value(QStringLiteral("journal/keep"), globalstab::journal::keep()).toInt());

    const HostOptions& options = parsed.options;
    if (noDisplay && options.screenshot.isEmpty())
        return failWith(QStringLiteral(
            "no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
            "  To use the tab without one, serve it over VNC and connect a VNC viewer to port\n"
            "  5900: 'QT_QPA_PLATFORM=vnc:size=1020x700 globalstab-host'.\n"
            "  To see it, take a picture: 'globalstab-host --screenshot globals.png' (add\n"
            "  --pick \"Edit:Global Page\" or --pick \"Edit:Hierarchical Category\" for the "
            "other panels)."));

    QString dataRoot = options.dataRoot;
    if (dataRoot.isEmpty()) {
        const QString remembered = rememberedDataRoot();
        if (isDataRoot(remembered)) {
            dataRoot = remembered;
        } else {
            if (!remembered.isEmpty())
                QTextStream(stderr) << "globalstab-host: the data root opened last, \""
                                    << remembered << "\", is gone; using the samples.\n";
            QString error;
            dataRoot = ensureWorkingCopy(bundledSamples(), workingCopyLocation(), &error);
            if (dataRoot.isEmpty())
                return failWith(error);
        }
    }
    const qint32 installType = options.installType.value_or(rememberedInstallType().value_or(0));

    HostWindow window(QDir(dataRoot).absolutePath(), installType);
    if (!options.project.isEmpty() && !window.openProject(options.project)) {
        QStringList projects;
        for (int i = 0; i < window.projectChooser()->count(); ++i)
            projects << QLatin1Char('"') + window.projectChooser()->itemText(i) + QLatin1Char('"');
        return failWith(QStringLiteral("--project: the data root \"%1\" has no project \"%2\"; "
                                       "it has %3.")
                            .arg(dataRoot, options.project,
                                 projects.isEmpty() ? QStringLiteral("none")
                                                    : projects.join(QStringLiteral(", "))));
    }
    window.show();
    if (options.pick) {
        QString error;
        if (!window.pick(*options.pick, &error))
            return failWith(QStringLiteral("--pick: ") + error);
    }
    QWidget* pictured = nullptr;
    if (!options.previewRename.isEmpty()) {
        pictured = window.previewProjectRename(options.previewRename);
        if (!pictured)
            return failWith(QStringLiteral("--preview-rename: the open project cannot be renamed "
                                           "to \"%1\".")
                                .arg(options.previewRename));
    }
    if (!options.screenshot.isEmpty()) {
        QApplication::processEvents();
        QString error;
        if (!window.saveScreenshot(options.screenshot, &error, pictured))
            return failWith(error);
        return 0;
    }
    return app.exec();
}
