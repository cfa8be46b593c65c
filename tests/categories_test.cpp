#include "control/ctlGlobalsTab.h"
#include "platform/XmlDocument.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Set = QStringLiteral("Docs/Orion Suite 2024/PX_BookCategories.xml");
const QString Toc = QStringLiteral("Docs/Orion Suite 2024/PX_TOC.xml");
const QString IgBook = QStringLiteral("Docs/Orion Suite 2024/Installation Guide/IG_Book.xml");
const QString UmBook = QStringLiteral("Docs/Orion Suite 2024/User Manual/um_book.xml");
const QString ArBook = QStringLiteral("Docs/Orion Suite 2024/Admin Reference/AR_Book.XML");

// Lists are compared as "a|b|c". Install type 0: the defaults are "Getting Started",
// "Tutorials" and "Other Category".
const char* const SampleList =
    "Getting Started|Administration|Licensing|Tutorials|Reference|Global Information";

class Categories : public ::testing::Test
{
protected:
    // Focus changes reach the text box's handlers only in the active window.
    void SetUp() override
    {
        QApplication::setActiveWindow(h.tab.get());
        ASSERT_TRUE(h.tab->isActiveWindow());
    }
    std::string texts(const QString& file, const QString& xpath) const
    {
        XmlDocument doc;
        if (!doc.load(h.data.path(file)))
            return "<not readable>";
        QStringList result;
        const XmlNodeList nodes = doc.selectNodes(xpath);
        for (int i = 0; i < nodes.length(); ++i)
            result << nodes.item(i).text();
        return result.join(QLatin1Char('|')).toStdString();
    }
    std::string setNames() const { return texts(Set, "BookSet_Categories/Category/CategoryName"); }
    std::string setBooks(const QString& name) const
    {
        return texts(Set, "BookSet_Categories/Category[CategoryName='" + name + "']/BookAcro");
    }
    std::string tocBook(const QString& acro) const
    {
        return texts(Toc, "//Book[Book_Acro='" + acro + "']/Book_Categories/*");
    }
    std::string bookDocument(const QString& file) const
    {
        return texts(file, "//BookSet_Categories/*");
    }
    std::string items() const { return h.items("lstAvaBookCategories").join('|').toStdString(); }
    std::string messages() const { return h.dialogs->texts().join('|').toStdString(); }
    void replaceIn(const QString& file, const char* from, const char* to) const
    {
        QByteArray data = h.data.read(file);
        ASSERT_TRUE(data.contains(from)) << from;
        h.data.write(file, data.replace(from, to));
    }
    int events(int number) const
    {
        return int(std::count_if(spy.begin(), spy.end(), [&](const QList<QVariant>& raised) {
            return raised.at(0).toInt() == number;
        }));
    }
    QLineEdit* name() const { return h.widget<QLineEdit>("txtCategoryName"); }
    std::string selected() const
    {
        const QList<QListWidgetItem*> items =
            h.widget<QListWidget>("lstAvaBookCategories")->selectedItems();
        return items.isEmpty() ? "<none>" : items.first()->text().toStdString();
    }
    void remove(const QString& category)
    {
        ASSERT_TRUE(h.clickItem("lstAvaBookCategories", category));
        h.click("cmdCategoryDelete");
    }

    TabHarness h;
    QSignalSpy spy{h.tab.get(), &ctlGlobalsTab::eventRaised};
};

TEST_F(Categories, RefreshKeepsTheListAndRebuildsTheSetFromItAndTheTableOfContents)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    EXPECT_EQ(items(), SampleList);
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category|Administration|Licensing|"
                          "Reference|Global Information");
    EXPECT_EQ(setBooks("Administration"), "IG|AR");
    EXPECT_EQ(setBooks("Other Category"), "RN");

    // Entries the document lacks stay first; names it repeats in another case are skipped.
    // "other category" is listed, but the service counts it as the default one.
    h.data.write(Set, "<BookSet_Categories><Category><CategoryName>Beta</CategoryName></Category>"
                      "<Category><CategoryName>Other Category</CategoryName></Category>"
                      "<Category><CategoryName>other category</CategoryName></Category>"
                      "<Category><CategoryName>drafts</CategoryName></Category>"
                      "</BookSet_Categories>");
    h.widget<QListWidget>("lstAvaBookCategories")->clear();
    h.widget<QListWidget>("lstAvaBookCategories")->addItem(QStringLiteral("Drafts"));
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    EXPECT_EQ(items(), "Drafts|Beta|other category");
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category|Drafts|Beta");
    EXPECT_EQ(messages(), "");
}

TEST_F(Categories, RefreshOfAMissingMalformedOrReadOnlySet)
{
    QFile::remove(h.data.path(Set));
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(items(), "");
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category");

    h.data.write(Set, "<BookSet_Categories><Category>");
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(messages(), "File does not exist");
    EXPECT_EQ(h.dialogs->messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category");

    // A set that could not be written back is neither deleted nor listed.
    const QByteArray readOnly = "<BookSet_Categories><Category><CategoryName>Kept</CategoryName>"
                                "</Category></BookSet_Categories>";
    h.data.write(Set, readOnly);
    QFile::setPermissions(h.data.path(Set), QFileDevice::ReadOwner);
    h.widget<QListWidget>("lstAvaBookCategories")->addItem(QStringLiteral("Listed"));
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    EXPECT_EQ(items(), "Listed");
    EXPECT_EQ(h.data.read(Set), readOnly);
    EXPECT_EQ(messages(), "File does not exist");
}

TEST_F(Categories, AddWritesTheTrimmedNameAndEachRefusalSaysWhetherTheHostHears)
{
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    for (const QString& typed : {QStringLiteral("  Drafts  "), QString(100, 'x')}) {
        h.type("txtCategoryName", typed);
        h.click("cmdApplyAddEditCate");
        EXPECT_EQ(setNames().substr(setNames().rfind('|') + 1), typed.trimmed().toStdString());
        EXPECT_EQ(items().substr(items().rfind('|') + 1), typed.trimmed().toStdString());
        EXPECT_EQ(name()->text(), QString());
    }
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), 2);
    EXPECT_EQ(messages(), "");

    const char* const invalid = "Enter a valid string for category";
    const struct
    {
        QString typed;
        const char* message;
        bool raised;
    } refusals[] = {
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
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.typed.toStdString());
        h.dialogs->clear();
        spy.clear();
        h.type("txtCategoryName", refusal.typed);
        h.click("cmdApplyAddEditCate");
        EXPECT_EQ(messages(), refusal.message);
        EXPECT_EQ(h.dialogs->messages.value(0).icon, MessageIcon::Information);
        EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), refusal.raised ? 1 : 0);
        EXPECT_EQ(name()->hasFocus(), refusal.raised);
        EXPECT_EQ(h.data.read(Set), set);
    }
}

TEST_F(Categories, RenameReachesOnlyTheBooksListsOfTheTableOfContents)
{
    replaceIn(Toc, "<Book_Category>Tutorials</Book_Category>",
              "<Book_Category>Tutorials</Book_Category><Book_Category>reference</Book_Category>");
    const QByteArray arBook = h.data.read(ArBook);
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Reference"));
    EXPECT_EQ(name()->text(), QStringLiteral("Reference"));
    h.type("txtCategoryName", QStringLiteral("Manuals"));
    h.click("cmdApplyAddEditCate");

    EXPECT_EQ(messages(), "");
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryAdditionEvent), 1);
    EXPECT_EQ(setBooks("Reference"), "");
    EXPECT_EQ(setBooks("Manuals"), "AR");
    EXPECT_EQ(tocBook("AR"), "Administration|Manuals");
    EXPECT_EQ(tocBook("UM"), "Getting Started|Tutorials|reference");
    EXPECT_EQ(texts(Toc, "//PX_Categories/*[. = 'Reference']"), "Reference");
    EXPECT_EQ(h.data.read(ArBook), arBook);
    // Apply empties the list before the refresh: it follows the rebuilt set.
    EXPECT_EQ(items(),
              "Getting Started|Tutorials|Administration|Licensing|Manuals|Global Information");
    EXPECT_EQ(selected(), "<none>");
}

TEST_F(Categories, EditRefusesDefaultsUnchangedNamesAndKeysWithoutSelection)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    const QByteArray set = h.data.read(Set);
    h.type("txtCategoryName", QStringLiteral("x"));
    EXPECT_EQ(messages(), "To Edit, Select a Category from List");
    EXPECT_EQ(name()->text(), QString());

    h.dialogs->clear();
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Getting Started"));
    h.type("txtCategoryName", QStringLiteral("Basics")); // warned on focus, typing allowed
    h.click("cmdApplyAddEditCate");
    EXPECT_EQ(messages(), "Getting Started is a default category, hence cannot be edited|"
                          "Getting Started is a default category, hence cannot be edited");
    EXPECT_EQ(h.dialogs->messages[1].icon, MessageIcon::None);

    h.dialogs->clear();
    ASSERT_TRUE(h.clickItem("lstAvaBookCategories", "Reference"));
    h.click("cmdApplyAddEditCate");
    h.type("txtCategoryName", QStringLiteral("REFERENCE"));
    h.click("cmdApplyAddEditCate");
    EXPECT_EQ(messages(), "Category already Exists|Category already Exists");
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(h.data.read(Set), set);

    h.click("cmdCategoryCancel");
    EXPECT_EQ(name()->text(), QStringLiteral("Reference"));
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    h.type("txtCategoryName", QStringLiteral("Drafts"));
    h.click("cmdCategoryCancel");
    EXPECT_EQ(name()->text(), QString());
}

TEST_F(Categories, DeleteClearsTheNameEverywhereIgnoringCaseOutsideTheSet)
{
    replaceIn(Toc, "<PX_Category>Licensing</PX_Category>",
              "<PX_Category>Licensing</PX_Category><PX_Category>administration</PX_Category>");
    replaceIn(Toc, "<Book_Category>Tutorials</Book_Category>",
              "<Book_Category>Tutorials</Book_Category><Book_Category>ADMINISTRATION"
              "</Book_Category>");
    // The table of contents names this book "UM_Book.xml": not an XML book to clean.
    replaceIn(UmBook, "<BookSet_Category>Tutorials</BookSet_Category>",
              "<BookSet_Category>Tutorials</BookSet_Category><BookSet_Category>Administration"
              "</BookSet_Category>");
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    replaceIn(Set, "</BookSet_Categories>",
              "<Category><CategoryName>administration</CategoryName></Category>"
              "</BookSet_Categories>");
    remove("Administration");

    EXPECT_EQ(messages(), "Are you sure you want to Delete ?");
    EXPECT_EQ(h.dialogs->messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryDeletionEvent), 1);
    EXPECT_EQ(setNames(), "Getting Started|Tutorials|Other Category|Licensing|Reference|"
                          "Global Information|administration");
    EXPECT_EQ(texts(Toc, "//PX_Categories/*"),
              "Getting Started|Licensing|Tutorials|Reference|Global Information");
    EXPECT_EQ(tocBook("IG") + "/" + tocBook("UM") + "/" + tocBook("AR"),
              "Getting Started/Getting Started|Tutorials/Reference");
    EXPECT_EQ(bookDocument(IgBook) + "/" + bookDocument(ArBook), "Getting Started/Reference");
    EXPECT_EQ(bookDocument(UmBook), "Getting Started|Tutorials|Administration");
    EXPECT_EQ(items(), "Getting Started|Licensing|Tutorials|Reference|Global Information");
    EXPECT_EQ(selected(), "Getting Started");
    EXPECT_EQ(name()->text(), QString());

    // The last entry and the first leave no selection; books left without a category are
    // filed under "Other Category".
    remove("Global Information");
    EXPECT_EQ(setBooks("Other Category"), "RN|Global");
    EXPECT_EQ(selected(), "<none>");
    h.widget<QListWidget>("lstAvaBookCategories")->insertItem(0, QStringLiteral("Drafts"));
    remove("Drafts");
    EXPECT_EQ(selected(), "<none>");
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryDeletionEvent), 3);
}

TEST_F(Categories, DeleteRefusalsAnswerNoAndUnknownNames)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    h.click("cmdCategoryDelete");
    remove("Getting Started");
    EXPECT_EQ(messages(), "Select a category from list box to be deleted|"
                          "Getting Started is a default category, hence cannot be deleted");
    EXPECT_EQ(h.dialogs->messages[1].icon, MessageIcon::None);
    EXPECT_EQ(spy.count(), 0);

    // No writes nothing, yet books without a category are filed again.
    replaceIn(Set, "<BookAcro>RN</BookAcro>", "");
    const QByteArray toc = h.data.read(Toc);
    const QByteArray arBook = h.data.read(ArBook);
    h.dialogs->clear();
    h.dialogs->queueAnswer(MessageAnswer::No);
    remove("Reference");
    EXPECT_EQ(messages(), "Are you sure you want to Delete ?");
    EXPECT_EQ(events(ctlGlobalsTab::OnCategoryDeletionEvent), 1);
    EXPECT_EQ(setBooks("Other Category"), "RN");
    EXPECT_EQ(h.data.read(Toc), toc);
    EXPECT_EQ(h.data.read(ArBook), arBook);
    EXPECT_EQ(items(), SampleList);

    // The complaint about an unknown name comes after the host was told.
    qsizetype shownAtEvent = -1;
    QObject::connect(h.tab.get(), &ctlGlobalsTab::OnCategoryDeletion,
                     [&] { shownAtEvent = h.dialogs->messages.size(); });
    h.dialogs->clear();
    h.setText("txtCategoryName", QStringLiteral("Nowhere"));
    h.click("cmdCategoryDelete");
    EXPECT_EQ(messages(), "Are you sure you want to Delete ?|Not a valid category");
    EXPECT_EQ(shownAtEvent, 1);
    EXPECT_EQ(h.data.read(Toc), toc);
}

TEST_F(Categories, DeleteWithDocumentsThatCannotBeReadOrWritten)
{
    ASSERT_TRUE(h.pick("Edit", "Hierarchical Category"));
    // The set keeps its removal when the table of contents cannot be saved; no book is
    // visited then.
    const QByteArray arBook = h.data.read(ArBook);
    QFile::setPermissions(h.data.path(Toc), QFileDevice::ReadOwner);
    remove("Reference");
    ASSERT_EQ(h.dialogs->messages.size(), 2);
    EXPECT_TRUE(h.dialogs->messages[1].text.startsWith("Error (70 ):"));
    EXPECT_TRUE(h.dialogs->messages[1].text.endsWith("\rTovanel::ctlGlobalsTab - DelCateinPXTOC"));
    EXPECT_EQ(setBooks("Reference"), "");
    EXPECT_EQ(h.data.read(ArBook), arBook);
    QFile::setPermissions(h.data.path(Toc), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A malformed book document is reported and kept; the other books are cleaned.
    h.data.write(IgBook, "<Book_Master><Book>");
    h.dialogs->clear();
    remove("Administration");
    EXPECT_EQ(messages(), "Are you sure you want to Delete ?|File does not exist");
    EXPECT_EQ(h.data.read(IgBook), QByteArray("<Book_Master><Book>"));
    EXPECT_EQ(bookDocument(ArBook), "Reference");
    EXPECT_EQ(tocBook("IG"), "Getting Started");

    // Without PX_Books nothing can be filed; the books are still cleaned (and the malformed
    // one reported again).
    replaceIn(Toc, "<PX_Books>", "<PX_Shelf>");
    replaceIn(Toc, "</PX_Books>", "</PX_Shelf>");
    h.dialogs->clear();
    remove("Global Information");
    ASSERT_EQ(h.dialogs->messages.size(), 3);
    const ShownMessage& report = h.dialogs->messages.last();
    EXPECT_TRUE(report.text.startsWith("91: "));
    EXPECT_EQ(report.title, "Sendrel::ctlBookTab-GetBookAcroValue");
    EXPECT_EQ(report.icon, MessageIcon::Information);
    EXPECT_EQ(setBooks("Global Information"), "");
}

} // namespace
