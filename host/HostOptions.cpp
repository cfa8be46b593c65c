#include "host/HostOptions.h"

#include "host/DataRoots.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QImageWriter>

namespace globalstab::host {

std::optional<PickRequest> parsePick(const QString& value, QString* error)
{
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    const QString list = value.left(colon).trimmed();
    const QString entry = colon < 0 ? QString() : value.mid(colon + 1).trimmed();
    PickRequest pick;
    if (list.compare(QLatin1String("Add"), Qt::CaseInsensitive) == 0)
        pick.list = QStringLiteral("Add");
    else if (list.compare(QLatin1String("Edit"), Qt::CaseInsensitive) == 0)
        pick.list = QStringLiteral("Edit");
    if (colon < 0 || pick.list.isEmpty() || entry.isEmpty()) {
        if (error)
            *error = QStringLiteral("--pick expects LIST:ENTRY with LIST \"Add\" or \"Edit\", for "
                                    "example --pick \"Edit:Hierarchical Category\"; got \"%1\".")
                         .arg(value);
        return std::nullopt;
    }
    pick.entry = entry;
    return pick;
}

QString screenshotProblem(const QString& path)
{
    // An extension no image writer knows is refused rather than filled with another
    // format's bytes.
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    if (!formats.contains(QFileInfo(path).suffix().toLower().toLatin1()))
        return QStringLiteral("Cannot write a screenshot as \"%1\": use one of the extensions %2.")
            .arg(path, QString::fromLatin1(formats.join(", ")));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Cannot write the screenshot \"%1\": there is no folder \"%2\".")
            .arg(path, QDir::toNativeSeparators(folder));
    return QString();
}

ParseResult parseHostOptions(const QStringList& arguments, const QString& version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A small authoring-tool shell around the Globals tab component."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption dataRootOption(
        QStringLiteral("data-root"),
        QStringLiteral("Data root to work on (the folder that holds Docs/). Default: the one "
                       "opened last, else a per-user copy of the bundled samples."),
        QStringLiteral("DIR"));
    const QCommandLineOption projectOption(
        QStringLiteral("project"),
        QStringLiteral("Project to open. Default: the first one of the selection list."),
        QStringLiteral("NAME"));
    const QCommandLineOption installTypeOption(
        QStringLiteral("install-type"),
        QStringLiteral("Install type the developer settings report (1000 enables the rank). "
                       "Default: the one set last, else 0."),
        QStringLiteral("N"));
    const QCommandLineOption pickOption(
        QStringLiteral("pick"),
        QStringLiteral("Open the Add or Edit function list and pick an entry first, e.g. "
                       "\"Edit:Hierarchical Category\"."),
        QStringLiteral("LIST:ENTRY"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral(
            "Render the window offscreen to an image file (format by extension) and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption previewOption(
        QStringLiteral("preview-rename"),
        QStringLiteral("Show the plan of renaming the open project to NAME first (with "
                       "--screenshot, the picture is of the plan)."),
        QStringLiteral("NAME"));
    const QCommandLineOption vncOption(
        QStringLiteral("vnc-listen"),
        QStringLiteral("Address Qt's VNC platform (QT_QPA_PLATFORM=vnc) listens on. Default: "
                       "127.0.0.1, this machine only; 0.0.0.0 serves every network, without a "
                       "password."),
        QStringLiteral("ADDRESS"));
    parser.addOptions({dataRootOption, projectOption, installTypeOption, pickOption,
                       screenshotOption, previewOption, vncOption});

    ParseResult result;
    auto fail = [&](const QString& message) {
        result.outcome = ParseOutcome::Error;
        result.text = message;
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        result.outcome = ParseOutcome::Help;
        // Read before any application object exists, so the name is not known to Qt yet.
        result.text = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                QStringLiteral("globalstab-host"));
        return result;
    }
    if (parser.isSet(versionOption)) {
        result.outcome = ParseOutcome::Version;
        result.text = QStringLiteral("globalstab-host %1").arg(version);
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument \"%1\"; see --help.")
                        .arg(parser.positionalArguments().constFirst()));

    HostOptions& options = result.options;
    if (parser.isSet(dataRootOption)) {
        options.dataRoot = parser.value(dataRootOption);
        if (!QFileInfo(options.dataRoot).isDir())
            return fail(
                QStringLiteral("--data-root: \"%1\" is not a folder.").arg(options.dataRoot));
        if (!isDataRoot(options.dataRoot))
            return fail(QStringLiteral("--data-root: \"%1\" has no Docs folder, so it is not a "
                                       "data root.")
                            .arg(options.dataRoot));
    }
    if (parser.isSet(projectOption)) {
        options.project = parser.value(projectOption);
        if (options.project.trimmed().isEmpty())
            return fail(QStringLiteral("--project needs a project name."));
    }
    if (parser.isSet(installTypeOption)) {
        bool ok = false;
        const qint32 type = parser.value(installTypeOption).trimmed().toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--install-type expects a whole number, not \"%1\".")
                            .arg(parser.value(installTypeOption)));
        options.installType = type;
    }
    if (parser.isSet(pickOption)) {
        QString error;
        options.pick = parsePick(parser.value(pickOption), &error);
        if (!options.pick)
            return fail(error);
    }
    if (parser.isSet(previewOption)) {
        options.previewRename = parser.value(previewOption);
        if (options.previewRename->trimmed().isEmpty())
            return fail(QStringLiteral("--preview-rename needs the new name of the project."));
    }
    if (parser.isSet(screenshotOption)) {
        options.screenshot = parser.value(screenshotOption);
        if (options.screenshot.isEmpty())
            return fail(QStringLiteral("--screenshot needs a file name."));
        const QString problem = screenshotProblem(options.screenshot);
        if (!problem.isEmpty())
            return fail(QStringLiteral("--screenshot: ") + problem);
    }
    if (parser.isSet(vncOption)) {
        options.vncListen = parser.value(vncOption);
        if (QHostAddress(options.vncListen).isNull())
            return fail(QStringLiteral("--vnc-listen expects an IP address such as 127.0.0.1 or "
                                       "0.0.0.0, not \"%1\".")
                            .arg(options.vncListen));
    }
    return result;
}

} // namespace globalstab::host
