#include "control/ListHelpers.h"
#include "control/ctlGlobalsTab.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {
const QString GlobalBookName = QStringLiteral("Global Information");
const QString GlobalBookAcro = QStringLiteral("Global");
const QString LinkSeparator = QStringLiteral("@px@");

// Web pages and XML documents bring companion files that the copy service knows about.
bool copiedByService(const QString& source)
{
    const QString upper = source.toUpper();
    return upper.contains(QLatin1String(".HTM")) || upper.contains(QLatin1String(".XML"));
}
} // namespace

void ctlGlobalsTab::lstPages_Click()
{
    Trap("lstPages_Click", [&] {
        if (fraAddEditGblPage->isHidden() || globalVariables().gstrMode != QLatin1String("EDIT"))
            return;
        cmdAddGblPage->setEnabled(true);
        QString page = listText(lstPages);
        globalVariables().gstrSelectedPage = page;
        txtPageName->setText(page);
        GetGlobalPageInfo(page);
        mstrSelectedPageSource = txtSourceTo->text().trimmed();
    });
}

void ctlGlobalsTab::txtPageName_KeyPress(int& KeyAscii)
{
    Trap("txtPageName_KeyPress", [&] {
        if (globalVariables().gstrMode == QLatin1String("EDIT") && listIndex(lstPages) == -1) {
            MsgBox(GetResString(9025), MessageButtons::Ok, MessageIcon::Information);
            KeyAscii = 0;
        }
    });
}

void ctlGlobalsTab::cmdBrowse_Click()
{
    Trap("cmdBrowse_Click", [&] {
        dlgFileOpen.DialogTitle = QStringLiteral("Select a File...");
        dlgFileOpen.Filter = QStringLiteral("All files(*.xml,*.xls,*.txt,*.pdf,*.doc,*.htm,*.html)"
                                            "|*.xml;*.xls;*.txt;*.pdf;*.htm;*.doc;*.html");
        ShowOpen(dlgFileOpen);
        if (!dlgFileOpen.FileName.isEmpty())
            txtSourceTo->setText(dlgFileOpen.FileName);
    });
}

void ctlGlobalsTab::cmdAddGblPage_Click()
{
    Trap("cmdAddGblPage_Click", [&] {
        Global_Variables& g = globalVariables();
        FileSystem fso;
        std::unique_ptr<GlobalBookService> book = CreateService<GlobalBookService>();
        std::unique_ptr<FileCopyService> copier = CreateService<FileCopyService>();
        std::unique_ptr<BookEntryService> entries = CreateService<BookEntryService>();

        // A listed name passes when the source changes: that is how a page gets a new
        // document under its old name.
        const bool listed = !bCheckElement(txtPageName->text(), lstPages);
        const bool unchanged = txtSourceTo->text().trimmed() == mstrSelectedPageSource;
        if (listed && unchanged) {
            MsgBox(GetResString(5549), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        if (!bValidateInputDynamicOptions())
            return;

        const QString source = txtSourceTo->text();
        const QString fileName = FileSystem::GetFileName(source);
        const QString globalFolder = GlobalFolder();
        const QString bookPath = GlobalBookPath();
        if (!fso.FolderExists(globalFolder))
            fso.CreateFolder(globalFolder);

        // A source that is gone is not an error here: the page may name a document that
        // the author brings in later.
        if (fso.FileExists(source)) {
            if (copiedByService(source))
                copier->mbCopyFiles(0, 0, source, globalFolder);
            else
                fso.CopyFile(source, globalFolder + fileName, true);
        }

        if (!fso.FileExists(bookPath)) {
            if (!fso.FolderExists(globalFolder))
                fso.CreateFolder(globalFolder);
            book->CreateGlobalBook(globalFolder, g.gstrProjectName);
        }

        const QString escapedName = mstrCheckSpecialCharacters(txtPageName->text());
        if (g.gstrMode == QLatin1String("ADD")) {
            if (book->AddGlobalPage(bookPath, escapedName, fileName, QString())) {
                entries->AddBookEntry(GlobalBookName, GlobalBookAcro, BookCategoriesPath());
                MsgBox(GetResString(114), MessageButtons::Ok, MessageIcon::Information);
            } else {
                MsgBox(GetResString(145), MessageButtons::Ok, MessageIcon::Information);
            }
        } else if (g.gstrMode == QLatin1String("EDIT")) {
            if (book->EditGlobalPage(bookPath, escapedName, fileName, QString(),
                                     g.gstrSelectedPage))
                MsgBox(GetResString(115), MessageButtons::Ok, MessageIcon::Information);
            else
                MsgBox(GetResString(142), MessageButtons::Ok, MessageIcon::Information);
        }

        // The host refreshes its tree from the book whatever the service answered.
        book->AddGlobalBookToToc(TocPath(), g.gstrProjectName);
        const QString link = g.gstrProjectName + LinkSeparator + GlobalBookAcro + LinkSeparator +
                             mstrCheckSpecialCharacters(txtPageName->text());
        RaiseEvent(OnAddGlobalPageEvent, {link, GlobalBookName, true});
        book.reset();
        copier.reset();

        LoadPageName();
        QString panel = QStringLiteral("Global Page");
        UpdateUI(panel);
    });
}

void ctlGlobalsTab::cmdCancelGblPage_Click()
{
    Trap(
        "cmdCancelGblPage_Click",
        [&] {
            const Global_Variables& g = globalVariables();
            if (g.gstrMode == QLatin1String("ADD")) {
                txtPageName->clear();
                txtSourceTo->clear();
            } else if (g.gstrMode == QLatin1String("EDIT")) {
                txtPageName->setText(g.gstrSelectedPage);
                QString page = listText(lstPages);
                GetGlobalPageInfo(page);
            }
        },
        ErrorForm::UserControl);
}

void ctlGlobalsTab::cmdDelGblPage_Click()
{
    Trap("cmdDelGblPage_Click", [&] {
        if (txtPageName->text().isEmpty()) {
            MsgBox(GetResString(134), MessageButtons::Ok, MessageIcon::Critical);
            LoadPageName();
            return;
        }
        if (MsgBox(GetResString(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::No) {
            LoadPageName();
            return;
        }
        std::unique_ptr<GlobalBookService> book = CreateService<GlobalBookService>();
        // The page named in the box goes, whichever entry is selected; its document stays.
        book->DeleteGlobalPage(GlobalBookPath(), mstrCheckSpecialCharacters(txtPageName->text()));
        book.reset();
        txtPageName->clear();
        txtSourceTo->clear();
        RaiseEvent(evtOnDeletionofGlobalPageEvent, {true});
        LoadPageName();
    });
}

void ctlGlobalsTab::UpdateAddPageInfo()
{
    Trap("UpdateAddPageInfo", [&] {
        const Global_Variables& g = globalVariables();
        std::unique_ptr<GlobalBookService> book = CreateService<GlobalBookService>();
        QString source;
        try {
            book->GetGlobalPage(GlobalBookPath(), g.gstrPageName, source);
        } catch (const RuntimeError& error) {
            // Subscript out of range is let pass: the name is shown all the same, with
            // whatever source the service left.
            if (error.number() != rt::SubscriptOutOfRange)
                throw;
        }
        txtSourceTo->setText(source);
        txtPageName->setText(g.gstrPageName);
        book.reset();
    });
}

} // namespace globalstab
