// Function lists, panel switching and the readers of the global book.
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString BookPath = "Docs/Orion Suite 2024/_Global Information/Book_Global.xml";

class Panels : public ::testing::Test
{
protected:
    bool shown(const char* name) const
    {
        return h.tab->findChild<QWidget*>(QString::fromLatin1(name))->isVisible();
    }
    void expectOnly(const char* panel)
    {
        for (const char* frame : {"fraEditPrjNameID", "fraInfo", "FraHC"})
            EXPECT_EQ(shown(frame), qstrcmp(frame, panel) == 0) << frame;
        EXPECT_FALSE(shown("lstAddItems"));
        EXPECT_FALSE(shown("lstEditItems"));
    }

    TabHarness h;
};

TEST_F(Panels, FunctionButtonsOpenTheirListAndCloseTheOther)
{
    h.click("cmdAdd");
    EXPECT_TRUE(shown("lstAddItems"));
    EXPECT_FALSE(shown("lstEditItems"));
    h.click("cmdEdit");
    EXPECT_TRUE(shown("lstEditItems"));
    EXPECT_FALSE(shown("lstAddItems"));
    h.click("cmdEdit");
    EXPECT_TRUE(shown("lstEditItems"));
    // A click on the background or on a frame with a handler closes both.
    QTest::mouseClick(h.tab.get(), Qt::LeftButton, {}, QPoint(400, 20));
    EXPECT_FALSE(shown("lstEditItems"));
    h.click("cmdAdd");
    QTest::mouseClick(h.widget<QGroupBox>("fraEditPrjNameID"), Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_FALSE(shown("lstAddItems"));
}

TEST_F(Panels, EveryChoiceGivesItsPanelState)
{
    struct Row
    {
        const char* function;
        const char* entry;
        const char* mode;
        const char* panel;
        const char* caption;
        const char* deleteButton;
        bool deleteShown;
    };
    const Row rows[] = {
        {"Add", "Global Page", "ADD", "fraInfo", "Add global page", "cmdDelGblPage", false},
        {"Add", "Hierarchical Category", "ADD", "FraHC", "Add Hierarchical Category",
         "cmdCategoryDelete", false},
        {"Edit", "Project Info", "", "fraEditPrjNameID", "Edit Project Info", nullptr, false},
        {"Edit", "Global Page", "EDIT", "fraInfo", "Edit global page", "cmdDelGblPage", true},
        {"Edit", "Hierarchical Category", "EDIT", "FraHC", "Edit Hierarchical Category",
         "cmdCategoryDelete", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.function) + ": " + row.entry);
        ASSERT_TRUE(h.pick(QString::fromLatin1(row.function), QString::fromLatin1(row.entry)));
        EXPECT_EQ(globalVariables().gstrMode, QString::fromLatin1(row.mode));
        expectOnly(row.panel);
        EXPECT_EQ(h.widget<QGroupBox>(row.panel)->title(), QString::fromLatin1(row.caption));
        if (row.deleteButton) {
            EXPECT_EQ(shown(row.deleteButton), row.deleteShown);
        }
        if (QByteArray(row.panel) == "fraInfo") {
            EXPECT_TRUE(shown("fraAddEditGblPage"));
            EXPECT_EQ(h.widget<QLabel>("lblListInfo")->text(), "Available Global Pages");
            EXPECT_EQ(h.items("lstPages"),
                      (QStringList{"Welcome", "Terms & Conditions", "Keyboard Shortcuts"}));
            // ADD gives the list the room of the hidden delete button.
            EXPECT_EQ(h.widget<QListWidget>("lstPages")->height(),
                      row.deleteShown ? 5100 / 15 : 5490 / 15);
        }
    }
}

TEST_F(Panels, GlobalPageChoiceEmptiesTheBoxesAndProjectInfoEndsTheMode)
{
    ASSERT_TRUE(h.pick("Edit", "Global Page"));
    h.setText("txtPageName", "typed");
    h.setText("txtSourceTo", "c:\\typed.txt");
    ASSERT_TRUE(h.pick("Add", "Global Page"));
    EXPECT_TRUE(h.widget<QLineEdit>("txtPageName")->text().isEmpty());
    EXPECT_TRUE(h.widget<QLineEdit>("txtSourceTo")->text().isEmpty());

    ASSERT_TRUE(h.pick("Edit", "Global Page"));
    ASSERT_TRUE(h.pick("Edit", "Project Info"));
    EXPECT_TRUE(globalVariables().gstrMode.isEmpty());
    EXPECT_FALSE(h.widget<QGroupBox>("fraAddEditGblPage")->isVisibleTo(h.tab.get()));
    EXPECT_FALSE(h.widget<QPushButton>("cmdDelGblPage")->isVisibleTo(h.tab.get()));
    // The project boxes keep what was loaded.
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectName")->text(), sampleProject());
}

TEST(GlobalBookReaders, ClickingAPageShowsItsDocumentAndAnApostropheIsReported)
{
    TabHarness h;
    h.data.write(BookPath, R"(<Book_Master><Book_Headings>
        <Heading level="H1"><HName>Tom &amp; Jerry</HName><HFile>tj.htm</HFile></Heading>
        <Heading level="H1"><HName>Bob's page</HName><HFile>bob.htm</HFile></Heading>
        </Book_Headings></Book_Master>)");
    ASSERT_TRUE(h.pick("Edit", "Global Page"));
    EXPECT_EQ(h.items("lstPages"), (QStringList{"Tom & Jerry", "Bob's page"}));
    ASSERT_TRUE(h.clickItem("lstPages", "Tom & Jerry"));
    EXPECT_EQ(h.widget<QLineEdit>("txtSourceTo")->text(), "tj.htm");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());

    // The name goes into the query unescaped: the apostrophe breaks it, the box keeps its text.
    ASSERT_TRUE(h.clickItem("lstPages", "Bob's page"));
    EXPECT_EQ(h.dialogs->reports(), QStringList{"GetGlobalPageInfo"});
    EXPECT_EQ(h.widget<QLineEdit>("txtPageName")->text(), "Bob's page");
    EXPECT_EQ(h.widget<QLineEdit>("txtSourceTo")->text(), "tj.htm");
    EXPECT_EQ(h.tab->cursor().shape(), Qt::ArrowCursor);
}

TEST(GlobalBookReaders, MissingOrBrokenBookListsNothingSilently)
{
    for (const QByteArray& content : {QByteArray(), QByteArray("<Book_Master><Book_Headings>")}) {
        TabHarness h;
        if (content.isEmpty())
            QFile::remove(h.data.path(BookPath));
        else
            h.data.write(BookPath, content);
        ASSERT_TRUE(h.pick("Edit", "Global Page"));
        EXPECT_TRUE(h.items("lstPages").isEmpty());
        EXPECT_TRUE(h.dialogs->messages.isEmpty());
    }
}

} // namespace

TEST(GlobalBookReaders, ProjectNamesOutsideAsciiFindTheirFolderInAnyCase)
{
    TabHarness h;
    ASSERT_TRUE(copyTree(h.data.path("Docs/Orion Suite 2024"), h.data.docs() + "Ärger Büro 7"));
    h.tab->setProjectName("ärger büro 7");
    ASSERT_TRUE(h.pick("Edit", "Global Page"));
    EXPECT_EQ(h.items("lstPages").size(), 3);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST(Keyboard, ListsAnswerReturnAndSpaceOnceEscapeClosesAndTabReachesEveryControl)
{
    TabHarness h;
    h.data.write(BookPath, R"(<Book_Master><Book_Headings>
        <Heading level="H1"><HName>Bob's page</HName><HFile>bob.htm</HFile></Heading>
        </Book_Headings></Book_Master>)");
    QApplication::setActiveWindow(h.tab.get());
    auto* edit = h.widget<QPushButton>("cmdEdit");
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Space);
    auto* functions = h.widget<QListWidget>("lstEditItems");
    ASSERT_TRUE(functions->isVisible() && functions->hasFocus());
    QTest::keyClick(functions, Qt::Key_Escape);
    EXPECT_FALSE(functions->isVisible());
    EXPECT_TRUE(edit->hasFocus());

    QTest::keyClick(edit, Qt::Key_Space);
    QTest::keyClick(functions, Qt::Key_Home);
    QTest::keyClick(functions, Qt::Key_Down); // "Global Page"
    QTest::keyClick(functions, Qt::Key_Return);
    EXPECT_EQ(globalVariables().gstrMode, "EDIT");
    auto* pages = h.widget<QListWidget>("lstPages");
    ASSERT_TRUE(pages->isVisible() && pages->hasFocus());
    // The page's name breaks the query: each key press runs the click handler, once.
    QTest::keyClick(pages, Qt::Key_Down);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        h.dialogs->clear();
        QTest::keyClick(pages, key);
        EXPECT_EQ(h.dialogs->reports(), QStringList{"GetGlobalPageInfo"});
    }
    EXPECT_EQ(h.widget<QLineEdit>("txtPageName")->text(), "Bob's page");

    // Tab walks every enabled control of the panel on show, and the two function buttons.
    QStringList reached;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    for (const char* control : {"cmdAdd", "cmdEdit", "lstPages", "txtPageName", "txtSourceTo",
                                "cmdBrowse", "cmdAddGblPage", "cmdCancelGblPage", "cmdDelGblPage"})
        EXPECT_TRUE(reached.contains(QLatin1String(control))) << control;
    EXPECT_FALSE(reached.contains("txtProjectName"));
}
