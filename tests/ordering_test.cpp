#include "control/ctlGlobalsTab.h"
#include "platform/XmlDocument.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Set = QStringLiteral("Docs/Orion Suite 2024/PX_BookCategories.xml");

// Install type 1000 rebuilds the sample set in its own order. Lists compare as "a|b|c".
class Ordering : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(h.pick("Edit", "Hierarchical Category")); }

    std::string setNames() const
    {
        XmlDocument doc;
        QStringList names;
        if (doc.load(h.data.path(Set))) {
            const XmlNodeList nodes = doc.selectNodes("BookSet_Categories/Category/CategoryName");
            for (int i = 0; i < nodes.length(); ++i)
                names << nodes.item(i).text();
        }
        return names.join('|').toStdString();
    }
    std::string items() const { return h.items("lstAvaBookCategories").join('|').toStdString(); }
    std::string selected() const
    {
        const QList<QListWidgetItem*> items =
            h.widget<QListWidget>("lstAvaBookCategories")->selectedItems();
        return items.isEmpty() ? "<none>" : items.first()->text().toStdString();
    }
    // One press and release of a move button, with the pressed look in between.
    void move(bool up)
    {
        auto* rest = h.widget<QLabel>(up ? "PictureMoveUP2" : "PictureMoveDown2");
        auto* pressed = h.widget<QLabel>(up ? "PictureMoveUP1" : "PictureMoveDown1");
        QTest::mousePress(rest, Qt::LeftButton);
        EXPECT_TRUE(pressed->isVisible() && !rest->isVisible());
        QTest::mouseRelease(pressed, Qt::LeftButton);
        EXPECT_TRUE(rest->isVisible() && !pressed->isVisible());
    }
    void move(const QString& category, bool up)
    {
        ASSERT_TRUE(h.clickItem("lstAvaBookCategories", category));
        move(up);
    }

    TabHarness h{1000};
};

TEST_F(Ordering, EachPressMovesTheSelectedCategoryOnePlace)
{
    ASSERT_EQ(setNames(), "Getting Started|Administration|Licensing|Other Category|Tutorials|"
                          "Reference|Global Information");
    move("Reference", true);
    EXPECT_EQ(setNames(), "Getting Started|Administration|Licensing|Other Category|Reference|"
                          "Tutorials|Global Information");
    EXPECT_EQ(items(), "Getting Started|Administration|Licensing|Reference|Tutorials|"
                       "Global Information");
    EXPECT_EQ(selected(), "Reference");
    // The selection is no click: the text box keeps the clicked name.
    EXPECT_EQ(h.widget<QLineEdit>("txtCategoryName")->text(), QStringLiteral("Reference"));

    move(false);
    EXPECT_EQ(setNames(), "Getting Started|Administration|Licensing|Other Category|Tutorials|"
                          "Reference|Global Information");
    EXPECT_EQ(selected(), "Reference");

    // Beside "Other Category" the document changes but the list does not.
    const std::string list = items();
    move("Tutorials", true);
    EXPECT_EQ(setNames(), "Getting Started|Administration|Licensing|Tutorials|Other Category|"
                          "Reference|Global Information");
    EXPECT_EQ(items(), list);
    EXPECT_EQ(selected(), "Licensing");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST_F(Ordering, AtTheEndsOrWithoutSelectionNothingMoves)
{
    const QByteArray before = h.data.read(Set);
    move("Getting Started", true);
    EXPECT_EQ(selected(), "<none>");
    move(true);
    EXPECT_EQ(selected(), "<none>");
    move(false); // ends on the first entry
    EXPECT_EQ(selected(), "Getting Started");
    move("Global Information", false);
    EXPECT_EQ(selected(), "<none>");
    EXPECT_EQ(h.data.read(Set), before);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST_F(Ordering, NamesWithMarkupCharactersAreNotFoundAndStay)
{
    // Written by another program: the editor itself refuses such names.
    h.data.write(Set, "<BookSet_Categories>"
                      "<Category><CategoryName>Alpha</CategoryName></Category>"
                      "<Category><CategoryName>Tom's Notes</CategoryName></Category>"
                      "<Category><CategoryName>Q&amp;A</CategoryName></Category>"
                      "<Category><CategoryName>Omega</CategoryName></Category>"
                      "</BookSet_Categories>");
    const QByteArray before = h.data.read(Set);
    move(true); // lists the document as it is now
    ASSERT_EQ(items(), "Alpha|Tom's Notes|Q&A|Omega");
    for (const char* name : {"Tom's Notes", "Q&A"}) {
        move(name, true);
        move(name, false);
    }
    EXPECT_EQ(h.data.read(Set), before);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

} // namespace
