// The character rules for names and the XML escaping, as pure functions.
#include "core/StringTable.h"
#include "tests/support/CoreSupport.h"
#include "text/TextChecks.h"

#include <gtest/gtest.h>

using namespace globalstab;

TEST(TextChecks, EscapingRunsItsStepsInOrderAndUnescapingUndoesOnePass)
{
    const std::pair<QString, QString> cases[] = {
        {"Tom & Jerry's <b>", "Tom &amp; Jerry&apos;s &lt;b&gt;"},
        {"What?", "What&quot;"}, // "?" becomes a quote before quotes are escaped
        {"a\"b", "a&quot;b"},
        {"&amp;", "&amp;amp;"}, // escaped once more, never taken for an entity
        {"@px@?&", " &quot;&amp;"},
        {"", ""},
    };
    for (const auto& [input, escaped] : cases) {
        EXPECT_EQ(escapeXml(input), escaped) << input.toStdString();
        if (!input.contains(QLatin1String("@px@")) && !input.contains(QLatin1Char('?'))) {
            EXPECT_EQ(unescapeXml(escaped), input) << input.toStdString();
        }
    }
    EXPECT_EQ(unescapeXml("&amp;lt; &bogus; &"), "&lt; &bogus; &");
}

TEST(TextChecks, PageNameCheckGivesTheFirstRefusedEntityOnly)
{
    // text -> the one message ("" when the name passes)
    const std::pair<QString, QString> cases[] = {
        {"R&amp;D", "&amp; can not be used for  Name"},
        {"&quote;", "&quote; can not be used for  Name"},
        {"x&apos;&lt;", "&lt; can not be used for  Name"},
        {"a@px@&lt;", "@px@can not be used for  Name"},
        {"R&D", ""},
        {"say &quot;hi&quot;", ""},
        {"&GT;", ""},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<Message> refusal = refusedEntity(text, " Name");
        ASSERT_EQ(refusal.has_value(), !expected.isEmpty()) << text.toStdString();
        if (!refusal)
            continue;
        EXPECT_EQ(refusal->text, expected);
        EXPECT_EQ(refusal->icon,
                  expected.startsWith("@px@") ? MessageIcon::Critical : MessageIcon::Information);
    }
}

TEST(TextChecks, ProjectNameCheckGivesOneMessagePerRefusedTextInTestingOrder)
{
    // Written in reverse, reported in the order of testing.
    const QList<Message> refusals = refusedCharacters("@px@|><*:\\/?\"'&", "Project Id");
    QStringList texts;
    for (const Message& refusal : refusals) {
        texts << refusal.text;
        EXPECT_EQ(refusal.icon, MessageIcon::Critical);
    }
    EXPECT_EQ(texts, QStringList({"Invalid Character(&)  Found in Project Id",
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
                                  "Invalid Character(@px@) Found in Project Id"}));
    EXPECT_TRUE(refusedCharacters("Alpha 10", "Project Id").isEmpty());
    EXPECT_TRUE(refusedCharacters("@PX@", "Project Id").isEmpty());
}

TEST(TextChecks, ListMembershipIgnoresCaseButNotBlanksAndTrimKeepsTabs)
{
    EXPECT_TRUE(notListed("alpha", {}));
    EXPECT_FALSE(notListed("alpha", {"Beta", "ALPHA"}));
    EXPECT_TRUE(notListed(" Alpha", {"Beta", "ALPHA"}));
    EXPECT_EQ(trimBlanks("  \ta b\t  "), "\ta b\t");
    // Upper case may lengthen a text, never an ASCII one.
    EXPECT_TRUE(equalsUpper(QStringLiteral("Straße"), QStringLiteral("STRASSE")));
    EXPECT_TRUE(equalsUpper(QStringLiteral("über"), QStringLiteral("ÜBER")));
    EXPECT_FALSE(equalsUpper(QStringLiteral("\r\n  "), QStringLiteral("TUTORIALS")));
    EXPECT_FALSE(equalsUpper(QStringLiteral("Tutorial"), QStringLiteral("TUTORIALS")));
    for (const char* markup : {"a<b", "a&b", "a>b", "a\"b", "a'b"})
        EXPECT_TRUE(holdsMarkupCharacter(markup)) << markup;
    EXPECT_FALSE(holdsMarkupCharacter("Getting Started / Basics"));
}

TEST(StringTable, TextsKeepTheirBlanksAndUnknownIdsRaise326)
{
    EXPECT_EQ(resourceString(111), QStringLiteral("Page Name "));
    EXPECT_EQ(resourceString(134), QStringLiteral("Select a  Valid Page to Delete"));
    EXPECT_EQ(resourceString(143), QStringLiteral("100"));
    const auto error = test::caught([] { resourceString(5588); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), rt::ResourceNotFound);
    EXPECT_EQ(error->description(), QStringLiteral("Resource with identifier '5588' not found"));
}

TEST(ErrorReports, TheThreeFormsCharacterForCharacter)
{
    const Message standard =
        errorMessage("CmdProjectNameApply_click", RuntimeError(6, "Overflow"), ErrorForm::Standard);
    EXPECT_EQ(standard.text,
              "Error (6 ):Overflow\rTovanel::ctlGlobalsTab - CmdProjectNameApply_click");
    EXPECT_TRUE(standard.title.isEmpty());
    EXPECT_EQ(standard.icon, MessageIcon::None);

    const Message userControl =
        errorMessage("cmdCategoryCancel_Click", RuntimeError(5, "Invalid"), ErrorForm::UserControl);
    EXPECT_EQ(userControl.text, "Error 5 (Invalid) in procedure cmdCategoryCancel_Click of User "
                                "Control ctlGlobalsTab");
    EXPECT_EQ(userControl.icon, MessageIcon::None);

    const Message bookTab =
        errorMessage("GetBookAcroValue", RuntimeError(91, "Object not set"), ErrorForm::BookTab);
    EXPECT_EQ(bookTab.text, "91: Object not set");
    EXPECT_EQ(bookTab.icon, MessageIcon::Information);
    EXPECT_EQ(bookTab.title, "Sendrel::ctlBookTab-GetBookAcroValue");
    for (const Message& message : {standard, userControl, bookTab})
        EXPECT_EQ(message.buttons, MessageButtons::Ok);

    // A trapped procedure reports once and lets its caller go on.
    test::RecordingFeedback feedback;
    bool after = false;
    trap(feedback, "inner", [] { raiseError(53, "File not found"); });
    after = true;
    EXPECT_TRUE(after);
    EXPECT_EQ(feedback.reports(), QStringList{"inner"});
}
