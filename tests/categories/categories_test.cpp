#include "control/ctlGlobalsTab.h"
#include "core/Action.h"
#include "platform/XmlDocument.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Set = "Docs/Orion Suite 2024/PX_BookCategories.xml";
const QString Toc = "Docs/Orion Suite 2024/PX_TOC.xml";
const QString IgBook = "Docs/Orion Suite 2024/Installation Guide/IG_Book.xml";
const QString UmBook = "Docs/Orion Suite 2024/User Manual/um_book.xml";
const QString ArBook = "Docs/Orion Suite 2024/Admin Reference/AR_Book.XML";
const QString BookCategories = "//BookSet_Categories/*";

// Install type 0: the defaults are "Getting Started", "Tutorials" and "Other Category".
// Lists compare as "a|b|c", the selected entry of the panel's list as "[b]".

class Categories : public ::testing::Test
{
protected:
    // Focus changes reach the text box's handlers only in the active window.
    void SetUp() override { QApplication::setActiveWindow(h.tab.get()); }

    std::string texts(const QString& file, const QString& xpath) const
    {
        return xmlTexts(h.data.path(file), xpath).join('|').toStdString();
    }
    std::string setNames() const { return texts(Set, "//CategoryName"); }
    std::string setBooks(const QString& name) const
    {
        return texts(Set, "//Category[CategoryName='" + name + "']/BookAcro");
    }
    std::string tocBook(const QString& acro) const
    {
        return texts(Toc, "//Book[Book_Acro='" + acro + "']/Book_Categories/*");
    }
    QListWidget* list() const { return h.widget<QListWidget>("lstAvaBookCategories"); }
    std::string items() const { return listState(list()); }
    std::string messages() const { return h.dialogs->texts().join('|').toStdString(); }
    int events(int number) const
    {
        return int(std::ranges::count(spy, number, [](const auto& e) { return e.at(0).toInt(); }));
    }
    void replaceIn(const QString& file, const char* from, const char* to) const
    {
        QByteArray data = h.data.read(file);
        ASSERT_TRUE(data.contains(from)) << from;
        h.data.write(file, data.replace(from, to));
    }
    QLineEdit* name() const { return h.widget<QLineEdit>("txtCategoryName"); }
    void apply(const QString& typed)
    {
        h.type("txtCategoryName", typed);
        h.click("cmdApplyAddEditCate");
    }
    void remove(const QString& category)
    {
        ASSERT_TRUE(h.clickItem("lstAvaBookCategories", category));
        h.click("cmdCategoryDelete");
    }

    TabHarness h;
    QSignalSpy spy{h.tab.get(), &ctlGlobalsTab::eventRaised};
};

TEST_F(Categories, RefreshKeepsTheListRebuildsTheSetAndSparesASetItCannotWrite)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    // The samples stand in the order a rebuild gives them: list and document agree.
    EXPECT_EQ(items(),
              "Getting Started|Tutorials|Administration|Licensing|Reference|Global Information");
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category|Administration|Licensing|"
                          "Reference|Global Information");
    EXPECT_EQ(setBooks("Administration") + "/" + setBooks("Other Category"), "IG|AR/RN");

    // Entries the document lacks stay first; names it repeats in another case are skipped.
    h.data.write(Set, "<BookSet_Categories><Category><CategoryName>Beta</CategoryName></Category>"
                      "<Category><CategoryName>drafts</CategoryName></Category>"
                      "</BookSet_Categories>");
    list()->clear();
    list()->addItem("Drafts");
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    EXPECT_EQ(items(), "Drafts|Beta");
    const char* const rebuilt = "Getting Started|Tutorials|Other Category|Drafts|Beta";
    EXPECT_EQ(setNames(), rebuilt);

    // A missing set is rebuilt silently; a malformed one is reported and kept as it was.
    QFile::remove(h.data.path(Set));
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(setNames(), rebuilt);
    h.data.write(Set, "<BookSet_Categories><Category>");
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(messages(), "File does not exist");
    EXPECT_EQ(h.dialogs->messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(h.data.read(Set), "<BookSet_Categories><Category>");
    h.data.write(Set, "<BookSet_Categories/>");
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(setNames(), rebuilt);

    // A set that could not be written back is neither deleted nor listed.
    const QByteArray kept = "<BookSet_Categories><Category><CategoryName>Kept</CategoryName>"
                            "</Category></BookSet_Categories>";
    h.data.write(Set, kept);
    QFile::setPermissions(h.data.path(Set), QFileDevice::ReadOwner);
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(items(), "Drafts|Beta");
    EXPECT_EQ(h.data.read(Set), kept);
    EXPECT_EQ(messages(), "File does not exist");
}

TEST_F(Categories, ShowingThePanelKeepsTheLookOfTheSet)
{
    // The samples come back byte for byte: same order, declaration and indentation.
    const QByteArray sample = h.data.read(Set);
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    EXPECT_EQ(h.data.read(Set), sample);

    // A set in UTF-16, indented by tabs, is rebuilt in UTF-16 with tabs.
    const QString tabbed = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<BookSet_Categories>\n"
                           "\t<Category>\n\t\t<CategoryName>Beta</CategoryName>\n\t</Category>\n"
                           "</BookSet_Categories>\n";
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(tabbed.utf16()), tabbed.size() * 2);
    h.data.write(Set, utf16);
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    const QByteArray rebuilt = h.data.read(Set);
    ASSERT_TRUE(rebuilt.startsWith("\xFF\xFE"));
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t*>(rebuilt.constData() + 2), (rebuilt.size() - 2) / 2);
    EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\n\t<Category>\n\t\t<CategoryName>Beta</CategoryName>"));
}

TEST_F(Categories, AddWritesTheTrimmedNameAndEachRefusalSaysWhetherTheHostHears)
{
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    // 100 characters once trimmed pass the length check.
    const std::string added = '|' + std::string(100, 'x');
    apply(QString::fromStdString("  " + added.substr(1) + "  "));
    EXPECT_TRUE(setNames().ends_with(added) && items().ends_with(added)) << items();
    EXPECT_EQ(name()->text(), QString());
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), 1);
    EXPECT_EQ(messages(), "");

    const char* const invalid = "Enter a valid string for category";
    const std::tuple<QString, const char*, bool> refusals[] = {
        {"reference", "Category Already Exists.", false},
        {" Reference ", "Category already Exists", false}, // found once trimmed
        {"", invalid, true},
        {"   ", invalid, true},
        {QString(101, 'x'), "Length of category name should not exceed more than 100 characters",
         true},
        {"Tom's", invalid, true},
        {"A & B", invalid, true},
        {"Say \"hi\" <b>", invalid, true},
    };
    const QByteArray set = h.data.read(Set);
    for (const auto& [typed, message, raised] : refusals) {
        SCOPED_TRACE(typed.toStdString());
        h.dialogs->clear();
        spy.clear();
        apply(typed);
        EXPECT_EQ(messages(), message);
        EXPECT_EQ(h.dialogs->messages.value(0).icon, MessageIcon::Information);
        EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), raised ? 1 : 0);
        EXPECT_EQ(name()->hasFocus(), raised);
        EXPECT_EQ(h.data.read(Set), set);
    }
    h.click("cmdCategoryCancel");
    EXPECT_EQ(name()->text(), QString());
}

TEST_F(Categories, RenameReachesOnlyTheBooksListsOfTheTableOfContents)
{
    replaceIn(Toc, ">Tutorials</Book_Category>", ">reference</Book_Category>");
    const QByteArray arBook = h.data.read(ArBook);
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Reference"));
    apply("Manuals");

    EXPECT_EQ(messages(), "");
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), 1);
    EXPECT_EQ(setBooks("Manuals"), "AR");
    EXPECT_EQ(tocBook("AR") + "/" + tocBook("UM"),
              "Administration|Manuals/Getting Started|reference");
    EXPECT_EQ(texts(Toc, "//PX_Categories/*[. = 'Reference']"), "Reference");
    EXPECT_EQ(h.data.read(ArBook), arBook);
    // The list was emptied before the refresh: it follows the rebuilt set.
    EXPECT_EQ(items(),
              "Getting Started|Tutorials|Administration|Licensing|Manuals|Global Information");
}

TEST_F(Categories, DeleteClearsTheNameWhereverItCanAndSparesWhatItCannotReadOrWrite)
{
    // Outside the set the name matches in any case. The table of contents names the User
    // Manual "UM_Book.xml": not an XML book to clean, and the Admin Reference's folder in
    // another case, found as a user of the tool finds it.
    replaceIn(Toc, ">Administration<", ">ADMINISTRATION<");
    replaceIn(Toc, ">Admin Reference<", ">ADMIN REFERENCE<");
    replaceIn(ArBook, ">Administration<", ">administration<");
    replaceIn(UmBook, ">Tutorials<", ">Administration<");
    const QByteArray malformed = "<Book_Master><Book>";
    h.data.write(IgBook, malformed);
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    replaceIn(Set, ">Licensing<", ">administration<");
    remove("Administration");

    EXPECT_EQ(messages(), "Are you sure you want to Delete ?|File does not exist");
    EXPECT_EQ(h.dialogs->messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryDeletionEvent), 1);
    EXPECT_EQ(
        setNames(),
        "Getting Started|Tutorials|Other Category|administration|Reference|Global Information");
    EXPECT_EQ(texts(Toc, "//PX_Categories/*"),
              "Getting Started|Licensing|Tutorials|Reference|Global Information");
    EXPECT_EQ(tocBook("IG") + "/" + tocBook("UM") + "/" + tocBook("AR"),
              "Getting Started/Getting Started|Tutorials/Reference");
    EXPECT_EQ(h.data.read(IgBook), malformed);
    EXPECT_EQ(texts(ArBook, BookCategories) + "/" + texts(UmBook, BookCategories),
              "Reference/Getting Started|Administration");
    EXPECT_EQ(items(), "Getting Started|[Tutorials]|Licensing|Reference|Global Information");
    EXPECT_EQ(name()->text(), QString());

    // The last entry and the first leave no selection; books left without a category are
    // filed under "Other Category".
    remove("Global Information");
    EXPECT_EQ(setBooks("Other Category"), "RN|Global");
    list()->insertItem(0, "Drafts");
    remove("Drafts");
    EXPECT_EQ(items(), "Getting Started|Tutorials|Licensing|Reference");

    // The set keeps its removal when the table of contents cannot be saved; no book is
    // visited then (the malformed one would be reported).
    QFile::setPermissions(h.data.path(Toc), QFileDevice::ReadOwner);
    h.dialogs->clear();
    remove("Reference");
    ASSERT_EQ(h.dialogs->messages.size(), 2);
    EXPECT_TRUE(h.dialogs->messages[1].text.startsWith("Error (70 ):"));
    EXPECT_TRUE(h.dialogs->messages[1].text.endsWith("\rTovanel::ctlGlobalsTab - DelCateinPXTOC"));
    EXPECT_EQ(setBooks("Reference") + "/" + texts(ArBook, BookCategories), "/Reference");
    QFile::setPermissions(h.data.path(Toc), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // The delete ended there, as reported: a second host starting keeps the removal.
    const QByteArray removed = h.data.read(Set);
    EXPECT_TRUE(Action::recover(h.data.root()).empty());
    EXPECT_EQ(h.data.read(Set), removed);

    // Without PX_Books nothing can be filed, and that is reported in its own form.
    replaceIn(Toc, "PX_Books>", "PX_Shelf>");
    h.dialogs->clear();
    remove("Licensing");
    ASSERT_EQ(h.dialogs->messages.size(), 3);
    const ShownMessage& report = h.dialogs->messages.last();
    EXPECT_TRUE(report.text.startsWith("91: "));
    EXPECT_EQ(report.title, "Sendrel::ctlBookTab-GetBookAcroValue");
    EXPECT_EQ(report.icon, MessageIcon::Information);
}

TEST_F(Categories, EditAndDeleteRefuseDefaultsUnchangedNamesAndMissingSelections)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    const QByteArray set = h.data.read(Set);
    h.type("txtCategoryName", "x");
    h.click("cmdCategoryDelete");
    EXPECT_EQ(messages(), "To Edit, Select a Category from List|"
                          "Select a category from list box to be deleted");
    EXPECT_EQ(name()->text(), QString());

    h.dialogs->clear();
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Getting Started"));
    apply("Basics"); // warned on focus, typing allowed
    h.click("cmdCategoryDelete");
    EXPECT_EQ(messages(), "Getting Started is a default category, hence cannot be edited|"
                          "Getting Started is a default category, hence cannot be edited|"
                          "Getting Started is a default category, hence cannot be deleted");
    for (const ShownMessage& shown : h.dialogs->messages)
        EXPECT_EQ(shown.icon, MessageIcon::None);

    h.dialogs->clear();
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Reference"));
    h.click("cmdApplyAddEditCate");
    apply("REFERENCE");
    EXPECT_EQ(messages(), "Category already Exists|Category already Exists");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(h.data.read(Set), set);
    h.click("cmdCategoryCancel");
    EXPECT_EQ(name()->text(), "Reference");

    // No writes nothing, yet books without a category are filed again.
    replaceIn(Set, "<BookAcro>RN</BookAcro>", "");
    const QByteArray toc = h.data.read(Toc);
    h.dialogs->clear();
    h.dialogs->queueAnswer(MessageAnswer::No);
    h.click("cmdCategoryDelete");
    EXPECT_EQ(messages(), "Are you sure you want to Delete ?");
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryDeletionEvent), 1);
    EXPECT_EQ(setBooks("Reference") + "/" + setBooks("Other Category"), "AR/RN");
    EXPECT_EQ(h.data.read(Toc), toc);
    EXPECT_EQ(items(), "Getting Started|Tutorials|Administration|Licensing|[Reference]|"
                       "Global Information");

    // The complaint about an unknown name comes after the host was told.
    qsizetype shownAtEvent = -1;
    QObject::connect(h.tab.get(), &ctlGlobalsTab::OnCategoryDeletion,
                     [&] { shownAtEvent = h.dialogs->messages.size(); });
    replaceIn(Set, "<BookAcro>RN</BookAcro>", "");
    h.dialogs->clear();
    h.setText("txtCategoryName", "Nowhere");
    h.click("cmdCategoryDelete");
    EXPECT_EQ(messages(), "Are you sure you want to Delete ?|Not a valid category");
    EXPECT_EQ(shownAtEvent, 1);
    EXPECT_EQ(setBooks("Other Category"), "RN");
    EXPECT_EQ(h.data.read(Toc), toc);
}

} // namespace
