#pragma once

#include "host/HostOptions.h"

#include <QMainWindow>
#include <QVariantList>

#include <optional>

#include <memory>

class QActionGroup;
class QComboBox;
class QGroupBox;
class QListWidget;
class QFileSystemWatcher;
class QTreeWidget;
class QVBoxLayout;

namespace globalstab {
class ctlGlobalsTab;
class DefaultServiceProvider;
class DialogProvider;
struct ChangePreview;
} // namespace globalstab

namespace globalstab::host {

class PlanView;

// A small authoring-tool shell around the Globals tab: a project chooser, the tab, the
// category tree of the open project and a log of every event the tab raises.
class HostWindow : public QMainWindow
{
    Q_OBJECT
public:
    // dialogs: what the tab shows its messages through (real Qt dialogs when null).
    HostWindow(const QString& dataRoot, qint32 installType,
               std::shared_ptr<DialogProvider> dialogs = nullptr, QWidget* parent = nullptr);
    ~HostWindow() override;

    ctlGlobalsTab* tab() const { return m_tab; }
    QString dataRoot() const { return m_dataRoot; }
    qint32 installType() const { return m_installType; }
    QComboBox* projectChooser() const { return m_projects; }
    QTreeWidget* categoryTree() const { return m_categories; }
    QListWidget* eventLog() const { return m_log; }

    // Selects the project in the chooser and opens it in the tab; false when the selection
    // list has no such project.
    bool openProject(const QString& name);
    // Opens the "Add" or "Edit" function list and picks the entry, through the tab's own
    // buttons and lists as a user would; false (with *error) when the list lacks the entry.
    bool pick(const PickRequest& request, QString* error = nullptr);
    // Writes the window, or widget, as an image file in the format of its extension.
    bool saveScreenshot(const QString& path, QString* error = nullptr, QWidget* widget = nullptr);

    // The host services of the tab; each call and its result go to the log.
    QString callGetResString(qint16 id);
    QString callCheckSpecialCharacters(const QString& word);
    // Puts back the last change of the data root, as the Edit menu does; false when there
    // was none or a file of it changed since (the user is told either way).
    bool undoLastChange();
    // The files a rename of the open project to newName would change, computed without
    // writing (id and rank stay as they are), and the view that shows them (Edit > Preview
    // Project Rename). Null when no project is open or the rename is refused; the user is
    // told why.
    PlanView* previewProjectRename(const QString& newName);
    // The same for a category of the open project: renamed to newName, or deleted when
    // newName is nullopt (Edit > Preview Category Rename / Delete).
    PlanView* previewCategoryChange(const QString& name, const std::optional<QString>& newName);
    // Checks the open project for drift between its documents, as Edit > Check Project
    // does; the findings, one line each (also shown and logged).
    QStringList checkProject();
    // Refuses folders outside the data root, as the host must never write elsewhere.
    bool callPXUpdateFiles(const QString& folder, const QString& productName, qint16 type);

public Q_SLOTS:
    // Both recreate the tab: the tab reads its data root and install type when created.
    void setDataRoot(const QString& dataRoot);
    void setInstallType(qint32 installType);
    // The chooser follows the tab's project name (after a rename).
    void followProjectName();
    // Shows the categories of the open project and the books filed under each.
    void refreshCategoryTree();

private Q_SLOTS:
    void onEventRaised(int number, const QVariantList& arguments);

private:
    PlanView* showPlan(const QString& what, const ChangePreview& preview);
    void createMenus();
    void recreateTab();
    void reloadProjects();
    void log(const QString& line);
    void updateStatus();
    QString docsPath(const QString& relative) const;
    void watchCategorySet(const QString& project);

    void chooseDataRoot();
    void chooseInstallType();
    void askPXUpdateFiles();
    void askGetResString();
    void askCheckSpecialCharacters();

    QString m_dataRoot;
    qint32 m_installType = 0;
    std::shared_ptr<DefaultServiceProvider> m_services;
    std::shared_ptr<DialogProvider> m_dialogs;

    ctlGlobalsTab* m_tab = nullptr;
    QVBoxLayout* m_tabColumn = nullptr;
    QComboBox* m_projects = nullptr;
    QGroupBox* m_categoryBox = nullptr;
    QTreeWidget* m_categories = nullptr;
    QListWidget* m_log = nullptr;
    QActionGroup* m_installTypes = nullptr;
    QFileSystemWatcher* m_watcher = nullptr;
};

} // namespace globalstab::host
