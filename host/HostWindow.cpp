#include "host/HostWindow.h"

#include "host/DataRoots.h"
#include "host/PlanView.h"

#include <globalstab/ChangePreview.h>
#include <globalstab/DataRoot.h>
#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/GlobalVariables.h>
#include <globalstab/RuntimeError.h>
#include <globalstab/ctlGlobalsTab.h>

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QImageWriter>
#include <QInputDialog>
#include <QSettings>
#include <QTimer>

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMetaEnum>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace globalstab::host {

namespace {

// The argument names of each event, as a host developer declares its handlers.
QStringList argumentNames(int number)
{
    switch (number) {
    case ctlGlobalsTab::OnAddGlobalPageEvent:
        return {QStringLiteral("vstrFullLink"), QStringLiteral("vstrBookName"),
                QStringLiteral("vblnGlobal")};
    case ctlGlobalsTab::evtOnDeletionofGlobalPageEvent:
        return {QStringLiteral("vblnGlobal")};
    default:
        return {};
    }
}

QString formatValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return value.toString();
}

// "3 OnAddGlobalPage(vstrFullLink="...", vstrBookName="Global Information", vblnGlobal=true)"
QString describeEvent(int number, const QVariantList& arguments)
{
    QString name =
        QString::fromLatin1(QMetaEnum::fromType<ctlGlobalsTab::EventNumber>().valueToKey(number));
    if (name.endsWith(QLatin1String("Event")))
        name.chop(5);
    if (name.isEmpty())
        name = QStringLiteral("unknown event");
    const QStringList names = argumentNames(number);
    QStringList parts;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString value = formatValue(arguments.at(i));
        parts << (i < names.size() ? names.at(i) + QLatin1Char('=') + value : value);
    }
    return QStringLiteral("%1 %2(%3)").arg(number).arg(name, parts.join(QLatin1String(", ")));
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

HostWindow::HostWindow(const QString& dataRoot, qint32 installType,
                       std::shared_ptr<DialogProvider> dialogs, QWidget* parent)
    : QMainWindow(parent), m_dataRoot(dataRoot), m_installType(installType),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_shared<QtDialogProvider>())
{
    auto* globalsPage = new QWidget;
    auto* pageLayout = new QHBoxLayout(globalsPage);

    m_tabColumn = new QVBoxLayout;
    auto* chooserRow = new QHBoxLayout;
    auto* chooserLabel = new QLabel(tr("&Project:"));
    m_projects = new QComboBox;
    m_projects->setObjectName(QStringLiteral("projectChooser"));
    m_projects->setAccessibleName(tr("Project"));
    m_projects->setToolTip(tr("The project the Globals tab works on (from PX_Selection.XML)"));
    m_projects->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    chooserLabel->setBuddy(m_projects);
    chooserRow->addWidget(chooserLabel);
    chooserRow->addWidget(m_projects);
    chooserRow->addStretch(1);
    m_tabColumn->addLayout(chooserRow);
    m_tabColumn->addStretch(1);
    pageLayout->addLayout(m_tabColumn);

    auto* side = new QSplitter(Qt::Vertical);
    m_categoryBox = new QGroupBox(tr("Categories"));
    m_categories = new QTreeWidget;
    m_categories->setObjectName(QStringLiteral("categoryTree"));
    m_categories->setAccessibleName(tr("Categories and their books"));
    m_categories->setHeaderLabels({tr("Category / book"), tr("Acronym")});
    m_categories->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_categories->header()->setStretchLastSection(false);
    (new QVBoxLayout(m_categoryBox))->addWidget(m_categories);
    auto* logBox = new QGroupBox(tr("Events and host calls"));
    m_log = new QListWidget;
    m_log->setObjectName(QStringLiteral("eventLog"));
    m_log->setAccessibleName(tr("Events and host calls"));
    m_log->setWordWrap(true);
    auto* clearLog = new QPushButton(tr("C&lear"));
    connect(clearLog, &QPushButton::clicked, m_log, &QListWidget::clear);
    auto* logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(m_log);
    logLayout->addWidget(clearLog, 0, Qt::AlignRight);
    side->addWidget(m_categoryBox);
    side->addWidget(logBox);
    side->setStretchFactor(0, 3);
    side->setStretchFactor(1, 2);
    pageLayout->addWidget(side, 1);

    auto* tabs = new QTabWidget;
    tabs->addTab(globalsPage, tr("Globals"));
    setCentralWidget(tabs);

    connect(m_projects, &QComboBox::textActivated, this, &HostWindow::openProject);
    createMenus();
    recreateTab();
    resize(1020, 700);
}

HostWindow::~HostWindow() = default;

QStringList HostWindow::checkProject()
{
    const QString project = m_tab->ProjectName();
    const QStringList lines = project.isEmpty()
                                  ? QStringList()
                                  : globalstab::checkProject(m_dataRoot, project, m_installType);
    log(tr("Check of \"%1\": %n finding(s)", nullptr, int(lines.size())).arg(project));
    for (const QString& line : lines)
        log(QStringLiteral("  ") + line);
    m_dialogs->messageBox(
        this,
        lines.isEmpty() ? tr("\"%1\" is consistent.").arg(project)
                        : tr("\"%1\" has drifted:\n").arg(project) + lines.join(QLatin1Char('\n')),
        tr("Check Project"), lines.isEmpty() ? MessageIcon::Information : MessageIcon::Exclamation,
        MessageButtons::Ok);
    return lines;
}

PlanView* HostWindow::previewProjectRename(const QString& newName)
{
    const QString project = m_tab->ProjectName();
    if (project.isEmpty())
        return nullptr;
    const ChangePreview preview =
        globalstab::previewProjectRename(m_dataRoot, project, m_installType, newName);
    return showPlan(tr("Renaming \"%1\" to \"%2\"").arg(project, newName), preview);
}

PlanView* HostWindow::previewCategoryChange(const QString& name,
                                            const std::optional<QString>& newName)
{
    const QString project = m_tab->ProjectName();
    if (project.isEmpty())
        return nullptr;
    const ChangePreview preview =
        globalstab::previewCategoryChange(m_dataRoot, project, m_installType, name, newName);
    return showPlan(newName ? tr("Renaming category \"%1\" to \"%2\"").arg(name, *newName)
                            : tr("Deleting category \"%1\"").arg(name),
                    preview);
}

PlanView* HostWindow::showPlan(const QString& what, const ChangePreview& preview)
{
    if (!preview.refusal.isEmpty()) {
        // What the panel would say instead of making the change.
        log(tr("Preview: %1: refused").arg(what));
        m_dialogs->messageBox(this, preview.refusal, QString(), MessageIcon::Information,
                              MessageButtons::Ok);
        return nullptr;
    }
    log(tr("Preview: %1: %n change(s)", nullptr, int(preview.changes.size())).arg(what));
    auto* view = new PlanView(what, preview.changes, m_dataRoot, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
    return view;
}

bool HostWindow::undoLastChange()
{
    QString text;
    bool undone = false;
    try {
        const UndoOutcome outcome = globalstab::undoLastChange(m_dataRoot);
        text = tr("Undid \"%1\": %2 file(s) put back as they were before it.")
                   .arg(outcome.actions.join(QStringLiteral(", ")))
                   .arg(outcome.files);
        undone = true;
    } catch (const RuntimeError& error) {
        text = error.number() == rt::FileNotFound ? tr("There is no change to undo.")
                                                  : error.description() + QLatin1Char('.');
    }
    log(tr("Undo last change: %1").arg(text));
    m_dialogs->messageBox(this, text, tr("Undo Last Change"),
                          undone ? MessageIcon::Information : MessageIcon::Exclamation,
                          MessageButtons::Ok);
    if (undone)
        recreateTab();
    return undone;
}

void HostWindow::createMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open Data Root..."), QKeySequence::Open, this,
                    &HostWindow::chooseDataRoot);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(tr("&Undo Last Change"), QKeySequence::Undo, this, &HostWindow::undoLastChange);
    edit->addAction(tr("&Preview Project Rename..."), this, [this] {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, tr("Preview Project Rename"), tr("New project name:"),
                                  QLineEdit::Normal, m_tab->ProjectName(), &ok);
        if (ok)
            previewProjectRename(name);
    });
    const auto pickCategory = [this](const QString& title, bool* ok) {
        return QInputDialog::getItem(
            this, title, tr("Category:"),
            listedCategories(m_dataRoot, m_tab->ProjectName(), m_installType), 0, false, ok);
    };
    edit->addAction(tr("Preview Category &Rename..."), this, [this, pickCategory] {
        bool ok = false;
        const QString title = tr("Preview Category Rename");
        const QString name = pickCategory(title, &ok);
        if (!ok)
            return;
        const QString newName =
            QInputDialog::getText(this, title, tr("New name:"), QLineEdit::Normal, name, &ok);
        if (ok)
            previewCategoryChange(name, newName);
    });
    edit->addAction(tr("Preview Category &Delete..."), this, [this, pickCategory] {
        bool ok = false;
        const QString name = pickCategory(tr("Preview Category Delete"), &ok);
        if (ok)
            previewCategoryChange(name, std::nullopt);
    });
    edit->addAction(tr("&Check Project"), this, &HostWindow::checkProject);

    QMenu* settings = menuBar()->addMenu(tr("&Settings"));
    QMenu* types = settings->addMenu(tr("&Install Type"));
    m_installTypes = new QActionGroup(this);
    for (const auto& [type, label] : {std::pair{0, tr("&Standard (0)")},
                                      std::pair{1000, tr("&Professional (1000, rank enabled)")}}) {
        QAction* action = types->addAction(label);
        action->setCheckable(true);
        action->setData(type);
        m_installTypes->addAction(action);
        connect(action, &QAction::triggered, this, [this, type] {
            rememberInstallType(type);
            setInstallType(type);
        });
    }
    types->addAction(tr("&Other..."), this, &HostWindow::chooseInstallType);
    settings->addAction(tr("Changes &Kept for Undo..."), this, [this] {
        bool ok = false;
        const int kept = QInputDialog::getInt(this, tr("Changes Kept for Undo"),
                                              tr("How many of the last changes can be undone:"),
                                              changesKeptForUndo(), 0, 100, 1, &ok);
        if (!ok)
            return;
        setChangesKeptForUndo(kept);
        QSettings().setValue(QStringLiteral("journal/keep"), kept);
    });

    QMenu* services = menuBar()->addMenu(tr("Se&rvices"));
    services->addAction(tr("&PXUpdateFiles (rewrite a product name in page files)..."), this,
                        &HostWindow::askPXUpdateFiles);
    services->addAction(tr("&GetResString (look up a text by id)..."), this,
                        &HostWindow::askGetResString);
    services->addAction(tr("&mstrCheckSpecialCharacters (escape a word for XML)..."), this,
                        &HostWindow::askCheckSpecialCharacters);
}

QString HostWindow::docsPath(const QString& relative) const
{
    return resolveDocsPath(m_dataRoot, relative);
}

void HostWindow::recreateTab()
{
    const QString project = m_tab ? m_tab->ProjectName() : QString();
    delete m_tab;
    m_tab = nullptr;
    // The thread-wide state still holds the old root and install type.
    resetGlobalVariables();
    m_services = std::make_shared<DefaultServiceProvider>(m_dataRoot, m_installType);
    // Documents to link usually live below the data root.
    if (auto* qtDialogs = dynamic_cast<QtDialogProvider*>(m_dialogs.get()))
        qtDialogs->setStartFolder(QDir(m_dataRoot).filePath(QStringLiteral("Docs")));
    m_tab = new ctlGlobalsTab(m_services, m_dialogs);
    m_tab->setAccessibleName(tr("Globals tab"));
    m_tabColumn->insertWidget(1, m_tab);
    connect(m_tab, &ctlGlobalsTab::eventRaised, this, &HostWindow::onEventRaised);
    connect(m_tab, &ctlGlobalsTab::documentSkipped, this,
            [this](const QString& path, const QString& reason) {
                log(tr("Skipped %1: %2").arg(QDir::toNativeSeparators(path), reason));
            });

    reloadProjects();
    if (!openProject(project) && m_projects->count() > 0)
        openProject(m_projects->itemText(0));
    refreshCategoryTree();
    updateStatus();
}

void HostWindow::reloadProjects()
{
    const QSignalBlocker blocker(m_projects);
    m_projects->clear();
    m_projects->setPlaceholderText(QString());
    const std::optional<QStringList> projects = projectNames(m_dataRoot);
    if (!projects) {
        m_projects->setPlaceholderText(tr("(no Docs/PX_Selection.XML in this data root)"));
        return;
    }
    m_projects->addItems(*projects);
}

bool HostWindow::openProject(const QString& name)
{
    const int index = name.isEmpty() ? -1 : m_projects->findText(name, Qt::MatchExactly);
    if (index < 0)
        return false;
    m_projects->setCurrentIndex(index);
    m_tab->setProjectName(name);
    refreshCategoryTree();
    updateStatus();
    return true;
}

void HostWindow::followProjectName()
{
    reloadProjects();
    const QSignalBlocker blocker(m_projects);
    m_projects->setCurrentIndex(m_projects->findText(m_tab->ProjectName(), Qt::MatchExactly));
    updateStatus();
}

void HostWindow::refreshCategoryTree()
{
    m_categories->clear();
    const QString project = m_tab->ProjectName();
    m_categoryBox->setTitle(project.isEmpty() ? tr("Categories")
                                              : tr("Categories of %1").arg(project));
    watchCategorySet(project);
    if (project.isEmpty())
        return;

    const std::optional<QList<CategoryBooks>> categories = projectCategories(m_dataRoot, project);
    if (!categories) {
        auto* missing = new QTreeWidgetItem(m_categories, {tr("(no PX_BookCategories.xml yet)")});
        missing->setDisabled(true);
        return;
    }
    for (const CategoryBooks& category : *categories) {
        auto* item = new QTreeWidgetItem(m_categories, {category.name});
        for (qsizetype i = 0; i < category.bookAcros.size(); ++i)
            new QTreeWidgetItem(item, {category.bookNames.at(i), category.bookAcros.at(i)});
    }
    m_categories->expandAll();
}

void HostWindow::onEventRaised(int number, const QVariantList& arguments)
{
    log(describeEvent(number, arguments));
    switch (number) {
    case ctlGlobalsTab::OnprojectNameChangeEvent:
        followProjectName();
        refreshCategoryTree();
        break;
    case ctlGlobalsTab::OnCategoryAdditionEvent:
    case ctlGlobalsTab::OnCategoryDeletionEvent:
        refreshCategoryTree();
        break;
    default:
        break;
    }
}

void HostWindow::log(const QString& line)
{
    m_log->addItem(line);
    m_log->scrollToBottom();
}

void HostWindow::updateStatus()
{
    QString root = QDir::toNativeSeparators(m_dataRoot);
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (root.startsWith(home + QDir::separator()))
        root.replace(0, home.size(), QStringLiteral("~"));
    setWindowTitle(tr("Globals tab host - %1").arg(root));
    statusBar()->showMessage(tr("Data root: %1    Install type: %2    Project: %3")
                                 .arg(root)
                                 .arg(m_installType)
                                 .arg(m_tab ? m_tab->ProjectName() : QString()));
    for (QAction* action : m_installTypes->actions())
        action->setChecked(action->data().toInt() == m_installType);
}

void HostWindow::setDataRoot(const QString& dataRoot)
{
    m_dataRoot = dataRoot;
    recreateTab();
}

void HostWindow::setInstallType(qint32 installType)
{
    m_installType = installType;
    recreateTab();
}

bool HostWindow::pick(const PickRequest& request, QString* error)
{
    const bool add = request.list == QLatin1String("Add");
    auto* button =
        m_tab->findChild<QPushButton*>(add ? QStringLiteral("cmdAdd") : QStringLiteral("cmdEdit"));
    auto* list = m_tab->findChild<QListWidget*>(add ? QStringLiteral("lstAddItems")
                                                    : QStringLiteral("lstEditItems"));
    if (!button || !list) {
        if (error)
            *error = tr("The tab has no %1 function list.").arg(request.list);
        return false;
    }
    button->click();
    const QList<QListWidgetItem*> found = list->findItems(request.entry, Qt::MatchFixedString);
    if (found.isEmpty()) {
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << quoted(list->item(i)->text());
        if (error)
            *error = tr("The %1 list has no entry \"%2\"; it offers %3.")
                         .arg(request.list, request.entry, entries.join(QLatin1String(", ")));
        return false;
    }
    // What a mouse click on the entry does: select it, then the list's click signal.
    list->setCurrentItem(found.first());
    Q_EMIT list->itemClicked(found.first());
    // Opening the category panel may rebuild the category set without an event.
    refreshCategoryTree();
    return true;
}

// The tab tells the host of additions and deletions, but not of a new order or of a set
// rebuilt when the panel is shown; the tree follows the file instead. Saves replace the file,
// so its folder is watched as well, and the file again after each change.
void HostWindow::watchCategorySet(const QString& project)
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        auto* settle = new QTimer(this);
        settle->setSingleShot(true);
        settle->setInterval(100);
        connect(settle, &QTimer::timeout, this, &HostWindow::refreshCategoryTree);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, settle, qOverload<>(&QTimer::start));
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, settle,
                qOverload<>(&QTimer::start));
    }
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    const QString set = docsPath(project + QStringLiteral("/PX_BookCategories.xml"));
    m_watcher->addPath(QFileInfo(set).path());
    if (QFileInfo::exists(set))
        m_watcher->addPath(set);
}

bool HostWindow::saveScreenshot(const QString& path, QString* error, QWidget* widget)
{
    const QString problem = screenshotProblem(path);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    QImageWriter writer(path, QFileInfo(path).suffix().toLower().toLatin1());
    if (writer.write((widget ? widget : this)->grab().toImage()))
        return true;
    if (error)
        *error = tr("Could not write the screenshot \"%1\": %2").arg(path, writer.errorString());
    return false;
}

QString HostWindow::callGetResString(qint16 id)
{
    const QString text = m_tab->GetResString(id);
    log(tr("host: GetResString(%1) = %2").arg(id).arg(quoted(text)));
    return text;
}

QString HostWindow::callCheckSpecialCharacters(const QString& word)
{
    const QString escaped = m_tab->mstrCheckSpecialCharacters(word);
    log(tr("host: mstrCheckSpecialCharacters(%1) = %2").arg(quoted(word), quoted(escaped)));
    return escaped;
}

bool HostWindow::callPXUpdateFiles(const QString& folder, const QString& productName, qint16 type)
{
    const QString call = tr("host: PXUpdateFiles(%1, %2, %3)")
                             .arg(quoted(QDir::toNativeSeparators(folder)), quoted(productName))
                             .arg(type);
    if (!isWithin(folder, m_dataRoot)) {
        log(call + tr(" refused: the folder is not inside the data root"));
        return false;
    }
    m_tab->PXUpdateFiles(folder, productName, type);
    log(call + tr(" done"));
    return true;
}

void HostWindow::chooseDataRoot()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("Open Data Root"), m_dataRoot);
    if (folder.isEmpty())
        return;
    if (!isDataRoot(folder)) {
        m_dialogs->messageBox(this,
                              tr("\"%1\" has no Docs folder, so it is not a data root.")
                                  .arg(QDir::toNativeSeparators(folder)),
                              tr("Open Data Root"), MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    rememberDataRoot(folder);
    setDataRoot(folder);
}

void HostWindow::chooseInstallType()
{
    bool ok = false;
    const int type = QInputDialog::getInt(this, tr("Install Type"),
                                          tr("Install type the developer settings report:"),
                                          m_installType, INT_MIN, INT_MAX, 1, &ok);
    if (!ok)
        return;
    rememberInstallType(type);
    setInstallType(type);
}

void HostWindow::askPXUpdateFiles()
{
    const QString project = m_tab->ProjectName();
    const QString start = project.isEmpty() ? m_dataRoot : docsPath(project);
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("PXUpdateFiles: folder whose page files to update"), start);
    if (folder.isEmpty())
        return;
    bool ok = false;
    const QString product = QInputDialog::getText(
        this, tr("PXUpdateFiles"), tr("Product name whose **token** becomes **%1**:").arg(project),
        QLineEdit::Normal, project, &ok);
    if (!ok || product.isEmpty())
        return;
    const QStringList types = {tr("0 - rewrite the token only"),
                               tr("1 - also delete the product's server archive there")};
    const QString type =
        QInputDialog::getItem(this, tr("PXUpdateFiles"), tr("Type:"), types, 0, false, &ok);
    if (!ok)
        return;
    if (!callPXUpdateFiles(folder, product, type == types.at(1) ? 1 : 0))
        m_dialogs->messageBox(this, tr("Choose a folder inside the data root."),
                              tr("PXUpdateFiles"), MessageIcon::Exclamation, MessageButtons::Ok);
}

void HostWindow::askGetResString()
{
    bool ok = false;
    const int id = QInputDialog::getInt(this, tr("GetResString"), tr("String id:"), 5545, -32768,
                                        32767, 1, &ok);
    if (ok)
        statusBar()->showMessage(quoted(callGetResString(static_cast<qint16>(id))));
}

void HostWindow::askCheckSpecialCharacters()
{
    bool ok = false;
    const QString word =
        QInputDialog::getText(this, tr("mstrCheckSpecialCharacters"), tr("Word to escape:"),
                              QLineEdit::Normal, QStringLiteral("Terms & Conditions"), &ok);
    if (ok)
        statusBar()->showMessage(quoted(callCheckSpecialCharacters(word)));
}

} // namespace globalstab::host
