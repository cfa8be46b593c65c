// Embeds the Globals tab in a window of its own, with a dialog provider and a service
// provider of the host's own.
//
//   embed_example [--data-root DIR] [--project NAME] [--smoke]
//
// --smoke builds everything, opens the project without showing a dialog, and exits 0 when
// the project opened, no message was raised and the host's own rank service was used.
#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/ctlGlobalsTab.h>
#include <globalstab/version.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QTextStream>

#include <memory>

using namespace globalstab;

namespace {

// Logs every message to stderr; shows it with the real Qt dialogs unless told not to.
class LoggingDialogs : public QtDialogProvider
{
public:
    explicit LoggingDialogs(bool interactive) : m_interactive(interactive) {}

    MessageAnswer messageBox(QWidget* parent, const QString& text, const QString& title,
                             MessageIcon icon, MessageButtons buttons) override
    {
        ++shown;
        QString line = text;
        QTextStream(stderr) << "[tab message] " << line.replace(QLatin1Char('\r'), " | ") << '\n';
        if (!m_interactive)
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
        return QtDialogProvider::messageBox(parent, text, title, icon, buttons);
    }

    int shown = 0;

private:
    bool m_interactive;
};

// The ranks live in the host's own store; everything else stays on the file system.
class HostRanks : public ProjectRankService
{
public:
    QString GetProjectRank(QString& projectName) override
    {
        return projectName.isEmpty() ? QString() : QStringLiteral("7");
    }
};

class HostServices : public DefaultServiceProvider
{
public:
    using DefaultServiceProvider::DefaultServiceProvider;
    std::unique_ptr<ProjectRankService> createProjectRankService() override
    {
        return std::make_unique<HostRanks>();
    }
};

const char* const Usage =
    "Usage: embed_example [--data-root DIR] [--project NAME] [--smoke]\n"
    "Embeds the Globals tab in a window of its own.\n"
    "  --data-root DIR  the folder that holds Docs/ (default: $GLOBALSTAB_DATA_ROOT)\n"
    "  --project NAME   the project to open (default: \"Orion Suite 2024\")\n"
    "  --smoke          open the project without showing a dialog, and exit 0 when it\n"
    "                   opened without a message\n"
    "  -h, --help       show this help and exit\n";

struct Options
{
    QString dataRoot = qEnvironmentVariable("GLOBALSTAB_DATA_ROOT");
    QString project = QStringLiteral("Orion Suite 2024");
    bool smoke = false;
    bool help = false;
    QString error;
};

// Read before the application object exists: --help needs no display.
Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc && options.error.isEmpty(); ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const auto value = [&](const QString& name, QString* target) {
            if (argument.startsWith(name + QLatin1Char('='))) {
                *target = argument.mid(name.size() + 1);
                return true;
            }
            if (argument != name)
                return false;
            if (i + 1 < argc)
                *target = QString::fromLocal8Bit(argv[++i]);
            else
                options.error = name + QStringLiteral(" needs a value");
            return true;
        };
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            options.help = true;
        else if (argument == QLatin1String("--smoke"))
            options.smoke = true;
        else if (!value(QStringLiteral("--data-root"), &options.dataRoot) &&
                 !value(QStringLiteral("--project"), &options.project))
            options.error = QStringLiteral("unknown argument \"%1\"").arg(argument);
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);
    if (options.help) {
        QTextStream(stdout) << Usage;
        return 0;
    }
    if (!options.error.isEmpty()) {
        QTextStream(stderr) << "embed_example: " << options.error << "\n" << Usage;
        return 2;
    }
    // The tab reads the data root as it is created: a wrong one would only show up later,
    // as an empty tab.
    if (!QDir(options.dataRoot + QStringLiteral("/Docs")).exists()) {
        QTextStream(stderr) << "embed_example: "
                            << (options.dataRoot.isEmpty()
                                    ? QStringLiteral("no data root; give --data-root DIR")
                                    : QStringLiteral("\"%1\" is not a data root (it has no "
                                                     "Docs folder)")
                                          .arg(options.dataRoot))
                            << '\n';
        return 1;
    }
    const bool smoke = options.smoke;
    const QString& dataRoot = options.dataRoot;
    const QString& project = options.project;

    QApplication app(argc, argv);

    // Install both seams before the tab is created: it asks for the install type at once.
    auto dialogs = std::make_shared<LoggingDialogs>(!smoke);
    installDialogProvider(dialogs);
    installServiceProvider(std::make_shared<HostServices>(dataRoot, 1000));

    QMainWindow window;
    auto* tab = new ctlGlobalsTab(&window);
    window.setCentralWidget(tab);

    // Refresh what the rest of the tool shows when the tab changed something.
    QObject::connect(tab, &ctlGlobalsTab::OnprojectNameChange, &window,
                     [&] { window.setWindowTitle(tab->ProjectName()); });
    QObject::connect(tab, &ctlGlobalsTab::OnAddGlobalPage, &window,
                     [](const QString& link, const QString& book, bool global) {
                         QTextStream(stdout) << "page added: " << link << " in " << book
                                             << (global ? " (global)" : "") << '\n';
                     });
    // Or hear every event with its number (ctlGlobalsTab::EventNumber) in one place.
    QObject::connect(tab, &ctlGlobalsTab::eventRaised, &window,
                     [](int number, const QVariantList& arguments) {
                         QTextStream(stdout) << "event " << number << " with " << arguments.size()
                                             << " argument(s)\n";
                     });

    tab->setProjectName(project);
    window.setWindowTitle(tab->ProjectName());
    window.show();

    if (smoke) {
        // The project's id comes from the selection list: empty when the project is not there.
        const QString id = tab->findChild<QLineEdit*>(QStringLiteral("txtProjectID"))->text();
        const QString rank = tab->findChild<QLineEdit*>(QStringLiteral("txtPrjoectRank"))->text();
        QTextStream(stdout) << "globalstab " << GLOBALSTAB_VERSION_STRING << ": project "
                            << tab->ProjectName() << " (" << id << "), rank " << rank << ", "
                            << dialogs->shown << " message(s)\n";
        if (id.isEmpty())
            QTextStream(stderr) << "embed_example: the data root has no project \"" << project
                                << "\"\n";
        return !id.isEmpty() && dialogs->shown == 0 && rank == QLatin1String("7") ? 0 : 1;
    }
    return app.exec();
}
