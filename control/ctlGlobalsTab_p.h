#pragma once

#include "control/ctlGlobalsTab.h"
#include "view/PanelHost.h"

class QListWidget;
class QPushButton;

namespace globalstab {

class CategoriesPanel;
class GlobalPagesPanel;
class ProjectInfoPanel;

// The shell behind the tab: the function lists, the switching between the panels, the
// shared state, the events and the host services. The panels reach it as their PanelHost.
class GLOBALSTAB_NO_EXPORT ctlGlobalsTab::Private : public PanelHost
{
public:
    Private(ctlGlobalsTab* tab, std::shared_ptr<ServiceProvider> services,
            std::shared_ptr<DialogProvider> dialogs);

    void createView();
    void setAccessibleTexts();
    void UserControl_Initialize();
    void SetToolTips();
    void LoadResource();
    void backgroundClicked();
    QString GetPXAcro(const QString& path, const QString& projectName);

    void addClicked();
    void editClicked();
    void addItemChosen();
    void editItemChosen();
    void showPanel(const QString& item);
    void ListBoxVisible(bool& visible);
    void pagesPanelClicked();
    void infoPanelClicked();
    void categoriesPanelClicked();
    void focusShownPanel();
    void closeFunctionLists();

    // PanelHost
    MessageAnswer show(const Message& message) override;
    ProjectContext project() const override;
    void setCurrentProjectName(const QString& name) override;
    void setProjectName(const QString& name) override;
    QString mode() const override;
    QString pageName() const override;
    QString selectedPage() const override;
    void setSelectedPage(const QString& name) override;
    QString selectedCategory() const override;
    void setSelectedCategory(const QString& name) override;
    QString tocPathAtLoad() const override { return tocPath; }
    QString defaultCategoriesPath() const override { return defaultsPath; }
    std::shared_ptr<ServiceProvider> services() const override;
    void projectRenamed() override { raiseEvent(OnprojectNameChangeEvent, {}); }
    void categoryAdded() override { raiseEvent(OnCategoryAdditionEvent, {}); }
    void categoryDeleted() override { raiseEvent(OnCategoryDeletionEvent, {}); }
    void globalPageAdded(const QString& link, const QString& bookName) override
    {
        raiseEvent(OnAddGlobalPageEvent, {link, bookName, true});
    }
    void globalPageDeleted() override { raiseEvent(evtOnDeletionofGlobalPageEvent, {true}); }
    void raiseEvent(EventNumber number, const QVariantList& arguments);
    void setBusy(bool busy) override;
    bool progress(int done, int total) override;
    void progressEnded() override;
    void putBackAction() override;
    QString openFileName(const QString& title, const QString& filter) override;
    void updateUI(const QString& item) override;
    void loadPageName() override;
    std::unique_ptr<Action> beginAction(const char* procedure) override;
    void reportError(const char* procedure, const RuntimeError& error,
                     ErrorForm form = ErrorForm::Standard) override;
    void commitWrites() override;
    // Puts back what an interrupted action of the data root left, once per process and
    // root, and says so in one message.
    void recoverDataRoot();

    ctlGlobalsTab* const q;
    std::shared_ptr<ServiceProvider> serviceOverride;
    std::shared_ptr<DialogProvider> dialogOverride;

    QString tocPath;      // the table of contents of the project at the last start-up work
    QString defaultsPath; // the data root's default categories
    bool applicationStyle = false;
    const char* runningAction = nullptr; // the procedure of the outermost running action
    bool showingProgress = false;
    bool committing = false; // a commit runs, or reports its failure

    ProjectInfoPanel* info = nullptr;
    CategoriesPanel* categories = nullptr;
    GlobalPagesPanel* pages = nullptr;
    QListWidget* lstAddItems = nullptr;
    QListWidget* lstEditItems = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdAdd = nullptr;
};

} // namespace globalstab
