#pragma once

#include "core/Feedback.h"
#include "documents/ProjectContext.h"
#include "services/ServiceFactory.h"

#include <QString>

#include <functional>
#include <memory>

class QListWidget;
class QWidget;

namespace globalstab {

// What a panel of the tab may ask of the shell that holds it: the shared state, the string
// table, the dialogs, the services and the host's events. The shell alone touches the
// thread-wide state; panels see it through here.
class PanelHost : public Feedback
{
public:
    // The open project as the thread-wide state has it.
    virtual ProjectContext project() const = 0;
    // Sets the thread-wide project name only (the property's work is not run).
    virtual void setCurrentProjectName(const QString& name) = 0;
    // Runs the ProjectName property, as a host setting it does.
    virtual void setProjectName(const QString& name) = 0;
    virtual QString mode() const = 0; // "ADD", "EDIT" or empty
    virtual QString pageName() const = 0;
    virtual QString selectedPage() const = 0;
    virtual void setSelectedPage(const QString& name) = 0;
    virtual QString selectedCategory() const = 0;
    virtual void setSelectedCategory(const QString& name) = 0;
    // The paths the start-up work keeps.
    virtual QString tocPathAtLoad() const = 0;
    virtual QString defaultCategoriesPath() const = 0;

    virtual std::shared_ptr<ServiceProvider> services() const = 0;
    // What the host hears of a panel's work; the shell raises its events for them.
    virtual void projectRenamed() = 0;
    virtual void categoryAdded() = 0;
    virtual void categoryDeleted() = 0;
    virtual void globalPageAdded(const QString& link, const QString& bookName) = 0;
    virtual void globalPageDeleted() = 0;
    virtual void setBusy(bool busy) = 0;
    // How far an action that touches many files got; true when the user asked to stop it.
    // Actions of a few hundred files or fewer show nothing.
    virtual bool progress(int done, int total) = 0;
    virtual void progressEnded() = 0;
    // Makes the saves that wait in the action's batch durable now, reporting a failure as a
    // message or event would; while progress is observed the user can stop it meanwhile.
    virtual void commitWrites() = 0;
    // The user stopped the running action: drops the saves that wait, puts back every change
    // it made and says so in one message.
    virtual void putBackAction() = 0;
    // The file-open dialog; an empty result when the user cancelled.
    virtual QString openFileName(const QString& title, const QString& filter) = 0;
    // Shows a panel ("Global Page", "Project Info", "Hierarchical Category").
    virtual void updateUI(const QString& item) = 0;
    // Reads the global page list afresh.
    virtual void loadPageName() = 0;

    // One user action: it holds the data root for itself, its writes stay below the data
    // root and go through the journal, until the returned scope ends. Nested actions join
    // the outer one. nullptr when the action is refused before any change (another writer
    // keeps the data root, or the journal cannot be written): that is reported already.
    class Action
    {
    public:
        virtual ~Action() = default;
    };
    virtual std::unique_ptr<Action> beginAction(const char* procedure) = 0;

    template <typename Service> std::unique_ptr<Service> create() const
    {
        return createService<Service>(services().get());
    }

    // The procedures every panel shares, each with its own error report.
    QString text(int id);                                            // GetResString
    QString escape(const QString& word);                             // mstrCheckSpecialCharacters
    bool checkCharacters(const QString& text, const QString& label); // bcheckCharacters
    QString checkXmlCharacters(const QString& text, const QString& label); // strCheckXMLCharacters
    bool checkElement(const QString& item, const QListWidget* list);       // bCheckElement
};

// The hourglass for one scope; the pointer is back before an error report is shown.
class BusyScope
{
public:
    explicit BusyScope(PanelHost& host) : m_host(host) { m_host.setBusy(true); }
    ~BusyScope() { m_host.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    PanelHost& m_host;
};

// A list box of the tab holds one selected entry at most; its "list index" is the row of
// that entry, or -1 when nothing is selected.
int listIndex(const QListWidget* list);
// The text of the selected entry, empty when nothing is selected.
QString listText(const QListWidget* list);
// Selects entry index (as setting the list index does); -1 clears the selection.
void setListIndex(QListWidget* list, int index);
QStringList listEntries(const QListWidget* list);
// Return, Enter and Space on the list select its current entry and run activated() once, as
// a click on that entry does; Escape runs escaped() when one is given.
void activateByKeyboard(QListWidget* list, std::function<void()> activated,
                        std::function<void()> escaped = {});
void setListEntries(QListWidget* list, const QStringList& entries);

} // namespace globalstab
