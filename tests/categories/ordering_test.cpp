#include "control/ctlGlobalsTab.h"
#include "platform/XmlDocument.h"
#include "tests/support/TestSupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QWindow>

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
        return xmlTexts(h.data.path(Set), "//CategoryName").join('|').toStdString();
    }
    std::string items() const { return listState(h.widget<QListWidget>("lstAvaBookCategories")); }
    // One press and release of a move button through the window, as a pointer sends them,
    // with the pressed look in between; delay is the time before each of the two events.
    void move(bool up, int delay = -1)
    {
        auto* rest = h.widget<QLabel>(up ? "PictureMoveUP2" : "PictureMoveDown2");
        auto* pressed = h.widget<QLabel>(up ? "PictureMoveUP1" : "PictureMoveDown1");
        QWindow* window = h.tab->windowHandle();
        const QPoint at = rest->mapTo(h.tab.get(), rest->rect().center());
        QTest::mousePress(window, Qt::LeftButton, {}, at, delay);
        EXPECT_TRUE(pressed->isVisible() && !rest->isVisible());
        QTest::mouseRelease(window, Qt::LeftButton, {}, at, delay);
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

TEST_F(Ordering, EveryPressAtAnyPaceMovesOnePlaceByPointerAndByKeyboard)
{
    auto* list = h.widget<QListWidget>("lstAvaBookCategories");
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Global Information"));
    const int last = list->currentRow();
    // Presses quicker than a double click, and at a human pace: one place each.
    for (const int delay : {20, 150}) {
        for (int i = 1; i <= 3; ++i) {
            move(true, delay);
            EXPECT_EQ(list->currentRow(), last - i) << delay;
        }
        for (int i = 2; i >= 0; --i) {
            move(false, delay);
            EXPECT_EQ(list->currentRow(), last - i) << delay;
        }
    }
    // Space and Return on the arrows that Tab reaches: one place each, the focus stays.
    for (const char* name : {"PictureMoveUP2", "PictureMoveDown2"}) {
        auto* arrow = h.widget<QLabel>(name);
        arrow->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(arrow->hasFocus());
        const int step = QByteArray(name).contains("UP") ? -1 : 1;
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            const int before = list->currentRow();
            QTest::keyClick(arrow, key);
            EXPECT_EQ(list->currentRow(), before + step) << name;
        }
        EXPECT_TRUE(arrow->hasFocus() && arrow->isVisible());
    }
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("Global Information"));
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

// The arrow is one button holding its two pictures: a held key shows the pressed picture and
// its repeats move nothing more; a pointer dragged off the held arrow and back does not press
// again, and the release away from it still ends the press; a screen reader finds a button
// with a name, whose press action moves once.
TEST_F(Ordering, TheArrowIsAButtonThatMovesOncePerPress)
{
    auto* list = h.widget<QListWidget>("lstAvaBookCategories");
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Global Information"));
    int row = list->currentRow();
    auto* rest = h.widget<QLabel>("PictureMoveUP2");
    auto* pressed = h.widget<QLabel>("PictureMoveUP1");
    auto* arrow = qobject_cast<QAbstractButton*>(rest->focusProxy());
    ASSERT_TRUE(arrow);
    const auto atRest = [&] { return rest->isVisible() && !pressed->isVisible(); };

    rest->setFocus(Qt::TabFocusReason);
    QTest::keyPress(rest, Qt::Key_Space);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(rest, &repeat);
    EXPECT_EQ(list->currentRow(), --row);
    EXPECT_TRUE(pressed->isVisible() && !rest->isVisible() && arrow->hasFocus());
    QTest::keyRelease(rest, Qt::Key_Space);
    EXPECT_TRUE(atRest() && arrow->hasFocus());

    QWindow* window = h.tab->windowHandle();
    const QPoint at = arrow->mapTo(h.tab.get(), arrow->rect().center());
    const QPoint away = at + QPoint(0, 100);
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseMove(window, away);
    QTest::mouseMove(window, at);
    QTest::mouseMove(window, away);
    EXPECT_FALSE(atRest());
    QTest::mouseRelease(window, Qt::LeftButton, {}, away);
    EXPECT_EQ(list->currentRow(), --row);
    EXPECT_TRUE(atRest());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(arrow);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    EXPECT_EQ(accessible->role(), QAccessible::Button);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Move category up"));
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(list->currentRow(), --row);
    EXPECT_TRUE(QTest::qWaitFor(atRest));
    EXPECT_EQ(list->currentRow(), row);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

} // namespace
