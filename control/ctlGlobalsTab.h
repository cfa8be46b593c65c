#pragma once

#include "control/GlobalVariables.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "services/DeveloperServices.h"

#include <QStringList>
#include <QVariantList>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace globalstab {

// Installs, for the calling thread, the providers that components created afterwards use
// (and that existing ones use unless they were given their own). Passing nullptr restores
// the defaults: real Qt dialogs, and file-system services on the data root named by the
// environment variable GLOBALSTAB_DATA_ROOT with install type GLOBALSTAB_INSTALL_TYPE.
void installServiceProvider(std::shared_ptr<ServiceProvider> provider);
void installDialogProvider(std::shared_ptr<DialogProvider> provider);
std::shared_ptr<ServiceProvider> installedServiceProvider();
std::shared_ptr<DialogProvider> installedDialogProvider();

// The "Globals" tab: renames a project, edits its global pages and its hierarchical
// categories. The host sets ProjectName after creating it and listens to its events.
class ctlGlobalsTab : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString ProjectName READ ProjectName WRITE setProjectName NOTIFY ProjectNameChanged)
    Q_PROPERTY(QString PageName READ PageName WRITE setPageName NOTIFY PageNameChanged)

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

    // The text of a string-table entry; an unknown id reports an error and gives "".
    Q_INVOKABLE QString GetResString(qint16 iStringId);
    // Replaces "**" & vstrProductName & "**" by the open project's token in every page file
    // below objFolder; vintType 1 also deletes the product's server archive there.
    void PXUpdateFiles(const Folder& objFolder, const QString& vstrProductName,
                       qint16 vintType = 0);
    // The same for a folder path (as the component builds paths, or native).
    Q_INVOKABLE void PXUpdateFiles(const QString& folderPath, const QString& vstrProductName,
                                   qint16 vintType = 0);
    // The word escaped for XML ("@px@" becomes a blank, "?" a quote).
    Q_INVOKABLE QString mstrCheckSpecialCharacters(const QString& vstrCurWord);

    std::shared_ptr<ServiceProvider> serviceProvider() const;
    std::shared_ptr<DialogProvider> dialogProvider() const;

Q_SIGNALS:
    void ProjectNameChanged();
    void PageNameChanged();

    void OnprojectNameChange();
    void OnCategoryAddition();
    void OnCategoryDeletion();
    void OnAddGlobalPage(const QString& vstrFullLink, const QString& vstrBookName, bool vblnGlobal);
    void evtOnDeletionofGlobalPage(bool vblnGlobal);
    // Declared for hosts; never raised.
    void OnRefreshTree();

    // Emitted after each of the six events above, with its number and arguments.
    void eventRaised(int number, const QVariantList& arguments);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ctlGlobalsTabTestAccess;

    enum class ErrorForm
    {
        Standard,
        UserControl,
        BookTab
    };

    // --- control: view, start-up, errors
    void CreateView();
    void SetAccessibleTexts();
    void UserControl_Initialize();
    void SetToolTips();
    void LoadResource();
    void UserControl_Click();
    void ReportError(const char* procedure, const RuntimeError& error,
                     ErrorForm form = ErrorForm::Standard);
    template <typename Body>
    void Trap(const char* procedure, Body&& body, ErrorForm form = ErrorForm::Standard)
    {
        try {
            body();
        } catch (const RuntimeError& error) {
            ReportError(procedure, error, form);
        } catch (const std::exception& error) {
            ReportError(procedure, RuntimeError(rt::InternalError, QString::fromUtf8(error.what())),
                        form);
        }
    }
    MessageAnswer MsgBox(const QString& text, MessageButtons buttons = MessageButtons::Ok,
                         MessageIcon icon = MessageIcon::None, const QString& title = QString());
    // The string-table lookup without the error report; raises 5 for an unknown id.
    static QString LoadResString(int id);
    template <typename Service> std::unique_ptr<Service> CreateService();
    void SetBusyPointer(bool busy);
    // The hourglass for one scope; the pointer is back before an error report is shown.
    struct BusyPointerScope
    {
        explicit BusyPointerScope(ctlGlobalsTab* tab) : m_tab(tab) { m_tab->SetBusyPointer(true); }
        ~BusyPointerScope() { m_tab->SetBusyPointer(false); }
        BusyPointerScope(const BusyPointerScope&) = delete;
        BusyPointerScope& operator=(const BusyPointerScope&) = delete;

    private:
        ctlGlobalsTab* m_tab;
    };
    void RaiseEvent(EventNumber number, const QVariantList& arguments);

    // --- control: function lists and panel switching
    void cmdAdd_Click();
    void cmdEdit_Click();
    void lstAddItems_Click();
    void lstEditItems_Click();
    void UpdateUI(QString& strItem);
    void ListBoxVisible(bool& blnVisible);
    void fraAddEditGblPage_Click();
    void fraEditPrjNameID_Click();
    void FraHC_Click();

    // --- documents: paths and readers
    QString DocsFolder() const;         // root & "Docs\"
    QString ProjectFolder() const;      // root & "Docs\" & project
    QString GlobalFolder() const;       // ... & "\_Global Information\"
    QString GlobalBookPath() const;     // global folder & "Book_Global.xml"
    QString SelectionListPath() const;  // root & "Docs\" & "PX_Selection.XML"
    QString TocPath() const;            // root & "Docs\" & project & "\" & "PX_TOC.xml"
    QString BookCategoriesPath() const; // root & "Docs\" & project & "\" & "PX_BookCategories.xml"
    void LoadPageName();
    void GetGlobalPageInfo(QString& strPageName);
    QString GetPXAcro(const QString& strPath, const QString& strProjectName);
    void UpdatePXSelection();
    void PopulateCategories();

    // --- text checks
    bool bcheckCharacters(const QString& strText, const QString& strLabel);
    QString strCheckXMLCharacters(const QString& strText, const QString& strLabel);
    bool bCheckElement(const QString& strItem, QListWidget* lstList);

    // --- global pages
    void lstPages_Click();
    void txtPageName_KeyPress(int& KeyAscii);
    void cmdBrowse_Click();
    void cmdAddGblPage_Click();
    void cmdCancelGblPage_Click();
    void cmdDelGblPage_Click();
    void UpdateAddPageInfo();
    bool bValidateInputDynamicOptions();
    QString strParseFile(const QString& strPath);
    void EnterToFile(const QString& strPath, const QString& strText);

    // --- project information
    void CmdProjectNameApply_click();
    void cmdProjectNameCancel_Click();
    bool UpdatePXTocWithProdInfo();
    void UpdateProductInfoInBook(const QString& strBookPath, const QString& strBookFolder);

    // --- categories
    void GetCategories();
    void lblAvaBookCateLoad(const QStringList& astrCategories);
    void lstAvaBookCategories_Click();
    void txtCategoryName_GotFocus();
    void txtCategoryName_KeyPress(int& KeyAscii);
    void cmdApplyAddEditCate_Click();
    void cmdCategoryCancel_Click();
    void cmdCategoryDelete_Click();
    void PictureMoveUP2_MouseDown();
    void PictureMoveUP2_MouseUp();
    void PictureMoveDown2_MouseDown();
    void PictureMoveDown2_MouseUp();
    void imgMoveUp_Click();
    void imgMoveDown_Click();
    void DelCateFromXml(const QString& strPath, const QString& strCategory);
    void DelCateinPXTOC(const QString& strTocPath, const QString& strCategory);
    void delCateinBookXML(const QString& strBookPath, const QString& strCategory);
    void EditBookCateinPXTOC(const QString& strTocPath, const QString& strNewName,
                             const QString& strOldName);
    void GetBookAcroValue();

    // The file-open dialog: properties as the browse handler sets them, shown through the
    // dialog provider.
    struct FileOpenDialog
    {
        QString DialogTitle;
        QString Filter;
        QString FileName;
    };
    void ShowOpen(FileOpenDialog& dialog);

    std::shared_ptr<ServiceProvider> m_services;
    std::shared_ptr<DialogProvider> m_dialogs;

    // Members.
    QString mstrOldProjectName;
    QString mstrOldProjectId;
    QString mstrProjectId;
    QString mstrOldProjectRank;
    QString mstrProjectRank;
    QString mstrBookCategoriesPath;
    QString mstrDefaultCategoriesPath;
    QString mstrTocPath;
    QString mstrSelectedPageSource;
    QStringList mastrCategories;

    // The view.
    QListWidget* lstAddItems = nullptr;
    QListWidget* lstEditItems = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdAdd = nullptr;
    QGroupBox* fraEditPrjNameID = nullptr;
    QPushButton* cmdProjectNameCancel = nullptr;
    QPushButton* cmdProjectNameApply = nullptr;
    QLineEdit* txtPrjoectRank = nullptr;
    QLineEdit* txtProjectID = nullptr;
    QLineEdit* txtProjectName = nullptr;
    QLabel* lblProjectRank = nullptr;
    QLabel* lblProjectID = nullptr;
    QLabel* lblProjectName = nullptr;
    QGroupBox* FraHC = nullptr;
    QLabel* PictureMoveDown2 = nullptr;
    QLabel* PictureMoveDown1 = nullptr;
    QLabel* PictureMoveUP2 = nullptr;
    QLabel* PictureMoveUP1 = nullptr;
    QPushButton* cmdApplyAddEditCate = nullptr;
    QPushButton* cmdCategoryCancel = nullptr;
    QPushButton* cmdCategoryDelete = nullptr;
    QLineEdit* txtCategoryName = nullptr;
    QListWidget* lstAvaBookCategories = nullptr;
    QLabel* lblNote = nullptr;
    QLabel* lblCategoryName = nullptr;
    QLabel* lblAvailCatName = nullptr;
    QGroupBox* fraInfo = nullptr;
    QPushButton* cmdDelGblPage = nullptr;
    QGroupBox* fraAddEditGblPage = nullptr;
    QPushButton* cmdCancelGblPage = nullptr;
    QPushButton* cmdBrowse = nullptr;
    FileOpenDialog dlgFileOpen;
    QPushButton* cmdAddGblPage = nullptr;
    QLineEdit* txtSourceTo = nullptr;
    QLineEdit* txtPageName = nullptr;
    QLabel* lblTgtFrm = nullptr;
    QLabel* lblSourceto = nullptr;
    QLabel* lblPageName = nullptr;
    QListWidget* lstPages = nullptr;
    QLabel* lblListInfo = nullptr;
};

template <typename Service> std::unique_ptr<Service> ctlGlobalsTab::CreateService()
{
    const std::shared_ptr<ServiceProvider> provider = serviceProvider();
    std::unique_ptr<Service> service;
    if (provider) {
        if constexpr (std::is_same_v<Service, DeveloperSettingsService>)
            service = provider->createDeveloperSettingsService();
        else if constexpr (std::is_same_v<Service, ProjectRankService>)
            service = provider->createProjectRankService();
        else if constexpr (std::is_same_v<Service, GlobalBookService>)
            service = provider->createGlobalBookService();
        else if constexpr (std::is_same_v<Service, FileCopyService>)
            service = provider->createFileCopyService();
        else if constexpr (std::is_same_v<Service, BookEntryService>)
            service = provider->createBookEntryService();
        else if constexpr (std::is_same_v<Service, BookCategoryService>)
            service = provider->createBookCategoryService();
    }
    if (!service)
        raiseError(rt::CannotCreateObject,
                   QStringLiteral("Can't create object: the developer service is not available"));
    return service;
}

} // namespace globalstab

using globalstab::ctlGlobalsTab;
