#include "tests/support/TestSupport.h"

#include "control/ctlGlobalsTab.h"
#include "platform/FileSystem.h"

#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = "Docs/Orion Suite 2024/_Global Information/";
const QString Added = "Page is added to Global Information";
const QString Edited = "Global page is Edited successfully";

// The page panel of the sample project, with the host's events recorded.
struct PagePanel : TabHarness
{
    explicit PagePanel(const QString& function = "Add")
        : added(tab.get(), &ctlGlobalsTab::OnAddGlobalPage),
          deleted(tab.get(), &ctlGlobalsTab::evtOnDeletionofGlobalPage)
    {
        QObject::connect(tab.get(), &ctlGlobalsTab::OnAddGlobalPage,
                         [this] { shownAtEvent << dialogs->messages.size(); });
        pick(function, "Global Page");
    }
    void apply(const QString& name, const QString& source)
    {
        type("txtPageName", name);
        setText("txtSourceTo", source);
        dialogs->clear();
        click("cmdAddGblPage");
    }
    QString text(const char* edit) const { return widget<QLineEdit>(edit)->text(); }
    QString boxes() const { return text("txtPageName") + text("txtSourceTo"); }
    QByteArray book() const { return data.read(Orion + "Book_Global.xml"); }
    // The source of a page as the panel shows it from disk when the function is picked anew.
    QString sourceOf(const QString& page)
    {
        pick("Edit", "Global Page");
        clickItem("lstPages", page);
        return text("txtSourceTo");
    }
    QSignalSpy added;
    QSignalSpy deleted;
    QList<qsizetype> shownAtEvent; // messages shown when OnAddGlobalPage arrived
};

// The default services, except a global book whose GetGlobalPage fills in "partial" and
// raises `error`.
struct FailingPageServices : DefaultServiceProvider
{
    using DefaultServiceProvider::DefaultServiceProvider;
    int error = 0;
    std::unique_ptr<GlobalBookService> createGlobalBookService() override
    {
        using S = const QString&;
        struct Book : GlobalBookService
        {
            explicit Book(int error) : error(error) {}
            const int error;
            void AddGlobalBookToToc(S, S) override {}
            void CreateGlobalBook(S, S) override {}
            QString GetGlobalPage(S, S, QString& source) override
            {
                source = "partial";
                raiseError(error, "injected");
            }
            bool AddGlobalPage(S, S, S, S) override { return false; }
            void DeleteGlobalPage(S, S) override {}
            bool EditGlobalPage(S, S, S, S, S) override { return false; }
        };
        return std::make_unique<Book>(error);
    }
};

// Every file of the global folder with its bytes.
QMap<QString, QByteArray> globalFolder(const TabHarness& h)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(h.data.path(Orion), QDir::Files); it.hasNext();)
        files.insert(it.next(), h.data.read(Orion + it.fileName()));
    return files;
}

} // namespace

TEST(GlobalPageAdd, CopiesTheDocumentWritesTheBookAndTellsTheHost)
{
    PagePanel p;
    p.apply("Tom & Jerry", p.data.path("Library/Quick Tour.htm"));

    ASSERT_EQ(p.dialogs->texts(), QStringList{Added});
    ASSERT_EQ(p.shownAtEvent, QList<qsizetype>{1}); // one event, after the message
    EXPECT_EQ(p.added[0], (QVariantList{"Orion Suite 2024@px@Global@px@Tom &amp; Jerry",
                                        "Global Information", true}));
    EXPECT_EQ(p.boxes(), "");
    // Only the copy service brings an HTML page's companion folder along.
    EXPECT_EQ(p.data.read(Orion + "Quick Tour.htm"), p.data.read("Library/Quick Tour.htm"));
    EXPECT_TRUE(QFile::exists(p.data.path(Orion + "Quick Tour_files/tour.css")));
    EXPECT_EQ(p.items("lstPages"),
              (QStringList{"Welcome", "Terms & Conditions", "Keyboard Shortcuts", "Tom & Jerry"}));
}

TEST(GlobalPageAdd, StartsTheGlobalBookOfAProjectThatHasNone)
{
    PagePanel p;
    p.tab->setProjectName("Vega Toolkit 3");
    p.pick("Add", "Global Page");
    p.apply("Policy", p.data.path("Library/Support Policy.txt"));

    const QString vega = "Docs/Vega Toolkit 3/";
    EXPECT_TRUE(QFile::exists(p.data.path(vega + "_Global Information/Support Policy.txt")));
    EXPECT_TRUE(p.data.read(vega + "PX_TOC.xml").contains("Book_Global.xml"));
    EXPECT_TRUE(
        p.data.read(vega + "PX_BookCategories.xml").contains("<BookAcro>Global</BookAcro>"));
    EXPECT_EQ(p.items("lstPages"), QStringList{"Policy"});
}

TEST(GlobalPageAdd, EachRuleOfNameAndSourceAtItsEdge)
{
    const QString valid = "C:\\Docs\\manual.pdf";
    const QString badType = "Linked page should be of type XML,TXT,XLS,HTM,PDF or DOC";
    const QString badName = "Enter a Valid String for Page Name";
    const QString failed = "Global page Adding Failed";
    struct Case
    {
        QString name, source, message;
        bool nameFocused = false;
    } cases[] = {
        {"a@px@b", valid, "@px@can not be used for  Name"},
        {"a&lt;b", "", "&lt; can not be used for  Name"}, // the name is checked first
        {"   ", valid, badName, true},
        {" -3.5 ", valid, badName, true},
        {QString(101, 'x'), valid, "Page name should not exceed more than 100 characters", true},
        {"Page", "", "Enter a valid link file"},
        {"Page", "   ", badType},
        {"Page", "C:\\Docs\\picture.gif", badType},
        {"Page", "C:\\Docs\\Book_Global.xml", "Linked page can not be Book_Global.XML file"},
        // A listed name (in any letter case) with the source of the last clicked page: none.
        {"WELCOME", "", "Page Name Already Exists."},
        // With a new source it gets past the panel; the book refuses it, the host still hears.
        {"Welcome", "other.pdf", failed},
        // None of these sources exists: the page is linked by its file name, nothing is copied.
        {QString(100, 'x'), "C:\\Docs\\x.docx", Added},
        {"2024 Report", "report.txt.bak", Added},
        {"Page 1", "C:\\A.HTML.FILES\\x", Added},
    };
    PagePanel p;
    int events = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " | " + c.source.toStdString());
        const QByteArray before = p.book();
        p.apply(c.name, c.source);
        EXPECT_EQ(p.dialogs->texts(), QStringList{c.message});
        const bool passed = c.message == Added || c.message == failed;
        EXPECT_EQ(p.added.count(), events += passed);
        EXPECT_EQ(p.book() == before, c.message != Added);
        EXPECT_EQ(p.text("txtSourceTo"), passed ? "" : c.source);
        if (!passed) {
            EXPECT_EQ(p.tab->focusWidget() == p.widget<QLineEdit>("txtPageName"), c.nameFocused);
        }
    }
    EXPECT_EQ(p.sourceOf("2024 Report"), "report.txt.bak");
    EXPECT_EQ(p.sourceOf("Page 1"), "x");
}

TEST(GlobalPageEdit, ChangesNameSourceOrBothOfTheClickedPage)
{
    PagePanel p("Edit");
    p.clickItem("lstPages", "Keyboard Shortcuts");
    p.apply("Keyboard Shortcuts", "Shortcuts.txt"); // nothing changed
    EXPECT_EQ(p.dialogs->texts(), QStringList{"Page Name Already Exists."});

    p.apply("Hot & Keys", "Shortcuts.txt");
    EXPECT_EQ(p.dialogs->texts(), QStringList{Edited});
    EXPECT_EQ(p.added.last()[0], "Orion Suite 2024@px@Global@px@Hot &amp; Keys");

    p.clickItem("lstPages", "Welcome");
    p.apply("Welcome", p.data.path("Library/Glossary.xml"));
    EXPECT_EQ(p.dialogs->texts(), QStringList{Edited});

    // Onto another page's name with a new source: past the panel, refused by the book.
    p.clickItem("lstPages", "Welcome");
    p.apply("Hot & Keys", "C:\\elsewhere\\keys.txt");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"Global page Editing Failed"});

    EXPECT_EQ(p.items("lstPages"), (QStringList{"Welcome", "Terms & Conditions", "Hot & Keys"}));
    EXPECT_EQ(p.sourceOf("Welcome"), "Glossary.xml");
}

TEST(GlobalPageEdit, TypingNeedsASelectedPageAndCancelRestoresIt)
{
    PagePanel p("Edit");
    p.type("txtPageName", "x");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"To Edit, Select a Page from List"});
    EXPECT_EQ(p.boxes(), "");

    p.clickItem("lstPages", "Terms & Conditions");
    p.type("txtPageName", "Other");
    p.setText("txtSourceTo", "other.pdf");
    p.click("cmdCancelGblPage");
    EXPECT_EQ(p.boxes(), "Terms & ConditionsTerms.html");

    // Adding forgets the clicked page.
    p.pick("Add", "Global Page");
    p.type("txtPageName", "Free");
    p.setText("txtSourceTo", "free.txt");
    p.click("cmdCancelGblPage");
    EXPECT_EQ(p.boxes(), "");
    EXPECT_EQ(p.dialogs->messages.size(), 1);
}

TEST(GlobalPageDelete, AsksAndRemovesThePageNamedInTheBox)
{
    PagePanel p("Edit");
    p.click("cmdDelGblPage");
    ASSERT_EQ(p.dialogs->texts(), QStringList{"Select a  Valid Page to Delete"});

    // The box, not the selection, names the page.
    const QByteArray before = p.book();
    p.clickItem("lstPages", "Welcome");
    p.type("txtPageName", "Terms & Conditions");
    p.dialogs->clear();
    p.dialogs->queueAnswer(MessageAnswer::No);
    p.click("cmdDelGblPage");
    ASSERT_EQ(p.dialogs->texts(), QStringList{"Are you sure you want to Delete ?"});
    EXPECT_EQ(p.dialogs->messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(p.book(), before);

    p.click("cmdDelGblPage");
    EXPECT_EQ(QList<QVariantList>(p.deleted), QList<QVariantList>{{true}});
    EXPECT_EQ(p.boxes(), "");
    EXPECT_EQ(p.items("lstPages"), (QStringList{"Welcome", "Keyboard Shortcuts"}));
    EXPECT_TRUE(QFile::exists(p.data.path(Orion + "Terms.html"))); // the document stays
}

TEST(GlobalPageBrowse, PutsTheChosenFileIntoTheSourceBox)
{
    PagePanel p;
    p.setText("txtSourceTo", "kept.txt");
    p.click("cmdBrowse");
    EXPECT_EQ(p.dialogs->lastOpenTitle, "Select a File...");
    EXPECT_EQ(p.dialogs->lastOpenFilter, "All files(*.xml,*.xls,*.txt,*.pdf,*.doc,*.htm,*.html)|"
                                         "*.xml;*.xls;*.txt;*.pdf;*.htm;*.doc;*.html");
    EXPECT_EQ(p.text("txtSourceTo"), "kept.txt");
    p.dialogs->queueFileName("/data/guide.pdf");
    p.click("cmdBrowse");
    EXPECT_EQ(p.text("txtSourceTo"), "/data/guide.pdf");
}

TEST(GlobalPageHost, PageNameShowsThePageAndToleratesOnlyError9)
{
    PagePanel p;
    p.tab->setPageName("Terms & Conditions");
    EXPECT_EQ(p.text("txtPageName"), "Terms & Conditions");
    EXPECT_EQ(p.text("txtSourceTo"), "Terms.html");

    auto failing = std::make_shared<FailingPageServices>(p.data.root());
    installServiceProvider(failing);
    failing->error = rt::SubscriptOutOfRange;
    p.tab->setPageName("Gone");
    EXPECT_TRUE(p.dialogs->messages.isEmpty());
    EXPECT_EQ(p.text("txtPageName"), "Gone");
    EXPECT_EQ(p.text("txtSourceTo"), "partial");

    failing->error = rt::PermissionDenied;
    p.tab->setPageName("Locked");
    EXPECT_EQ(p.dialogs->texts(),
              QStringList{"Error (70 ):injected\rTovanel::ctlGlobalsTab - UpdateAddPageInfo"});
    EXPECT_EQ(p.text("txtPageName"), "Gone");
}

TEST(GlobalPageFailure, ReportsUnderTheHandlerAndLeavesTheFolderAsItWas)
{
    const std::pair<std::function<void(PagePanel&)>, QString> cases[] = {
        // A read-only copy in the global folder is not overwritten by the copy service.
        {[](PagePanel& p) {
             p.data.write(Orion + "Glossary.xml", "old");
             FileSystem().SetAttributes(p.data.path(Orion + "Glossary.xml"), FileSystem::ReadOnly);
         },
         "Library/Glossary.xml"},
        // A read-only global folder takes no plain copy.
        {[](PagePanel& p) { FileSystem().SetAttributes(p.data.path(Orion), FileSystem::ReadOnly); },
         "Library/Support Policy.txt"},
        // A book that does not parse is neither listed nor written over.
        {[](PagePanel& p) { p.data.write(Orion + "Book_Global.xml", "<Book_Master><Heading>"); },
         "notes.txt"},
    };
    for (const auto& [fault, source] : cases) {
        PagePanel p;
        fault(p);
        p.pick("Add", "Global Page");
        const QStringList listed = p.items("lstPages");
        const auto before = globalFolder(p);
        p.apply("Notes", p.data.root() + source);
        FileSystem().SetAttributes(p.data.path(Orion), FileSystem::Normal);
        ASSERT_EQ(p.dialogs->messages.size(), 1) << source.toStdString();
        EXPECT_TRUE(p.dialogs->texts()[0].endsWith("Tovanel::ctlGlobalsTab - cmdAddGblPage_Click"));
        EXPECT_EQ(globalFolder(p), before);
        EXPECT_EQ(p.items("lstPages"), listed);
        EXPECT_EQ(p.added.count(), 0);
    }
}
