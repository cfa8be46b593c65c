#include "tests/support/TestSupport.h"

#include "control/ctlGlobalsTab.h"

#include <QListWidget>

#include <gtest/gtest.h>

namespace globalstab {
class ctlGlobalsTabTestAccess
{
public:
    static bool bcheckCharacters(ctlGlobalsTab& tab, const QString& text)
    {
        return tab.bcheckCharacters(text, QStringLiteral(" Name"));
    }
    static QString strCheckXMLCharacters(ctlGlobalsTab& tab, const QString& text,
                                         const QString& label)
    {
        return tab.strCheckXMLCharacters(text, label);
    }
    static bool bCheckElement(ctlGlobalsTab& tab, const QString& item, QListWidget* list)
    {
        return tab.bCheckElement(item, list);
    }
};
} // namespace globalstab

using namespace globalstab;
using namespace globalstab::test;
using Access = ctlGlobalsTabTestAccess;

TEST(TextChecks, EscapingRunsItsStepsInOrder)
{
    TabHarness h;
    const std::pair<QString, QString> cases[] = {
        {"Tom & Jerry's <b>", "Tom &amp; Jerry&apos;s &lt;b&gt;"},
        {"What?", "What&quot;"}, // "?" becomes a quote before quotes are escaped
        {"a\"b", "a&quot;b"},
        {"&amp;", "&amp;amp;"}, // escaped once more, never taken for an entity
        {"@px@?&", " &quot;&amp;"},
        {"", ""},
    };
    for (const auto& [input, escaped] : cases)
        EXPECT_EQ(h.tab->mstrCheckSpecialCharacters(input), escaped) << input.toStdString();
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST(TextChecks, PageNameCheckReportsTheFirstEntityOnly)
{
    TabHarness h;
    // text -> the one message shown ("" when the name passes)
    const std::pair<QString, QString> cases[] = {
        {"R&amp;D", "&amp; can not be used for  Name"},
        {"&quote;", "&quote; can not be used for  Name"},
        {"x&apos;&lt;", "&lt; can not be used for  Name"},
        {"a@px@&lt;", "@px@can not be used for  Name"},
        {"R&D", ""},
        {"say &quot;hi&quot;", ""},
        {"&GT;", ""},
    };
    for (const auto& [text, message] : cases) {
        h.dialogs->clear();
        EXPECT_EQ(Access::bcheckCharacters(*h.tab, text), message.isEmpty()) << text.toStdString();
        ASSERT_EQ(h.dialogs->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            EXPECT_EQ(h.dialogs->messages[0].icon, message.startsWith("@px@")
                                                       ? MessageIcon::Critical
                                                       : MessageIcon::Information);
        }
    }
}

TEST(TextChecks, ProjectNameCheckShowsOneMessagePerRefusedText)
{
    TabHarness h;
    // Written in reverse, reported in the order of testing.
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "@px@|><*:\\/?\"'&", "Project Id"), "");
    const QStringList expected = {"Invalid Character(&)  Found in Project Id",
                                  "Invalid Character(')  Found in Project Id",
                                  "Invalid Character(\")  Found in Project Id",
                                  "Invalid Character(?)  Found in Project Id",
                                  "Invalid Character(/) Found in Project Id",
                                  "Invalid Character(\\)  Found in Project Id",
                                  "Invalid Character(:)  Found in Project Id",
                                  "Invalid Character(*)  Found in Project Id",
                                  "Invalid Character(<)  Found in Project Id",
                                  "Invalid Character(>)  Found in Project Id",
                                  "Invalid Character(|)  Found in Project Id",
                                  "Invalid Character(@px@) Found in Project Id"};
    EXPECT_EQ(h.dialogs->texts(), expected);
    for (const ShownMessage& message : h.dialogs->messages)
        EXPECT_EQ(message.icon, MessageIcon::Critical);

    h.dialogs->clear();
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "Alpha 10", "Project Id"), "Alpha 10");
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "@PX@", "Project Id"), "@PX@");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST(TextChecks, ListMembershipIgnoresCaseButNotBlanks)
{
    TabHarness h;
    QListWidget list;
    EXPECT_TRUE(Access::bCheckElement(*h.tab, "alpha", &list));
    list.addItems({"Beta", "ALPHA"});
    EXPECT_FALSE(Access::bCheckElement(*h.tab, "alpha", &list));
    EXPECT_TRUE(Access::bCheckElement(*h.tab, " Alpha", &list));
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
    // A failure is reported in the user-control wording and answers "listed".
    EXPECT_FALSE(Access::bCheckElement(*h.tab, "alpha", nullptr));
    ASSERT_EQ(h.dialogs->texts().size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].startsWith("Error 91 ("));
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(
        ") in procedure bCheckElement of User Control ctlGlobalsTab"));
}
