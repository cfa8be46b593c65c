// The document classes on small inline documents: what each reads and writes.
#include "documents/CategorySet.h"
#include "documents/DefaultCategories.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "tests/support/CoreSupport.h"

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

TEST_F(Documents, SelectionListFindsProjectsAndReplacesAnEntryAtTheEnd)
{
    SelectionList list;
    load(list, R"(<PX_Selection_List><PXs>
        <PX><PX_Acro>A1</PX_Acro><PX_Name Rank=" 7 ">Alpha</PX_Name></PX>
        <PX><PX_Acro>B2</PX_Acro><PX_Name>Beta</PX_Name></PX></PXs></PX_Selection_List>)");
    EXPECT_EQ(list.projectId("Alpha"), "A1");
    EXPECT_EQ(list.projectRank("Alpha"), "7");
    EXPECT_EQ(list.projectNames(), QStringList({"Alpha", "Beta"}));
    EXPECT_TRUE(list.namesAnotherProject("BETA", "Alpha"));
    EXPECT_FALSE(list.namesAnotherProject("ALPHA", "Alpha")); // its own entry never counts
    // The name goes into the query unescaped: a double quote breaks it.
    EXPECT_TRUE(test::caught([&] { list.projectId("A\"B"); }));

    list.replaceEntry("Alpha", {"G3", "Gamma", "12", true});
    EXPECT_EQ(list.projectNames(), QStringList({"Beta", "Gamma"}));
    EXPECT_TRUE(saved(list).contains("<PX>\n      <PX_Acro>G3</PX_Acro>\n      <PX_Name "
                                     "AddDate=\"\" Pro=\"Yes\" Enable=\"Yes\" Rank=\"12\">Gamma"
                                     "</PX_Name>\n      <PX_Location>Docs\\Gamma\\</PX_Location>"));

    SelectionList broken;
    load(broken, "<Other/>");
    const auto error = test::caught([&] { broken.replaceEntry("Alpha", {"G3", "Gamma", "1"}); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), rt::ObjectNotSet);
}

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

TEST_F(Documents, CategorySetMovesByEscapedNameAndRemovesEveryNamesake)
{
    CategorySet set;
    load(set, R"(<BookSet_Categories>
        <Category><CategoryName>A &amp; B</CategoryName></Category>
        <Category><CategoryName>C</CategoryName><BookAcro>IG</BookAcro></Category>
        <Category><CategoryName>C</CategoryName><BookAcro>UM</BookAcro></Category>
        <Category><CategoryName>D</CategoryName></Category></BookSet_Categories>)");
    // The query compares text with the escaped name, so a name with markup never matches.
    EXPECT_FALSE(set.moveCategory("A &amp; B", false));
    EXPECT_TRUE(set.moveCategory("D", true));
    EXPECT_FALSE(set.moveCategory("A & B", true)); // first already
    EXPECT_EQ(set.removeCategory("C"), QStringList({"IG", "UM"}));
    EXPECT_EQ(set.names(), QStringList({"A & B", "D"}));
    EXPECT_TRUE(set.setBooks(CategorySet::OtherCategory, {"", "IG", "IG"}, path));
    EXPECT_FALSE(set.setBooks("Missing", {"IG"}, path));
    EXPECT_FALSE(set.add("D", path));
    EXPECT_EQ(set.categories().last().bookAcros, QStringList{"IG"});
}

TEST_F(Documents, GlobalBookListsH1PagesAndLooksUpSourcesWithItsOwnQuery)
{
    GlobalBook book;
    load(book, R"(<Book_Master><Book_Headings>
        <Heading level="H1"><HName>One</HName><HFile>1.htm</HFile></Heading>
        <Heading level="H2"><HName>Sub</HName></Heading>
        <Heading level="H1"><HFile>nameless.htm</HFile></Heading>
        <Heading level="H1"><HName>Tom &amp; Jerry</HName><HFile>tj.htm</HFile></Heading>
        <Heading level="H1"><HName>Tom &amp; Jerry</HName><HFile>second.htm</HFile></Heading>
        </Book_Headings></Book_Master>)");
    EXPECT_EQ(book.pageNames(), QStringList({"One", "Tom & Jerry", "Tom & Jerry"}));
    EXPECT_EQ(book.pageSource("Tom & Jerry"), "tj.htm"); // the first of two namesakes
    EXPECT_EQ(book.pageSource("Sub"), std::nullopt);
    EXPECT_TRUE(test::caught([&] { book.pageSource("Bob's page"); }));
    // The service's lookups take the escaped form of a link text too.
    EXPECT_EQ(book.pageFile("Tom &amp; Jerry"), "tj.htm");
    EXPECT_FALSE(book.editPage("One", "Tom & Jerry", "x.htm", path)); // would clash
    EXPECT_TRUE(book.removePage("Tom & Jerry"));
    EXPECT_EQ(book.pageNames(), QStringList{"One"});
}

TEST_F(Documents, DefaultCategoriesApplyByInstallTypeInDocumentOrder)
{
    DefaultCategories defaults;
    load(defaults, R"(<DefaultCategories>
        <InstallType value="1000"><Category>Pro Tools</Category></InstallType>
        <AllInstallTypes><Category> Getting Started </Category><Category>other category</Category>
        <Category>Other Category</Category><Category/></AllInstallTypes>
        <InstallType value="x"><Category>Never</Category></InstallType></DefaultCategories>)");
    EXPECT_EQ(defaults.names(0), QStringList({"Getting Started", "other category"}));
    EXPECT_EQ(defaults.names(1000),
              QStringList({"Pro Tools", "Getting Started", "other category"}));
    EXPECT_TRUE(DefaultCategories::read(dir.filePath("missing.xml"), 0).isEmpty());
}
