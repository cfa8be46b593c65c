#include "tests/support/TestSupport.h"

#include "control/ctlGlobalsTab.h"
#include "platform/FileSystem.h"

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
    static QString strParseFile(ctlGlobalsTab& tab, const QString& path)
    {
        return tab.strParseFile(path);
    }
    static void EnterToFile(ctlGlobalsTab& tab, const QString& path, const QString& text)
    {
        tab.EnterToFile(path, text);
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
        {"a@px@b", "a b"},
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
    struct Case
    {
        QString text, message;
        MessageIcon icon;
    } cases[] = {
        {"R&amp;D", "&amp; can not be used for  Name", MessageIcon::Information},
        {"&quote;", "&quote; can not be used for  Name", MessageIcon::Information},
        {"x&apos;&lt;", "&lt; can not be used for  Name", MessageIcon::Information},
        {"a@px@&lt;", "@px@can not be used for  Name", MessageIcon::Critical},
        {"R&D", "", MessageIcon::None},
        {"say &quot;hi&quot;", "", MessageIcon::None},
        {"&GT;", "", MessageIcon::None},
    };
    for (const Case& c : cases) {
        h.dialogs->clear();
        EXPECT_EQ(Access::bcheckCharacters(*h.tab, c.text), c.message.isEmpty())
            << c.text.toStdString();
        EXPECT_EQ(h.dialogs->texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        if (!c.message.isEmpty()) {
            EXPECT_EQ(h.dialogs->messages[0].icon, c.icon);
        }
    }
}

TEST(TextChecks, ProjectNameCheckShowsOneMessagePerRefusedText)
{
    TabHarness h;
    // Written in reverse, reported in the order of testing.
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "@px@|><*:\\/?\"'&", "Project Name"), "");
    EXPECT_EQ(h.dialogs->texts(), (QStringList{
                                      "Invalid Character(&)  Found in Project Name",
                                      "Invalid Character(')  Found in Project Name",
                                      "Invalid Character(\")  Found in Project Name",
                                      "Invalid Character(?)  Found in Project Name",
                                      "Invalid Character(/) Found in Project Name",
                                      "Invalid Character(\\)  Found in Project Name",
                                      "Invalid Character(:)  Found in Project Name",
                                      "Invalid Character(*)  Found in Project Name",
                                      "Invalid Character(<)  Found in Project Name",
                                      "Invalid Character(>)  Found in Project Name",
                                      "Invalid Character(|)  Found in Project Name",
                                      "Invalid Character(@px@) Found in Project Name",
                                  }));
    for (const ShownMessage& message : h.dialogs->messages)
        EXPECT_EQ(message.icon, MessageIcon::Critical);

    h.dialogs->clear();
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "Alpha 10", "Project Id"), "Alpha 10");
    EXPECT_EQ(Access::strCheckXMLCharacters(*h.tab, "", "Project Id"), "");
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
    ASSERT_EQ(h.dialogs->messages.size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].startsWith("Error 91 ("));
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(
        ") in procedure bCheckElement of User Control ctlGlobalsTab"));
}

TEST(TextFiles, RewriteClearsAPlainReadOnlyFlagOnly)
{
    TabHarness h;
    FileSystem fso;
    const QString text = QStringLiteral("**Orion Suite 2024** – café\r\nline 2");
    const QString plain = h.data.path("Library/plain.htm");
    h.data.write("Library/plain.htm", "old");
    fso.SetAttributes(plain, FileSystem::ReadOnly);
    Access::EnterToFile(*h.tab, plain, text);
    EXPECT_TRUE(h.data.read("Library/plain.htm").startsWith("\xFF\xFE"));
    EXPECT_EQ(Access::strParseFile(*h.tab, plain), text);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());

    const QString archived = h.data.path("Library/archived.htm");
    h.data.write("Library/archived.htm", "old");
    fso.SetAttributes(archived, FileSystem::ReadOnly | FileSystem::Archive);
    Access::EnterToFile(*h.tab, archived, text);
    EXPECT_EQ(h.data.read("Library/archived.htm"), "old");
    ASSERT_EQ(h.dialogs->messages.size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].startsWith("Error (70 ):"));
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith("\rTovanel::ctlGlobalsTab - EnterToFile"));

    h.dialogs->clear();
    EXPECT_EQ(Access::strParseFile(*h.tab, h.data.root() + "Library/missing.htm"), "");
    EXPECT_TRUE(h.dialogs->texts().value(0).endsWith(" - strParseFile"));
}
