// Embeds the Globals tab in a window of its own, with a dialog provider and a service
// provider of the host's own.
//
//   embed_example [--data-root DIR] [--project NAME] [--smoke]
//
// --smoke builds everything, opens the project without showing a dialog, and exits 0 when
// no message was raised and the host's own rank service was used.
#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/ctlGlobalsTab.h>
#include <globalstab/version.h>

#include <QApplication>
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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    auto option = [&](const QString& name, const QString& fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const bool smoke = args.contains(QStringLiteral("--smoke"));
    const QString dataRoot =
        option(QStringLiteral("--data-root"), qEnvironmentVariable("GLOBALSTAB_DATA_ROOT"));
    const QString project = option(QStringLiteral("--project"), QStringLiteral("Orion Suite 2024"));

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
        const QString rank = tab->findChild<QLineEdit*>(QStringLiteral("txtPrjoectRank"))->text();
        QTextStream(stdout) << "globalstab " << GLOBALSTAB_VERSION_STRING << ": project "
                            << tab->ProjectName() << ", rank " << rank << ", " << dialogs->shown
                            << " message(s)\n";
        return dialogs->shown == 0 && rank == QLatin1String("7") ? 0 : 1;
    }
    return app.exec();
}
