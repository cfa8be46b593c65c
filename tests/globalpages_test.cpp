#include "tests/support/TestSupport.h"

#include "control/ctlGlobalsTab.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

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
    QByteArray book() const { return data.read(Orion + "Book_Global.xml"); }
    bool inGlobalFolder(const QString& file) const
    {
        return QFile::exists(data.path(Orion + file));
    }
    // The pages as the panel lists them from disk when the function is picked anew.
    QStringList listedPages()
    {
        pick("Edit", "Global Page");
        return items("lstPages");
    }
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

// Default services, except that a non-zero pageError makes GetGlobalPage fill in "partial"
// and fail, and that the copy service may find its source gone.
class FaultyServices : public DefaultServiceProvider
{
public:
    using DefaultServiceProvider::DefaultServiceProvider;
    int pageError = 0;
    bool sourceVanishes = false;

    std::unique_ptr<GlobalBookService> createGlobalBookService() override
    {
        struct FailingBook : GlobalBookService
        {
            int error = 0;
            void AddGlobalBookToToc(const QString&, const QString&) override {}
            void CreateGlobalBook(const QString&, const QString&) override {}
            QString GetGlobalPage(const QString&, const QString&, QString& source) override
            {
                source = "partial";
                raiseError(error, "injected");
            }
            bool AddGlobalPage(const QString&, const QString&, const QString&,
                               const QString&) override
            {
                return false;
            }
            void DeleteGlobalPage(const QString&, const QString&) override {}
            bool EditGlobalPage(const QString&, const QString&, const QString&, const QString&,
                                const QString&) override
            {
                return false;
            }
        };
        if (!pageError)
            return DefaultServiceProvider::createGlobalBookService();
        auto book = std::make_unique<FailingBook>();
        book->error = pageError;
        return book;
    }
    std::unique_ptr<FileCopyService> createFileCopyService() override
    {
        struct VanishingSource : FileCopyService
        {
            std::unique_ptr<FileCopyService> real;
            void mbCopyFiles(int a, int b, const QString& source, const QString& folder) override
            {
                QFile::remove(FileSystem::resolve(source));
                real->mbCopyFiles(a, b, source, folder);
            }
        };
        if (!sourceVanishes)
            return DefaultServiceProvider::createFileCopyService();
        auto copy = std::make_unique<VanishingSource>();
        copy->real = DefaultServiceProvider::createFileCopyService();
        return copy;
    }
};

std::shared_ptr<FaultyServices> installFaulty(TabHarness& h)
{
    auto faulty = std::make_shared<FaultyServices>(h.data.root());
    installServiceProvider(faulty);
    return faulty;
}

// One error report under the apply's name, the book as it was, and no event.
void expectReported(PagePanel& p, const QByteArray& book)
{
    ASSERT_EQ(p.dialogs->messages.size(), 1);
    EXPECT_TRUE(p.dialogs->texts()[0].endsWith("Tovanel::ctlGlobalsTab - cmdAddGblPage_Click"))
        << p.dialogs->texts()[0].toStdString();
    EXPECT_EQ(p.book(), book);
    EXPECT_EQ(p.added.count(), 0);
}

} // namespace

TEST(GlobalPageAdd, CopiesTheDocumentWritesTheBookAndTellsTheHost)
{
    PagePanel p;
    p.apply("Tom & Jerry", p.data.path("Library/Quick Tour.htm"));

    ASSERT_EQ(p.dialogs->texts(), QStringList{Added});
    EXPECT_EQ(p.dialogs->messages[0].icon, MessageIcon::Information);
    ASSERT_EQ(p.added.count(), 1);
    EXPECT_EQ(p.shownAtEvent, QList<qsizetype>{1});
    EXPECT_EQ(p.added[0], (QVariantList{"Orion Suite 2024@px@Global@px@Tom &amp; Jerry",
                                        "Global Information", true}));
    EXPECT_TRUE(p.text("txtPageName").isEmpty() && p.text("txtSourceTo").isEmpty());
    // Only the copy service brings an HTML page's companion folder along.
    EXPECT_EQ(p.data.read(Orion + "Quick Tour.htm"), p.data.read("Library/Quick Tour.htm"));
    EXPECT_TRUE(p.inGlobalFolder("Quick Tour_files/tour.css"));
    EXPECT_EQ(p.listedPages(),
              (QStringList{"Welcome", "Terms & Conditions", "Keyboard Shortcuts", "Tom & Jerry"}));
    EXPECT_EQ(p.sourceOf("Tom & Jerry"), "Quick Tour.htm");
}

TEST(GlobalPageAdd, StartsTheGlobalBookOfAProjectThatHasNone)
{
    PagePanel p;
    p.tab->setProjectName("Vega Toolkit 3");
    p.pick("Add", "Global Page");
    p.apply("Policy", p.data.path("Library/Support Policy.txt"));

    EXPECT_EQ(p.dialogs->texts(), QStringList{Added});
    EXPECT_EQ(p.added[0][0], "Vega Toolkit 3@px@Global@px@Policy");
    const QString vega = "Docs/Vega Toolkit 3/";
    EXPECT_EQ(p.data.read(vega + "_Global Information/Support Policy.txt"),
              p.data.read("Library/Support Policy.txt"));
    EXPECT_TRUE(p.data.read(vega + "PX_TOC.xml").contains("Book_Global.xml"));
    EXPECT_TRUE(
        p.data.read(vega + "PX_BookCategories.xml").contains("<BookAcro>Global</BookAcro>"));
    EXPECT_EQ(p.listedPages(), QStringList{"Policy"});
}

TEST(GlobalPageAdd, AcceptsNamesAndSourcesAtTheEdgeOfTheRules)
{
    // None of these sources exists: the page is linked by its file name, nothing is copied.
    const QString cases[][2] = {{QString(100, 'x'), "C:\\Docs\\x.docx"},
                                {"2024 Report", "report.txt.bak"},
                                {"Page 1", "C:\\A.HTML.FILES\\x"},
                                {"say &quot;hi&quot;", "data.XLS"}};
    PagePanel p;
    for (const auto& c : cases) {
        p.apply(c[0], c[1]);
        EXPECT_EQ(p.dialogs->texts(), QStringList{Added}) << c[0].toStdString();
    }
    EXPECT_FALSE(p.inGlobalFolder("report.txt.bak"));
    EXPECT_EQ(p.sourceOf("2024 Report"), "report.txt.bak");
    EXPECT_EQ(p.sourceOf("Page 1"), "x");
}

TEST(GlobalPageAdd, EveryRefusalShowsOneMessageAndWritesNothing)
{
    const QString valid = "C:\\Docs\\manual.pdf";
    const QString badType = "Linked page should be of type XML,TXT,XLS,HTM,PDF or DOC";
    struct Case
    {
        QString name, source, message;
        bool nameFocused;
    } cases[] = {
        {"a@px@b", valid, "@px@can not be used for  Name", false},
        {"R&amp;D", valid, "&amp; can not be used for  Name", false},
        {"a&lt;b", "", "&lt; can not be used for  Name", false},
        {"", valid, "Enter a Valid String for Page Name", true},
        {"   ", valid, "Enter a Valid String for Page Name", true},
        {" -3.5 ", valid, "Enter a Valid String for Page Name", true},
        {QString(101, 'x'), valid, "Page name should not exceed more than 100 characters", true},
        {"Page", "", "Enter a valid link file", false},
        {"Page", "   ", badType, false},
        {"Page", "C:\\Docs\\picture.gif", badType, false},
        {"Page", "C:\\Docs\\Book_Global.xml", "Linked page can not be Book_Global.XML file", false},
        // A listed name (in any letter case) with the source of the last clicked page: none.
        {"WELCOME", "", "Page Name Already Exists.", false},
    };
    PagePanel p;
    const QByteArray before = p.book();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " | " + c.source.toStdString());
        p.apply(c.name, c.source);
        EXPECT_EQ(p.dialogs->texts(), QStringList{c.message});
        EXPECT_EQ(p.tab->focusWidget() == p.widget<QLineEdit>("txtPageName"), c.nameFocused);
        EXPECT_EQ(p.text("txtSourceTo"), c.source);
    }
    EXPECT_EQ(p.added.count(), 0);
    EXPECT_EQ(p.book(), before);

    // With a new source a listed name gets past the panel; the book refuses it, and the host
    // still hears of the attempt.
    p.apply("Welcome", "other.pdf");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"Global page Adding Failed"});
    EXPECT_EQ(p.added.count(), 1);
    EXPECT_EQ(p.book(), before);
}

TEST(GlobalPageEdit, ChangesNameSourceOrBothOfTheClickedPage)
{
    PagePanel p("Edit");
    p.clickItem("lstPages", "Keyboard Shortcuts");
    EXPECT_EQ(p.text("txtSourceTo"), "Shortcuts.txt");
    const QByteArray before = p.book();
    p.dialogs->clear();
    p.click("cmdAddGblPage");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"Page Name Already Exists."});
    EXPECT_EQ(p.book(), before);

    p.apply("Hot & Keys", "Shortcuts.txt");
    EXPECT_EQ(p.dialogs->texts(), QStringList{Edited});
    EXPECT_EQ(p.added.last()[0], "Orion Suite 2024@px@Global@px@Hot &amp; Keys");

    p.clickItem("lstPages", "Welcome");
    p.apply("Welcome", p.data.path("Library/Glossary.xml"));
    EXPECT_EQ(p.dialogs->texts(), QStringList{Edited});
    EXPECT_TRUE(p.inGlobalFolder("Glossary.xml"));

    // Onto another page's name with a new source: past the panel, refused by the book.
    p.clickItem("lstPages", "Welcome");
    p.apply("Hot & Keys", "C:\\elsewhere\\keys.txt");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"Global page Editing Failed"});
    EXPECT_EQ(p.added.count(), 3);

    EXPECT_EQ(p.listedPages(), (QStringList{"Welcome", "Terms & Conditions", "Hot & Keys"}));
    EXPECT_EQ(p.sourceOf("Welcome"), "Glossary.xml");
    EXPECT_EQ(p.sourceOf("Hot & Keys"), "Shortcuts.txt");
}

TEST(GlobalPageEdit, TypingNeedsASelectedPageAndCancelRestoresIt)
{
    PagePanel p("Edit");
    p.type("txtPageName", "x");
    EXPECT_EQ(p.dialogs->texts(), QStringList{"To Edit, Select a Page from List"});
    EXPECT_TRUE(p.text("txtPageName").isEmpty());

    p.clickItem("lstPages", "Terms & Conditions");
    p.type("txtPageName", "Other");
    p.setText("txtSourceTo", "other.pdf");
    p.click("cmdCancelGblPage");
    EXPECT_EQ(p.text("txtPageName"), "Terms & Conditions");
    EXPECT_EQ(p.text("txtSourceTo"), "Terms.html");

    p.pick("Add", "Global Page");
    p.type("txtPageName", "Free");
    p.setText("txtSourceTo", "free.txt");
    p.click("cmdCancelGblPage");
    EXPECT_TRUE(p.text("txtPageName").isEmpty() && p.text("txtSourceTo").isEmpty());
    EXPECT_EQ(p.dialogs->messages.size(), 1);
}

TEST(GlobalPageDelete, AsksAndRemovesThePageNamedInTheBox)
{
    PagePanel p("Edit");
    p.click("cmdDelGblPage");
    ASSERT_EQ(p.dialogs->texts(), QStringList{"Select a  Valid Page to Delete"});
    EXPECT_EQ(p.dialogs->messages[0].icon, MessageIcon::Critical);

    // The box, not the selection, names the page.
    const QByteArray before = p.book();
    p.clickItem("lstPages", "Welcome");
    p.type("txtPageName", "Terms & Conditions");
    p.dialogs->clear();
    p.dialogs->queueAnswer(MessageAnswer::No);
    p.click("cmdDelGblPage");
    ASSERT_EQ(p.dialogs->texts(), QStringList{"Are you sure you want to Delete ?"});
    EXPECT_EQ(p.dialogs->messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(p.dialogs->messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(p.book(), before);

    p.click("cmdDelGblPage");
    ASSERT_EQ(p.deleted.count(), 1);
    EXPECT_EQ(p.deleted[0][0], true);
    EXPECT_TRUE(p.text("txtPageName").isEmpty() && p.text("txtSourceTo").isEmpty());
    EXPECT_EQ(p.items("lstPages"), (QStringList{"Welcome", "Keyboard Shortcuts"}));
    EXPECT_EQ(p.listedPages(), (QStringList{"Welcome", "Keyboard Shortcuts"}));
    EXPECT_TRUE(p.inGlobalFolder("Terms.html"));
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

    auto faulty = installFaulty(p);
    faulty->pageError = rt::SubscriptOutOfRange;
    p.tab->setPageName("Gone");
    EXPECT_TRUE(p.dialogs->messages.isEmpty());
    EXPECT_EQ(p.text("txtPageName"), "Gone");
    EXPECT_EQ(p.text("txtSourceTo"), "partial");

    faulty->pageError = rt::PermissionDenied;
    p.tab->setPageName("Locked");
    EXPECT_EQ(p.dialogs->texts(),
              QStringList{"Error (70 ):injected\rTovanel::ctlGlobalsTab - UpdateAddPageInfo"});
    EXPECT_EQ(p.text("txtPageName"), "Gone");
}

TEST(GlobalPageFailure, ReportsUnderTheHandlerAndLeavesTheBookAsItWas)
{
    {
        // The source goes between the panel's check and the copy.
        PagePanel p;
        installFaulty(p)->sourceVanishes = true;
        const QByteArray before = p.book();
        p.apply("Tour", p.data.path("Library/Quick Tour.htm"));
        expectReported(p, before);
        EXPECT_FALSE(p.inGlobalFolder("Quick Tour.htm"));
        EXPECT_EQ(p.items("lstPages").size(), 3);
    }
    {
        // A read-only document of that name in the global folder is not overwritten.
        PagePanel p;
        const QByteArray old = p.data.read(Orion + "Shortcuts.txt");
        p.data.write("Library/Shortcuts.txt", "new keys");
        FileSystem().SetAttributes(p.data.path(Orion + "Shortcuts.txt"), FileSystem::ReadOnly);
        const QByteArray before = p.book();
        p.apply("Keys", p.data.path("Library/Shortcuts.txt"));
        expectReported(p, before);
        EXPECT_TRUE(p.dialogs->texts()[0].startsWith("Error (70 ):"));
        EXPECT_EQ(p.data.read(Orion + "Shortcuts.txt"), old);
    }
    {
        // A book that does not parse is neither listed nor written over.
        PagePanel p;
        const QByteArray broken = "<Book_Master><Book_Headings><Heading level=\"H1\">";
        p.data.write(Orion + "Book_Global.xml", broken);
        p.pick("Add", "Global Page");
        p.apply("Notes", "notes.txt");
        expectReported(p, broken);
        EXPECT_TRUE(p.items("lstPages").isEmpty());
    }
}

TEST(GlobalPageFailure, ReadOnlyGlobalFolderIsReported)
{
    PagePanel p;
    const QString folder = p.data.path(Orion);
    const QByteArray before = p.book();
    FileSystem().SetAttributes(folder, FileSystem::ReadOnly);
    p.apply("Policy", p.data.path("Library/Support Policy.txt"));
    FileSystem().SetAttributes(folder, FileSystem::Normal);
    expectReported(p, before);
    EXPECT_FALSE(p.inGlobalFolder("Support Policy.txt"));
}
