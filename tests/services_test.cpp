#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"
#include "services/DefaultServices.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace globalstab;
using globalstab::test::SampleDataRoot;
using globalstab::test::sampleProject;

namespace {

// Texts of the nodes an expression selects in a file; empty when the file does not load.
QStringList texts(const QString& file, const QString& xpath)
{
    XmlDocument doc;
    QStringList result;
    if (!doc.load(file))
        return result;
    const XmlNodeList nodes = doc.selectNodes(xpath);
    for (int i = 0; i < nodes.length(); ++i)
        result << nodes.item(i).text();
    return result;
}

class ServicesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(data.isValid()); }

    // Paths as the component builds them, with "\" separators.
    QString docs() const { return data.root() + QStringLiteral("Docs\\"); }
    QString project(const QString& name = sampleProject()) const { return docs() + name; }
    QString toc(const QString& name = sampleProject()) const
    {
        return project(name) + QStringLiteral("\\PX_TOC.xml");
    }
    QString categorySet(const QString& name = sampleProject()) const
    {
        return project(name) + QStringLiteral("\\PX_BookCategories.xml");
    }
    QString globalFolder(const QString& name = sampleProject()) const
    {
        return project(name) + QStringLiteral("\\_Global Information\\");
    }
    QString globalBook(const QString& name = sampleProject()) const
    {
        return globalFolder(name) + QStringLiteral("Book_Global.xml");
    }
    QStringList pageNames(const QString& name = sampleProject()) const
    {
        return texts(globalBook(name),
                     QStringLiteral("Book_Master/Book_Headings/Heading[@level = 'H1']/HName"));
    }
    QStringList categoryNames(const QString& name = sampleProject()) const
    {
        return texts(categorySet(name), QStringLiteral("BookSet_Categories/Category/CategoryName"));
    }
    QStringList booksOf(const QString& category, const QString& name = sampleProject()) const
    {
        return texts(categorySet(name),
                     QStringLiteral("BookSet_Categories/Category[CategoryName='%1']/BookAcro")
                         .arg(category));
    }
    QByteArray bytes(const QString& path) const
    {
        QFile file(FileSystem::resolve(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    SampleDataRoot data;
    DefaultServiceProvider provider{data.root(), 1000};
};

} // namespace

TEST_F(ServicesTest, SampleDataRootIsCoherent)
{
    FileSystem fs;
    // The component spells these names differently from the files on disk.
    EXPECT_TRUE(fs.FileExists(docs() + QStringLiteral("PX_Selection.XML")));
    EXPECT_FALSE(QFile::exists(data.root() + QStringLiteral("Docs/PX_Selection.XML")));

    const QStringList projects = texts(docs() + QStringLiteral("PX_Selection.XML"),
                                       QStringLiteral("PX_Selection_List/PXs/PX/PX_Name"));
    ASSERT_EQ(projects.size(), 3);
    EXPECT_TRUE(projects.contains(sampleProject()));
    int upperCaseFiles = 0;
    int lowerCaseFiles = 0;
    for (const QString& name : projects) {
        SCOPED_TRACE(name.toStdString());
        XmlDocument contents;
        ASSERT_TRUE(contents.load(toc(name)));
        const XmlNodeList books = contents.selectNodes(QStringLiteral("PX_Master/PX_Books/Book"));
        for (int i = 0; i < books.length(); ++i) {
            const XmlNode book = books.item(i);
            const QString folder = project(name) + QLatin1Char('\\') +
                                   book.selectSingleNode(QStringLiteral("Book_Folder")).text();
            const QString file = book.selectSingleNode(QStringLiteral("Book_File")).text();
            upperCaseFiles += file.contains(QLatin1String(".XML"));
            lowerCaseFiles += file.contains(QLatin1String(".xml"));
            XmlDocument document;
            ASSERT_TRUE(document.load(folder + QLatin1Char('\\') + file)) << file.toStdString();
            EXPECT_EQ(document.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Key")).text(),
                      name);
            const XmlNodeList pages = document.selectNodes(
                QStringLiteral("Book_Master/Book_Headings/Heading[@level='H1']/HFile"));
            for (int p = 0; p < pages.length(); ++p)
                EXPECT_TRUE(fs.FileExists(folder + QLatin1Char('\\') + pages.item(p).text()))
                    << pages.item(p).text().toStdString();
        }
    }
    EXPECT_GT(upperCaseFiles, 0);
    EXPECT_GT(lowerCaseFiles, 0);

    // The category set files exactly the books that the table of contents files.
    auto categories = provider.createBookCategoryService();
    for (const QString& category : categoryNames()) {
        if (category != QLatin1String("Other Category")) {
            EXPECT_EQ(booksOf(category), categories->GetCategoryBooks(category, toc()))
                << category.toStdString();
        }
    }
    EXPECT_EQ(booksOf(QStringLiteral("Other Category")), QStringList{QStringLiteral("RN")});
}

TEST(DefaultServiceProviderTest, DataRootEndsWithSeparatorAndFallsBackToEnvironment)
{
    auto settings = [](DefaultServiceProvider& provider) {
        return provider.createDeveloperSettingsService()->GetPXServer().toString();
    };
    DefaultServiceProvider plain(QStringLiteral("/data/root"), 1000);
    EXPECT_EQ(settings(plain), QStringLiteral("/data/root/"));
    EXPECT_EQ(plain.createDeveloperSettingsService()->getDeveloperInstallType().toInt(), 1000);
    DefaultServiceProvider windows(QStringLiteral("C:\\Tool\\"));
    EXPECT_EQ(settings(windows), QStringLiteral("C:\\Tool\\"));

    qputenv("GLOBALSTAB_DATA_ROOT", "/from/environment");
    DefaultServiceProvider fromEnvironment;
    EXPECT_EQ(settings(fromEnvironment), QStringLiteral("/from/environment/"));
    qunsetenv("GLOBALSTAB_DATA_ROOT");
    // No root at all must not turn into the file-system root.
    DefaultServiceProvider none;
    EXPECT_EQ(settings(none), QString());
}

TEST_F(ServicesTest, ProjectRankComesFromSelectionListOr500)
{
    auto ranks = provider.createProjectRankService();
    QString name = sampleProject();
    EXPECT_EQ(ranks->GetProjectRank(name), QStringLiteral("10"));
    name = QStringLiteral("orion suite 2024");
    EXPECT_EQ(ranks->GetProjectRank(name), QStringLiteral("500"));
    name = QStringLiteral("Unknown Project");
    EXPECT_EQ(ranks->GetProjectRank(name), QStringLiteral("500"));

    data.write(QStringLiteral("Docs/PX_Selection.xml"),
               "<PX_Selection_List><PXs><PX><PX_Acro>T</PX_Acro>"
               "<PX_Name Pro=\"No\">Tom's Project</PX_Name></PX></PXs></PX_Selection_List>");
    name = QStringLiteral("Tom's Project");
    EXPECT_EQ(ranks->GetProjectRank(name), QStringLiteral("500"));

    data.write(QStringLiteral("Docs/PX_Selection.xml"), "<PX_Selection_List><PXs>");
    EXPECT_THROW(ranks->GetProjectRank(name), RuntimeError);
}

TEST_F(ServicesTest, AddGlobalPageStoresEscapedNameOnceAndRefusesDuplicates)
{
    auto book = provider.createGlobalBookService();
    EXPECT_TRUE(book->AddGlobalPage(globalBook(),
                                    QStringLiteral("Tom &amp; Jerry&apos;s &lt;b&gt;"),
                                    QStringLiteral("tom.htm"), QString()));
    EXPECT_EQ(pageNames().last(), QStringLiteral("Tom & Jerry's <b>"));
    EXPECT_FALSE(bytes(globalBook()).contains("&amp;amp;"));
    QString source;
    EXPECT_EQ(book->GetGlobalPage(globalBook(), QStringLiteral("Tom & Jerry's <b>"), source),
              QStringLiteral("tom.htm"));
    EXPECT_EQ(source, QStringLiteral("tom.htm"));

    // An entity text typed by the author survives the round trip.
    EXPECT_TRUE(book->AddGlobalPage(globalBook(), QStringLiteral("say &amp;quot;hi&amp;quot;"),
                                    QStringLiteral("hi.txt"), QString()));
    EXPECT_EQ(pageNames().last(), QStringLiteral("say &quot;hi&quot;"));

    const QByteArray before = bytes(globalBook());
    EXPECT_FALSE(book->AddGlobalPage(globalBook(), QStringLiteral("Terms &amp; Conditions"),
                                     QStringLiteral("other.htm"), QString()));
    EXPECT_FALSE(book->AddGlobalPage(globalBook(),
                                     QStringLiteral("Tom &amp; Jerry&apos;s &lt;b&gt;"),
                                     QStringLiteral("x.htm"), QString()));
    EXPECT_EQ(bytes(globalBook()), before);
    // Names differ by exact case only.
    EXPECT_TRUE(book->AddGlobalPage(globalBook(), QStringLiteral("welcome"),
                                    QStringLiteral("w.htm"), QString()));
}

TEST_F(ServicesTest, EditAndDeleteGlobalPageByName)
{
    auto book = provider.createGlobalBookService();
    const QByteArray before = bytes(globalBook());
    EXPECT_FALSE(book->EditGlobalPage(globalBook(), QStringLiteral("New"), QStringLiteral("n.htm"),
                                      QString(), QStringLiteral("No Such Page")));
    // Renaming onto another page would hide one of the two.
    EXPECT_FALSE(book->EditGlobalPage(globalBook(), QStringLiteral("Keyboard Shortcuts"),
                                      QStringLiteral("w.htm"), QString(),
                                      QStringLiteral("Welcome")));
    // The H2 heading is no page, so it is neither found nor replaced.
    EXPECT_FALSE(book->EditGlobalPage(globalBook(), QStringLiteral("Contacts"),
                                      QStringLiteral("c.htm"), QString(),
                                      QStringLiteral("Contact Details")));
    EXPECT_EQ(bytes(globalBook()), before);

    EXPECT_TRUE(book->EditGlobalPage(globalBook(), QStringLiteral("Welcome &amp; Overview"),
                                     QStringLiteral("Overview.htm"), QString(),
                                     QStringLiteral("Welcome")));
    EXPECT_EQ(pageNames(), (QStringList{QStringLiteral("Welcome & Overview"),
                                        QStringLiteral("Terms & Conditions"),
                                        QStringLiteral("Keyboard Shortcuts")}));
    QString source;
    book->GetGlobalPage(globalBook(), QStringLiteral("Welcome & Overview"), source);
    EXPECT_EQ(source, QStringLiteral("Overview.htm"));
    // Changing only the file keeps the name.
    EXPECT_TRUE(book->EditGlobalPage(globalBook(), QStringLiteral("Keyboard Shortcuts"),
                                     QStringLiteral("Keys.txt"), QString(),
                                     QStringLiteral("Keyboard Shortcuts")));

    book->DeleteGlobalPage(globalBook(), QStringLiteral("Terms &amp; Conditions"));
    EXPECT_EQ(pageNames(), (QStringList{QStringLiteral("Welcome & Overview"),
                                        QStringLiteral("Keyboard Shortcuts")}));
    EXPECT_EQ(texts(globalBook(), QStringLiteral("//Heading[@level='H2']/HName")),
              QStringList{QStringLiteral("Contact Details")});
    const QByteArray afterDelete = bytes(globalBook());
    book->DeleteGlobalPage(globalBook(), QStringLiteral("No Such Page"));
    EXPECT_EQ(bytes(globalBook()), afterDelete);
    source = QStringLiteral("stale");
    EXPECT_EQ(book->GetGlobalPage(globalBook(), QStringLiteral("Terms & Conditions"), source),
              QString());
    EXPECT_EQ(source, QString());
}

TEST_F(ServicesTest, GlobalBookIsCreatedOnceAndListedInContentsOnce)
{
    const QString vega = QStringLiteral("Vega Toolkit 3");
    auto book = provider.createGlobalBookService();
    // Without a global book there is nothing to list.
    book->AddGlobalBookToToc(toc(vega), vega);
    EXPECT_FALSE(texts(toc(vega), QStringLiteral("//Book/Book_Folder"))
                     .contains(QStringLiteral("_Global Information")));

    book->CreateGlobalBook(globalFolder(vega), vega);
    EXPECT_TRUE(pageNames(vega).isEmpty());
    EXPECT_EQ(texts(globalBook(vega), QStringLiteral("Book_Master/Book/Book_Key")),
              QStringList{vega});
    EXPECT_TRUE(book->AddGlobalPage(globalBook(vega), QStringLiteral("Start"),
                                    QStringLiteral("start.htm"), QString()));
    book->CreateGlobalBook(globalFolder(vega), vega);
    EXPECT_EQ(pageNames(vega), QStringList{QStringLiteral("Start")});

    book->AddGlobalBookToToc(toc(vega), vega);
    book->AddGlobalBookToToc(toc(vega), vega);
    EXPECT_EQ(texts(toc(vega), QStringLiteral("PX_Master/PX_Books/Book/Book_Acro")),
              (QStringList{QStringLiteral("VQS"), QStringLiteral("Global")}));
    EXPECT_EQ(texts(toc(vega), QStringLiteral("//Book[Book_Acro='Global']/Book_File")),
              QStringList{QStringLiteral("Book_Global.xml")});
    // Filed under its own category, so never as an uncategorised book.
    EXPECT_EQ(provider.createBookCategoryService()->GetCategoryBooks(
                  QStringLiteral("Global Information"), toc(vega)),
              QStringList{QStringLiteral("Global")});
    EXPECT_TRUE(texts(toc(vega), QStringLiteral("//Book[not(Book_Categories/*)]")).isEmpty());

    // The sample project lists its global book already.
    const QByteArray before = bytes(toc());
    book->AddGlobalBookToToc(toc(), sampleProject());
    EXPECT_EQ(bytes(toc()), before);
}

TEST_F(ServicesTest, CopyFilesBringsHtmlCompanionFolder)
{
    auto copier = provider.createFileCopyService();
    const QString library = data.root() + QStringLiteral("Library\\");
    copier->mbCopyFiles(0, 0, library + QStringLiteral("Quick Tour.htm"), globalFolder());
    FileSystem fs;
    EXPECT_EQ(bytes(globalFolder() + QStringLiteral("Quick Tour.htm")),
              bytes(library + QStringLiteral("Quick Tour.htm")));
    EXPECT_TRUE(fs.FileExists(globalFolder() + QStringLiteral("Quick Tour_files\\logo.svg")));
    EXPECT_TRUE(fs.FileExists(globalFolder() + QStringLiteral("Quick Tour_files\\tour.css")));

    // An XML document has no companion; an existing copy is replaced.
    data.write(QStringLiteral("Docs/Orion Suite 2024/_Global Information/Glossary.xml"), "old");
    copier->mbCopyFiles(0, 0, library + QStringLiteral("Glossary.xml"), globalFolder());
    EXPECT_EQ(bytes(globalFolder() + QStringLiteral("Glossary.xml")),
              bytes(library + QStringLiteral("Glossary.xml")));

    // Copying a page that already lies in the global folder keeps it whole.
    const QByteArray welcome = bytes(globalFolder() + QStringLiteral("Welcome.htm"));
    copier->mbCopyFiles(0, 0, globalFolder() + QStringLiteral("Welcome.htm"), globalFolder());
    EXPECT_EQ(bytes(globalFolder() + QStringLiteral("Welcome.htm")), welcome);

    EXPECT_THROW(copier->mbCopyFiles(0, 0, library + QStringLiteral("missing.htm"), globalFolder()),
                 RuntimeError);
}

TEST_F(ServicesTest, BookEntryIsRecordedOnceAndCreatesMissingCategorySet)
{
    auto entries = provider.createBookEntryService();
    const QByteArray before = bytes(categorySet());
    entries->AddBookEntry(QStringLiteral("Global Information"), QStringLiteral("Global"),
                          categorySet());
    EXPECT_EQ(bytes(categorySet()), before);

    const QString vega = QStringLiteral("Vega Toolkit 3");
    entries->AddBookEntry(QStringLiteral("Global Information"), QStringLiteral("Global"),
                          categorySet(vega));
    entries->AddBookEntry(QStringLiteral("Global Information"), QStringLiteral("Global"),
                          categorySet(vega));
    EXPECT_EQ(categoryNames(vega).count(QStringLiteral("Global Information")), 1);
    EXPECT_EQ(booksOf(QStringLiteral("Global Information"), vega),
              QStringList{QStringLiteral("Global")});

    // A project without a category set gets the defaults of the install type beside it.
    const QString lyra = QStringLiteral("Lyra Reference");
    entries->AddBookEntry(QStringLiteral("Global Information"), QStringLiteral("Global"),
                          categorySet(lyra));
    EXPECT_EQ(categoryNames(lyra),
              (QStringList{QStringLiteral("Getting Started"), QStringLiteral("Administration"),
                           QStringLiteral("Licensing"), QStringLiteral("Other Category"),
                           QStringLiteral("Global Information")}));
}

TEST_F(ServicesTest, CategoryDefaultsFollowInstallType)
{
    auto categories = provider.createBookCategoryService();
    const QString defaults = docs() + QStringLiteral("PX_DefaultCategories.xml");
    const QString other = QStringLiteral("Other Category");
    struct Case
    {
        qint32 installType;
        QStringList names;
    };
    const QList<Case> cases{
        {1000,
         {QStringLiteral("Getting Started"), QStringLiteral("Administration"),
          QStringLiteral("Licensing"), other}},
        {0, {QStringLiteral("Getting Started"), QStringLiteral("Tutorials"), other}},
        {7, {QStringLiteral("Getting Started"), other}},
    };
    const QStringList candidates{QStringLiteral("Getting Started"), QStringLiteral("Tutorials"),
                                 QStringLiteral("Administration"),  QStringLiteral("Licensing"),
                                 QStringLiteral("Reference"),       other};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installType);
        categories->CreateCategoryDocument(docs(), categorySet(), c.installType, 0);
        EXPECT_EQ(categoryNames(), c.names);
        // The uncategorised book is filed at once.
        EXPECT_EQ(booksOf(other), QStringList{QStringLiteral("RN")});
        for (const QString& name : candidates) {
            EXPECT_EQ(categories->IsDefaultCategory(defaults, name, c.installType),
                      c.names.contains(name))
                << name.toStdString();
            EXPECT_EQ(categories->IsDefaultCategory(defaults, name.toUpper(), c.installType),
                      c.names.contains(name));
        }
    }

    QFile::remove(FileSystem::resolve(defaults));
    categories->CreateCategoryDocument(docs(), categorySet(), 1000, 0);
    EXPECT_TRUE(bytes(categorySet()).contains("BookSet_Categories"));
    EXPECT_TRUE(categoryNames().isEmpty());
    EXPECT_FALSE(categories->IsDefaultCategory(defaults, QStringLiteral("Getting Started"), 1000));
}

TEST_F(ServicesTest, CategorySetEditsAreExactAndFilterEmptyAcronyms)
{
    auto categories = provider.createBookCategoryService();
    categories->AddCategory(categorySet(), QStringLiteral("Reference"));
    categories->AddCategory(categorySet(), QStringLiteral("Release Information"));
    QStringList names = categoryNames();
    EXPECT_EQ(names.count(QStringLiteral("Reference")), 1);
    EXPECT_EQ(names.last(), QStringLiteral("Release Information"));

    categories->RenameCategory(categorySet(), QStringLiteral("API Reference"),
                               QStringLiteral("Reference"));
    EXPECT_FALSE(categoryNames().contains(QStringLiteral("Reference")));
    EXPECT_EQ(booksOf(QStringLiteral("API Reference")), QStringList{QStringLiteral("AR")});

    EXPECT_EQ(categories->GetCategoryBooks(QStringLiteral("Getting Started"), toc()),
              (QStringList{QStringLiteral("IG"), QStringLiteral("UM")}));
    EXPECT_TRUE(categories->GetCategoryBooks(QStringLiteral("getting started"), toc()).isEmpty());
    EXPECT_TRUE(
        categories->GetCategoryBooks(QStringLiteral("Tutorials"), toc(QStringLiteral("Nowhere")))
            .isEmpty());

    categories->SetCategoryBooks(
        QStringLiteral("Tutorials"),
        {QString(), QStringLiteral("UM"), QString(), QStringLiteral("IG"), QString()},
        categorySet());
    EXPECT_EQ(booksOf(QStringLiteral("Tutorials")),
              (QStringList{QStringLiteral("UM"), QStringLiteral("IG")}));

    // Only "Other Category" is created when missing.
    const QByteArray before = bytes(categorySet());
    categories->SetCategoryBooks(QStringLiteral("Gone"), {QStringLiteral("UM"), QString()},
                                 categorySet());
    EXPECT_EQ(bytes(categorySet()), before);
    const QString vega = QStringLiteral("Vega Toolkit 3");
    data.write(QStringLiteral("Docs/Vega Toolkit 3/PX_BookCategories.xml"),
               "<BookSet_Categories><Category><CategoryName>Getting Started</CategoryName>"
               "</Category></BookSet_Categories>");
    categories->SetCategoryBooks(QStringLiteral("Other Category"),
                                 {QString(), QStringLiteral("VQS")}, categorySet(vega));
    EXPECT_EQ(booksOf(QStringLiteral("Other Category"), vega), QStringList{QStringLiteral("VQS")});
    // Without a category set nothing is written.
    categories->SetCategoryBooks(QStringLiteral("Other Category"), {QStringLiteral("X")},
                                 categorySet(QStringLiteral("Lyra Reference")));
    EXPECT_FALSE(FileSystem().FileExists(categorySet(QStringLiteral("Lyra Reference"))));
}

TEST_F(ServicesTest, UnwritableOrBrokenCategorySetIsLeftAlone)
{
    auto categories = provider.createBookCategoryService();
    FileSystem fs;
    EXPECT_FALSE(categories->CheckCategoryDocument(categorySet()));
    EXPECT_FALSE(categories->CheckCategoryDocument(categorySet(QStringLiteral("Lyra Reference"))));

    fs.SetAttributes(categorySet(), FileSystem::ReadOnly);
    EXPECT_TRUE(categories->CheckCategoryDocument(categorySet()));
    const QByteArray before = bytes(categorySet());
    try {
        categories->AddCategory(categorySet(), QStringLiteral("Extra"));
        FAIL() << "a read-only category set was written";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), rt::PermissionDenied);
        EXPECT_TRUE(error.description().contains(QStringLiteral("PX_BookCategories.xml")));
    }
    EXPECT_EQ(bytes(categorySet()), before);
    fs.SetAttributes(categorySet(), FileSystem::Normal);

    data.write(QStringLiteral("Docs/Orion Suite 2024/PX_BookCategories.xml"),
               "<BookSet_Categories>");
    try {
        categories->SetCategoryBooks(QStringLiteral("Other Category"), {QStringLiteral("RN")},
                                     categorySet());
        FAIL() << "a broken category set was accepted";
    } catch (const RuntimeError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("PX_BookCategories.xml")));
    }
    EXPECT_EQ(bytes(categorySet()), QByteArray("<BookSet_Categories>"));
}
