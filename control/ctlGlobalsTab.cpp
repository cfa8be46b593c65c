#include "control/ctlGlobalsTab.h"

#include "categories/CategoriesPanel.h"
#include "control/GlobalVariables.h"
#include "control/ctlGlobalsTab_p.h"
#include "core/Action.h"
#include "core/DataRootLock.h"
#include "globalpages/GlobalPagesPanel.h"
#include "operations/PageTokens.h"
#include "platform/FileSystem.h"
#include "platform/Progress.h"
#include "platform/XmlDocument.h"
#include "projectinfo/ProjectInfoPanel.h"
#include "services/DefaultServices.h"
#include "view/Dialogs.h"
#include "view/ViewStyle.h"

#include <QEvent>
#include <QGroupBox>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSet>

#include <optional>
#include <typeinfo>

namespace globalstab {

namespace {
thread_local std::shared_ptr<ServiceProvider> t_services;
thread_local std::shared_ptr<DialogProvider> t_dialogs;
} // namespace

void installServiceProvider(std::shared_ptr<ServiceProvider> provider)
{
    t_services = std::move(provider);
}

void installDialogProvider(std::shared_ptr<DialogProvider> provider)
{
    t_dialogs = std::move(provider);
}

std::shared_ptr<ServiceProvider> installedServiceProvider()
{
    if (!t_services) {
        bool ok = false;
        const qint32 installType = qEnvironmentVariableIntValue("GLOBALSTAB_INSTALL_TYPE", &ok);
        t_services = std::make_shared<DefaultServiceProvider>(QString(), ok ? installType : 0);
    }
    return t_services;
}

std::shared_ptr<DialogProvider> installedDialogProvider()
{
    if (!t_dialogs)
        t_dialogs = std::make_shared<QtDialogProvider>();
    return t_dialogs;
}

ctlGlobalsTab::ctlGlobalsTab(QWidget* parent) : ctlGlobalsTab(nullptr, nullptr, parent) {}

ctlGlobalsTab::ctlGlobalsTab(std::shared_ptr<ServiceProvider> services,
                             std::shared_ptr<DialogProvider> dialogs, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>(this, std::move(services), std::move(dialogs)))
{
    d->createView();
    d->UserControl_Initialize();
    d->setAccessibleTexts();
}

// Nothing is held open, so nothing is written when the tab goes away; the trees kept for its
// next action go with it.
ctlGlobalsTab::~ctlGlobalsTab()
{
    DocumentCache::dropKeptTrees();
}

std::shared_ptr<ServiceProvider> ctlGlobalsTab::serviceProvider() const
{
    return d->services();
}

std::shared_ptr<DialogProvider> ctlGlobalsTab::dialogProvider() const
{
    return d->dialogOverride ? d->dialogOverride : installedDialogProvider();
}

// ---- properties ------------------------------------------------------------------------

QString ctlGlobalsTab::ProjectName() const
{
    return globalVariables().gstrProjectName;
}

void ctlGlobalsTab::setProjectName(const QString& vstrProjectName)
{
    trap(*d, "ProjectName", [&] {
        Global_Variables& g = globalVariables();
        std::unique_ptr<ProjectRankService> rankService = d->create<ProjectRankService>();
        g.gstrProjectName = vstrProjectName;
        d->info->showName(g.gstrProjectName);
        if (g.gstrRootPath.isEmpty())
            d->LoadResource();
        // The doubled separator is how this path has always been built; the file system
        // reads it as one.
        d->info->showId(d->GetPXAcro(g.gstrRootPath + QStringLiteral("Docs\\") +
                                         QStringLiteral("\\") + QStringLiteral("PX_Selection.XML"),
                                     g.gstrProjectName));
        d->info->showRank(rankService->GetProjectRank(g.gstrProjectName));
        d->info->keepShownIdAndRank();
        Q_EMIT ProjectNameChanged();
        d->LoadResource();
    });
}

QString ctlGlobalsTab::PageName() const
{
    return globalVariables().gstrPageName;
}

void ctlGlobalsTab::setPageName(const QString& value)
{
    trap(*d, "PageName", [&] {
        globalVariables().gstrPageName = value;
        Q_EMIT PageNameChanged();
        if (!value.isEmpty())
            d->pages->showNamedPage();
    });
}

bool ctlGlobalsTab::useApplicationStyle() const
{
    return d->applicationStyle;
}

void ctlGlobalsTab::setUseApplicationStyle(bool use)
{
    if (use == d->applicationStyle)
        return;
    d->applicationStyle = use;
    view::applyLook(this, !use);
    Q_EMIT useApplicationStyleChanged();
}

// ---- host services ---------------------------------------------------------------------

QString ctlGlobalsTab::GetResString(qint16 iStringId)
{
    return d->text(iStringId);
}

QString ctlGlobalsTab::mstrCheckSpecialCharacters(const QString& vstrCurWord)
{
    return d->escape(vstrCurWord);
}

void ctlGlobalsTab::PXUpdateFiles(const Folder& objFolder, const QString& vstrProductName,
                                  qint16 vintType)
{
    const auto action = d->beginAction("PXUpdateFiles");
    if (!action)
        return;
    const Global_Variables& g = globalVariables();
    try {
        const ObservedProgress progress(
            [this](int done, int total) { return d->progress(done, total); });
        rewritePageTokens(objFolder, {g.gstrRootPath, vstrProductName, g.gstrProjectName, vintType},
                          *d);
        d->progressEnded();
    } catch (const ActionCancelled&) {
        d->putBackAction();
    }
}

void ctlGlobalsTab::PXUpdateFiles(const QString& folderPath, const QString& vstrProductName,
                                  qint16 vintType)
{
    trap(*d, "PXUpdateFiles", [&] {
        const Folder folder = FileSystem().GetFolder(folderPath);
        PXUpdateFiles(folder, vstrProductName, vintType);
    });
}

// ---- events ----------------------------------------------------------------------------

void ctlGlobalsTab::Private::raiseEvent(EventNumber number, const QVariantList& arguments)
{
    // The host may read the files at once.
    commitWrites();
    switch (number) {
    case OnprojectNameChangeEvent:
        Q_EMIT q->OnprojectNameChange();
        break;
    case OnCategoryAdditionEvent:
        Q_EMIT q->OnCategoryAddition();
        break;
    case OnAddGlobalPageEvent:
        Q_EMIT q->OnAddGlobalPage(arguments.value(0).toString(), arguments.value(1).toString(),
                                  arguments.value(2).toBool());
        break;
    case evtOnDeletionofGlobalPageEvent:
        Q_EMIT q->evtOnDeletionofGlobalPage(arguments.value(0).toBool());
        break;
    case OnCategoryDeletionEvent:
        Q_EMIT q->OnCategoryDeletion();
        break;
    case OnRefreshTreeEvent:
        return;
    }
    Q_EMIT q->eventRaised(number, arguments);
}

void ctlGlobalsTab::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        d->backgroundClicked();
    QWidget::mousePressEvent(event);
}

// A click on a frame hides the function lists. fraInfo has no click handler.
bool ctlGlobalsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == d->pages->editorFrame()) {
            d->pagesPanelClicked();
            return true;
        }
        if (watched == d->info) {
            d->infoPanelClicked();
            return true;
        }
        if (watched == d->categories) {
            d->categoriesPanelClicked();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the panels' host ------------------------------------------------------------------

ctlGlobalsTab::Private::Private(ctlGlobalsTab* tab, std::shared_ptr<ServiceProvider> services,
                                std::shared_ptr<DialogProvider> dialogs)
    : q(tab), serviceOverride(std::move(services)), dialogOverride(std::move(dialogs))
{
}

MessageAnswer ctlGlobalsTab::Private::show(const Message& message)
{
    // A message is the user's moment to look at the files: they must hold what was said.
    commitWrites();
    return q->dialogProvider()->messageBox(q, message.text, message.title, message.icon,
                                           message.buttons);
}

ProjectContext ctlGlobalsTab::Private::project() const
{
    const Global_Variables& g = globalVariables();
    return {g.gstrRootPath, g.gstrProjectName, g.glngInstallType};
}

void ctlGlobalsTab::Private::setCurrentProjectName(const QString& name)
{
    globalVariables().gstrProjectName = name;
}

void ctlGlobalsTab::Private::setProjectName(const QString& name)
{
    q->setProjectName(name);
}

QString ctlGlobalsTab::Private::mode() const
{
    return globalVariables().gstrMode;
}

QString ctlGlobalsTab::Private::pageName() const
{
    return globalVariables().gstrPageName;
}

QString ctlGlobalsTab::Private::selectedPage() const
{
    return globalVariables().gstrSelectedPage;
}

void ctlGlobalsTab::Private::setSelectedPage(const QString& name)
{
    globalVariables().gstrSelectedPage = name;
}

QString ctlGlobalsTab::Private::selectedCategory() const
{
    return globalVariables().gstrSelectedCategory;
}

void ctlGlobalsTab::Private::setSelectedCategory(const QString& name)
{
    globalVariables().gstrSelectedCategory = name;
}

std::shared_ptr<ServiceProvider> ctlGlobalsTab::Private::services() const
{
    return serviceOverride ? serviceOverride : installedServiceProvider();
}

void ctlGlobalsTab::Private::setBusy(bool busy)
{
    if (busy)
        q->setCursor(Qt::WaitCursor);
    else
        q->unsetCursor();
}

QString ctlGlobalsTab::Private::openFileName(const QString& title, const QString& filter)
{
    return q->dialogProvider()->getOpenFileName(q, title, filter);
}

void ctlGlobalsTab::Private::updateUI(const QString& item)
{
    QString panel = item;
    showPanel(panel);
}

void ctlGlobalsTab::Private::loadPageName()
{
    pages->loadPages();
}

namespace {
// The shell's side of one action: the running procedure, the end reported as the procedure's
// error, and the documents it skipped told to the host once it ended. Services a host
// installed read the files themselves, so with them every save is made at once.
class ActionScope : public PanelHost::Action
{
public:
    ActionScope(Feedback& shell, ctlGlobalsTab* tab, const char*& running, const QString& root,
                const char* procedure, bool batched)
        : m_shell(shell), m_tab(tab), m_running(running), m_procedure(procedure),
          m_action(root, QString::fromLatin1(procedure), {.batched = batched})
    {
        m_outermost = m_running == nullptr;
        if (m_outermost)
            m_running = procedure;
    }
    ~ActionScope() override
    {
        trap(m_shell, m_procedure, [&] { m_action.end(); });
        if (m_outermost)
            m_running = nullptr;
        if (!m_action.joined())
            for (const SkippedDocument& skipped : m_action.skipped())
                Q_EMIT m_tab->documentSkipped(skipped.path, skipped.reason);
    }
    const globalstab::Action& action() const { return m_action; }

private:
    Feedback& m_shell;
    ctlGlobalsTab* m_tab;
    const char*& m_running;
    const char* m_procedure;
    bool m_outermost = false;
    globalstab::Action m_action;
};
} // namespace

std::unique_ptr<PanelHost::Action> ctlGlobalsTab::Private::beginAction(const char* procedure)
{
    const QString root = globalVariables().gstrRootPath;
    if (root.isEmpty())
        return std::make_unique<Action>();
    // A subclass may have services of its own that read the files: only the provider exactly
    // as shipped gets the batch.
    const std::shared_ptr<ServiceProvider> provider = services();
    const bool ownServices = provider && typeid(*provider) == typeid(DefaultServiceProvider);
    std::unique_ptr<ActionScope> scope;
    try {
        scope =
            std::make_unique<ActionScope>(*this, q, runningAction, root, procedure, ownServices);
    } catch (const RuntimeError& error) {
        // Another writer, or a journal that cannot be written: refused before any change.
        reportError(procedure, error);
        return nullptr;
    }
    if (const journal::Outcome& recovered = scope->action().recovered(); !recovered.empty())
        message(globalstab::Action::describeRecovery(recovered), MessageButtons::Ok,
                recovered.kept.isEmpty() && recovered.setAside.isEmpty()
                    ? MessageIcon::Information
                    : MessageIcon::Exclamation);
    return scope;
}

namespace {
// Below this many files an action ends before a progress dialog would be worth showing.
constexpr int ProgressFromFiles = 300;
} // namespace

bool ctlGlobalsTab::Private::progress(int done, int total)
{
    if (total < ProgressFromFiles)
        return false;
    showingProgress = true;
    return q->dialogProvider()->progress(q, done, total);
}

void ctlGlobalsTab::Private::progressEnded()
{
    if (std::exchange(showingProgress, false))
        q->dialogProvider()->progressEnded(q);
}

void ctlGlobalsTab::Private::putBackAction()
{
    progressEnded();
    globalstab::Action* action = globalstab::Action::active();
    try {
        if (action)
            action->putBack();
        message(QStringLiteral("The change was cancelled. Every file is as it was before."),
                MessageButtons::Ok, MessageIcon::Information);
    } catch (const RuntimeError& error) {
        // Not all of it could be put back now; the log stays for the next start.
        message(QStringLiteral("The change was cancelled, but not every file could be put back "
                               "yet; that is tried again at the next start: ") +
                    error.description(),
                MessageButtons::Ok, MessageIcon::Exclamation);
    }
}

void ctlGlobalsTab::Private::commitWrites()
{
    globalstab::Action* action = globalstab::Action::active();
    // The report of a failed commit shows a message, which commits first: not again.
    if (!action || committing)
        return;
    committing = true;
    const auto done = qScopeGuard([this] { committing = false; });
    try {
        action->commitWrites();
    } catch (const RuntimeError& error) {
        // What waited is dropped by now; no progress dialog stands over the report.
        progressEnded();
        reportError(runningAction ? runningAction : "PXUpdateFiles", error);
    }
}

void ctlGlobalsTab::Private::reportError(const char* procedure, const RuntimeError& error,
                                         ErrorForm form)
{
    if (globalstab::Action* action = globalstab::Action::active())
        action->errorReported();
    PanelHost::reportError(procedure, error, form);
}

void ctlGlobalsTab::Private::recoverDataRoot()
{
    static QSet<QString> recovered;
    const QString root = globalVariables().gstrRootPath;
    if (root.isEmpty() || recovered.contains(root) || globalstab::Action::active())
        return;
    // A writer at work holds the lock: whoever takes it next recovers what needs it.
    if (!DataRootLock::isFree(root))
        return;
    recovered.insert(root);
    try {
        const journal::Outcome outcome = globalstab::Action::recover(root);
        if (outcome.empty())
            return;
        message(globalstab::Action::describeRecovery(outcome), MessageButtons::Ok,
                outcome.kept.isEmpty() && outcome.setAside.isEmpty() ? MessageIcon::Information
                                                                     : MessageIcon::Exclamation);
    } catch (const RuntimeError& error) {
        message(QStringLiteral("Changes that could not be finished could not be put back: ") +
                    error.description(),
                MessageButtons::Ok, MessageIcon::Exclamation);
    }
}

} // namespace globalstab
