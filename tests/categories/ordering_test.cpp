#include "control/ctlGlobalsTab.h"
#include "platform/XmlDocument.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Set = QStringLiteral("Docs/Orion Suite 2024/PX_BookCategories.xml");

// Lists compare as "a|b|c", the selected entry of the panel's list as "[b]".
class Ordering : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(h.pick("Edit", "Hierarchical Category")); }

    std::string setNames() const
    {
        XmlDocument doc;
        QStringList names;
        const XmlNodeList nodes =
            doc.load(h.data.path(Set)) ? doc.selectNodes("//CategoryName") : XmlNodeList();
        for (int i = 0; i < nodes.length(); ++i)
            names << nodes.item(i).text();
        return names.join('|').toStdString();
    }
    std::string items() const
    {
        auto* list = h.widget<QListWidget>("lstAvaBookCategories");
        QStringList result;
        for (int i = 0; i < list->count(); ++i)
            result << (list->item(i)->isSelected() ? "[" + list->item(i)->text() + "]"
                                                   : list->item(i)->text());
        return result.join('|').toStdString();
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

    TabHarness h;
};

TEST_F(Ordering, EachPressMovesAFoundCategoryOnePlaceAndSelectsIt)
{
    // "'" and "&" are refused by the editor, but another program may write them.
    QByteArray xml = "<BookSet_Categories>";
    for (const char* name : {"A", "B", "Other Category", "C", "X's", "Y&amp;Z", "D"})
        xml += QByteArray("<Category><CategoryName>") + name +
               "</CategoryName><BookAcro>IG</BookAcro></Category>";
    h.data.write(Set, xml + "</BookSet_Categories>");
    move(true); // lists the set

    const char* const sample = "A|B|Other Category|C|X's|Y&Z|D";
    // Entry clicked first ("" for none), direction, the set and the list afterwards.
    const std::tuple<const char*, bool, const char*, const char*> moves[] = {
        // At the ends, or without selection, the document stays.
        {"A", true, sample, "A|B|C|X's|Y&Z|D"},
        {"", true, sample, "A|B|C|X's|Y&Z|D"},
        {"", false, sample, "[A]|B|C|X's|Y&Z|D"},
        {"D", false, sample, "A|B|C|X's|Y&Z|D"},
        {"D", true, "A|B|Other Category|C|X's|D|Y&Z", "A|B|C|X's|[D]|Y&Z"},
        {"", false, sample, "A|B|C|X's|Y&Z|[D]"},
        // Beside "Other Category" the document changes but the list does not.
        {"C", true, "A|B|C|Other Category|X's|Y&Z|D", "A|[B]|C|X's|Y&Z|D"},
        // Names with markup characters are not found: nothing moves, the selection does.
        {"X's", true, "A|B|C|Other Category|X's|Y&Z|D", "A|B|[C]|X's|Y&Z|D"},
        {"Y&Z", false, "A|B|C|Other Category|X's|Y&Z|D", "A|B|C|X's|Y&Z|[D]"},
    };
    for (const auto& [click, up, set, list] : moves) {
        SCOPED_TRACE(std::string(click) + (up ? " up" : " down"));
        if (*click) {
            ASSERT_TRUE(h.clickItem("lstAvaBookCategories", click));
        }
        move(up);
        EXPECT_EQ(setNames(), set);
        EXPECT_EQ(items(), list);
    }
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

} // namespace
