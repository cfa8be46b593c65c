// The table of contents on a small inline document: the rules the rename and the category
// changes rely on.
#include "documents/BookDocument.h"
#include "documents/CategorySet.h"
#include "documents/TableOfContents.h"
#include "platform/XmlDocument.h"
#include "tests/support/CoreSupport.h"
#include "text/TextChecks.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace globalstab;

namespace {

class Documents : public ::testing::Test
{
protected:
    // Writes xml to a file of the test's folder and loads it into doc.
    template <typename Doc> void load(Doc& doc, const QByteArray& xml)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml);
        file.close();
        ASSERT_TRUE(doc.load(path)) << doc.parseError().toStdString();
    }
    QByteArray saved(const Document& doc)
    {
        doc.save(path);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.xml");
};

} // namespace

TEST_F(Documents, TableOfContentsRenamesKeysAndFindsBooksByCategory)
{
    TableOfContents toc;
    load(toc, R"(<PX_Master><PX><PX_Platform/><PX_Variation/><PX_ID>X</PX_ID>
        <PX_Categories><PX_Category>Guides</PX_Category><PX_Category>Other</PX_Category>
        </PX_Categories></PX>
        <PX_Books>
        <Book><Book_Acro>IG</Book_Acro><Book_Folder>Install</Book_Folder>
          <Book_File>IG.xml</Book_File><Book_Key>old</Book_Key>
          <Book_Categories><Book_Category>guides</Book_Category></Book_Categories></Book>
        <Book><Book_Acro>NF</Book_Acro><Book_File>nf.xml</Book_File>
          <Book_Categories/></Book>
        <Book><Book_Acro>UM</Book_Acro><Book_Folder>Manual</Book_Folder>
          <Book_File>um.xml</Book_File><Book_Key>old</Book_Key>
          <Book_Categories><Book_Category>Guides</Book_Category></Book_Categories></Book>
        </PX_Books></PX_Master>)");
    toc.setProductInfo("Nova ", "3");
    QStringList visited;
    toc.setBookKeys("Nova 3", [&](const QString& folder, const QString& file) {
        visited << folder + "/" + file;
    });
    // A book without a folder is not matched to any document.
    EXPECT_EQ(visited, QStringList({"Install/IG.xml", "Manual/um.xml"}));
    EXPECT_EQ(toc.categoryBooks("Guides"), QStringList{"UM"});
    // Each book once under a category, in the order of the books, however often it is named.
    TableOfContents shared;
    load(shared, R"(<PX_Master><PX_Books>
        <Book><Book_Acro>A</Book_Acro><Book_Categories><Book_Category>G</Book_Category>
          <Book_Category>G</Book_Category></Book_Categories>
          <Book_Categories><Book_Category>G</Book_Category></Book_Categories></Book>
        <Book><Book_Acro>B</Book_Acro><Book_Categories><Book_Category>G</Book_Category>
          </Book_Categories></Book>
        <Book><Book_Acro>A</Book_Acro><Book_Categories><Book_Category>G</Book_Category>
          <Book_Category>H</Book_Category></Book_Categories></Book>
        <Book><Book_Categories><Book_Category>H</Book_Category></Book_Categories></Book>
        <Book><Book_Acro>C</Book_Acro><Book_Categories><Book_Category>G<!--x--></Book_Category>
          </Book_Categories></Book>
        <Book><Book_Acro>D</Book_Acro><Book_Categories><Book_Category>&#71;</Book_Category>
          <Book_Category><![CDATA[H]]></Book_Category></Book_Categories></Book>
        </PX_Books></PX_Master>)");
    // Names spelt otherwise in the file (a comment beside, a reference, a CDATA section) are
    // the same names.
    EXPECT_EQ(shared.categoryBooks("G"), QStringList({"A", "B", "C", "D"}));
    EXPECT_EQ(shared.categoryBooks("H"), QStringList({"A", "D"}));
    EXPECT_EQ(toc.uncategorisedBookAcros(), QStringList{"NF"});
    EXPECT_EQ(toc.booksWithoutCategory(), QStringList{"NF"});

    int saves = 0;
    toc.renameBookCategory("Guides", "Manuals", [&] { ++saves; });
    EXPECT_EQ(saves, 1); // the exact name only
    const TableOfContents::BookFiles files = toc.removeCategory("GUIDES");
    EXPECT_EQ(files.folders, QStringList({"Install", "Manual"}));
    EXPECT_EQ(files.files, QStringList({"IG.xml", "nf.xml", "um.xml"}));
    const QByteArray xml = saved(toc);
    EXPECT_FALSE(xml.contains("uides<"));
    EXPECT_TRUE(xml.contains("<Book_Category>Manuals</Book_Category>"));
    EXPECT_TRUE(xml.contains("<PX_Platform>Nova </PX_Platform>"));
    EXPECT_EQ(xml.count("<Book_Key>Nova 3</Book_Key>"), 2);
}

// A rename visits the lists its query selects, found without compiling it for every name.
TEST_F(Documents, ACategoryRenameChangesTheListsItsQuerySelects)
{
    const QByteArray books[] = {
        "<Book><Book_Categories><Book_Category><b>Gu</b>ides</Book_Category>"
        "</Book_Categories></Book>",
        "<Book><Book_Categories><Book_Category><![CDATA[Guides]]></Book_Category>"
        "</Book_Categories></Book>",
        "<Book><Book_Categories>Guides<Book_Category>Other</Book_Category></Book_Categories>"
        "</Book>",
        "<Book><Book_Categories><Book_Category>Other</Book_Category>Guides"
        "<Book_Category>Guides</Book_Category></Book_Categories></Book>",
        "<Book><Book_Categories><Book_Category>guides</Book_Category></Book_Categories></Book>",
        "<Book><Shelf><Book_Categories><Book_Category>Guides</Book_Category></Book_Categories>"
        "</Shelf></Book>",
        "<Other><Book_Categories><Book_Category>Guides</Book_Category></Book_Categories></Other>",
    };
    for (const QByteArray& book : books) {
        const QByteArray xml = "<PX_Master><PX_Books>" + book + "</PX_Books></PX_Master>";
        TableOfContents toc;
        load(toc, xml);
        XmlDocument queried;
        ASSERT_TRUE(queried.load(path));
        const int selected =
            queried
                .selectNodes("/PX_Master/PX_Books/Book/Book_Categories[Book_Category = 'Guides']")
                .length();
        int renamed = 0;
        toc.renameBookCategory("Guides", "Manuals", [&] { ++renamed; });
        EXPECT_EQ(renamed, selected) << book.constData();
        EXPECT_EQ(saved(toc).contains("Manuals"), selected > 0) << book.constData();
    }
    // The apostrophe of a name ends the literal of the query, which refuses what follows.
    TableOfContents toc;
    load(toc, "<PX_Master><PX_Books/></PX_Master>");
    const auto error = test::caught([&] { toc.renameBookCategory("X's", "Y", [] {}); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), rt::XmlFailure);
}

// The set finds a category by name through an index kept with the tree; whatever changed the
// tree, a look-up answers as a walk over the categories would.
TEST_F(Documents, CategorySetLooksUpTheFirstCategoryOfANameAfterEveryKindOfChange)
{
    CategorySet set;
    load(set, "<BookSet_Categories><Category><CategoryName>A</CategoryName></Category>"
              "<Category><CategoryName>B</CategoryName><BookAcro>x</BookAcro></Category>"
              "<Category><CategoryName>A</CategoryName></Category></BookSet_Categories>");
    EXPECT_FALSE(set.add("B", path));
    EXPECT_TRUE(set.setBooks("A", {"p", "q", "p"}, path)); // the first "A"
    EXPECT_TRUE(set.add("C", path));
    EXPECT_TRUE(set.setBooks("C", {"r"}, path));
    EXPECT_FALSE(set.setBooks("D", {"s"}, path));
    EXPECT_TRUE(set.rename("B", "D", path));
    EXPECT_TRUE(set.setBooks("D", {"t"}, path));
    EXPECT_TRUE(set.add("B", path));
    EXPECT_TRUE(set.moveCategory("B", true));
    EXPECT_TRUE(set.fileBook("B", "u", path));
    // Every "A" goes, with the books the first had.
    EXPECT_EQ(set.removeCategory("A"), QStringList({"p", "q"}));
    EXPECT_TRUE(set.add("A", path));
    EXPECT_TRUE(set.fileBook("A", "v", path));
    const QList<CategorySet::Category> categories = set.categories();
    QStringList shown;
    for (const CategorySet::Category& category : categories)
        shown << category.name + ":" + category.bookAcros.join(',');
    EXPECT_EQ(shown, QStringList({"D:t", "B:u", "C:r", "A:v"}));

    // Two sets of one action share one tree: a change through either is seen by both.
    DocumentCache cache;
    CategorySet first, second;
    ASSERT_TRUE(first.load(path) && second.load(path));
    EXPECT_TRUE(first.add("E", path));
    EXPECT_FALSE(second.add("E", path));
    EXPECT_TRUE(second.rename("E", "F", path));
    EXPECT_TRUE(first.setBooks("F", {"w"}, path));
    EXPECT_FALSE(first.setBooks("E", {"w"}, path));
}

// A delete skips the books the inspection says hold nothing to remove: it must say so exactly
// when the removal would remove nothing.
TEST_F(Documents, ABookHoldsACategoryExactlyWhenRemovingItRemovesSomething)
{
    const QByteArray lists[] = {
        "<Book_Master><Book><BookSet_Categories><C>tutorials</C></BookSet_Categories></Book>"
        "</Book_Master>",
        "<Book_Master><Book><Other><C>Tutorials</C></Other></Book></Book_Master>",
        "<Book_Master><Book/><Shelf><Book><BookSet_Categories><C>A</C><!--x--><C>TUTORIALS"
        "</C></BookSet_Categories></Book></Shelf></Book_Master>",
        "<Book_Master><BookSet_Categories><C>Tutorials</C></BookSet_Categories></Book_Master>",
        "<Book_Master><Book><BookSet_Categories>Tutorials</BookSet_Categories></Book>"
        "</Book_Master>",
        "<Book_Master><Book><BookSet_Categories><C>Tutorials </C></BookSet_Categories></Book>"
        "</Book_Master>",
    };
    for (const QByteArray& xml : lists) {
        BookDocument book;
        load(book, xml);
        XmlDocument read;
        ASSERT_TRUE(read.load(path));
        const bool held = BookDocument::holdsCategory(read, QStringLiteral("Tutorials"));
        EXPECT_EQ(held, book.removeCategory("Tutorials")) << xml.toStdString();
    }
}

// A name matches a node's text regardless of letter case exactly as the upper-cased strings
// compare, also where the text is compared in place: every kind of node, texts of more than
// one node, and letters whose upper case is ASCII or longer.
TEST_F(Documents, NamesMatchTextsInAnyCaseAsTheirUpperCaseStringsCompare)
{
    XmlDocument doc;
    load(doc, QStringLiteral("<L><C>tutorials</C><C>Tutorials </C><C>TUTORIALß</C><C/>"
                             "<C>Tutorial<![CDATA[s]]></C><C>Tutorial<!--x-->s</C><!--tutorials-->"
                             "<C>\u017Fkip</C><C>SKIP</C><C>stra\u00DFe</C><C>&amp;Co</C>"
                             "<C><D>tutorials</D></C>tutorials</L>")
                  .toUtf8());
    const QStringList names = {"Tutorials", "TUTORIALSS", "skip", "STRASSE",
                               "Straße",    "&co",        "",     "tutorial"};
    int compared = 0;
    for (const QString& name : names) {
        const access::NameInAnyCase wanted(name);
        for (XmlNode node = doc.documentElement().firstChild(); node; node = node.nextSibling()) {
            const bool expected = equalsUpper(node.text(), name.toUpper());
            EXPECT_EQ(wanted.isTextOf(node), expected)
                << name.toStdString() << " / " << node.text().toStdString();
            compared += expected;
        }
    }
    EXPECT_GE(compared, 10); // the table holds matches, not only mismatches
}
