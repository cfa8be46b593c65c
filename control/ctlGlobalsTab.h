#pragma once

#include <globalstab/globalstab_export.h>

#include <QString>
#include <QVariantList>
#include <QWidget>

#include <memory>

namespace globalstab {

class DialogProvider;
class Folder;
class ServiceProvider;

// Installs, for the calling thread, the providers that tabs created afterwards use (and that
// existing ones use unless they were given their own). Passing nullptr restores the
// defaults: real Qt dialogs, and file-system services on the data root named by the
// environment variable GLOBALSTAB_DATA_ROOT with install type GLOBALSTAB_INSTALL_TYPE.
GLOBALSTAB_EXPORT void installServiceProvider(std::shared_ptr<ServiceProvider> provider);
GLOBALSTAB_EXPORT void installDialogProvider(std::shared_ptr<DialogProvider> provider);
GLOBALSTAB_EXPORT std::shared_ptr<ServiceProvider> installedServiceProvider();
GLOBALSTAB_EXPORT std::shared_ptr<DialogProvider> installedDialogProvider();

// The "Globals" tab: renames a project, edits its global pages and its hierarchical
// categories. The host sets ProjectName after creating it and listens to its events.
class GLOBALSTAB_EXPORT ctlGlobalsTab : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString ProjectName READ ProjectName WRITE setProjectName NOTIFY ProjectNameChanged)
    Q_PROPERTY(QString PageName READ PageName WRITE setPageName NOTIFY PageNameChanged)
    Q_PROPERTY(bool useApplicationStyle READ useApplicationStyle WRITE setUseApplicationStyle NOTIFY
                   useApplicationStyleChanged)

public:
    // The number under which each event is raised to the host.
    enum EventNumber
    {
        OnprojectNameChangeEvent = 1,
        OnCategoryAdditionEvent = 2,
        OnAddGlobalPageEvent = 3,
        evtOnDeletionofGlobalPageEvent = 4,
        OnRefreshTreeEvent = 5,
        OnCategoryDeletionEvent = 6,
    };
    Q_ENUM(EventNumber)

    // Uses the providers installed for this thread.
    explicit ctlGlobalsTab(QWidget* parent = nullptr);
    // Uses the given providers; a nullptr falls back to the thread's.
    ctlGlobalsTab(std::shared_ptr<ServiceProvider> services,
                  std::shared_ptr<DialogProvider> dialogs, QWidget* parent = nullptr);
    ~ctlGlobalsTab() override;

    // The open project (thread-wide). Setting it loads the project info panel.
    QString ProjectName() const;
    void setProjectName(const QString& vstrProjectName);
    // The page shown in the page panel (thread-wide); a non-empty value loads it.
    QString PageName() const;
    void setPageName(const QString& value);

    // False (the default) keeps the tab's designed look: its own greys with dark text, and
    // Verdana 8.25. True gives it the application's palette and font instead.
    bool useApplicationStyle() const;
    void setUseApplicationStyle(bool use);

    // The text of a string-table entry; an unknown id reports an error and gives "".
    Q_INVOKABLE QString GetResString(qint16 iStringId);
    // Replaces "**" & vstrProductName & "**" by the open project's token in every page file
    // below objFolder; vintType 1 also deletes the product's server archive there. A folder
    // outside the data root is refused (error 70).
    void PXUpdateFiles(const Folder& objFolder, const QString& vstrProductName,
                       qint16 vintType = 0);
    // The same for a folder path (as the tab builds paths, or native).
    Q_INVOKABLE void PXUpdateFiles(const QString& folderPath, const QString& vstrProductName,
                                   qint16 vintType = 0);
    // The word escaped for XML ("@px@" becomes a blank, "?" a quote).
    Q_INVOKABLE QString mstrCheckSpecialCharacters(const QString& vstrCurWord);

    std::shared_ptr<ServiceProvider> serviceProvider() const;
    std::shared_ptr<DialogProvider> dialogProvider() const;

Q_SIGNALS:
    void ProjectNameChanged();
    void PageNameChanged();
    void useApplicationStyleChanged();

    void OnprojectNameChange();
    void OnCategoryAddition();
    void OnCategoryDeletion();
    void OnAddGlobalPage(const QString& vstrFullLink, const QString& vstrBookName, bool vblnGlobal);
    void evtOnDeletionofGlobalPage(bool vblnGlobal);
    // Declared for hosts; never raised.
    void OnRefreshTree();

    // Emitted after each of the five events raised above, with its number and arguments.
    void eventRaised(int number, const QVariantList& arguments);

    // After an action ends, once for each document it left as it was because the document
    // could not be read (path and why). The tab's own messages stay silent about some of
    // these; a host can log or show them. Not one of the six events.
    void documentSkipped(const QString& path, const QString& reason);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace globalstab
