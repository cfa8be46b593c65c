#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"
#include "services/DefaultServices.h"
#include "tests/support/CoreSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace globalstab;

namespace {

const QString Orion = test::sampleProject();
const QString Vega = "Vega Toolkit 3";
const QString Lyra = "Lyra Reference";
const QString Other = "Other Category";
const QString GlobalInfo = "Global Information";

QStringList texts(const QString& file, const QString& xpath)
{
    return test::xmlTexts(FileSystem::resolve(file), xpath);
}

class ServicesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(data.isValid()); }

    // Paths as the component builds them, with "\" separators.
    QString docs() const { return data.root() + "Docs\\"; }
    QString project(const QString& p) const { return docs() + p + "\\"; }
    QString toc(QString p = Orion) const { return project(p) + "PX_TOC.xml"; }
    QString categorySet(QString p = Orion) const { return project(p) + "PX_BookCategories.xml"; }
    QString globalFolder(QString p = Orion) const { return project(p) + "_Global Information\\"; }
    QString globalBook(QString p = Orion) const { return globalFolder(p) + "Book_Global.xml"; }
    QStringList pageNames(const QString& p = Orion) const
    {
        return texts(globalBook(p), "Book_Master/Book_Headings/Heading[@level = 'H1']/HName");
    }
    QString sourceOf(const QString& page)
    {
        QString source = "stale";
        book->GetGlobalPage(globalBook(), page, source);
        return source;
    }
    QStringList categoryNames(const QString& p = Orion) const
    {
        return texts(categorySet(p), "BookSet_Categories/Category/CategoryName");
    }
    QStringList booksOf(const QString& category, const QString& p = Orion) const
    {
        return texts(categorySet(p),
                     "BookSet_Categories/Category[CategoryName='" + category + "']/BookAcro");
    }
    QByteArray bytes(const QString& path) const
    {
        QFile file(FileSystem::resolve(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::SampleDataRoot data;
    DefaultServiceProvider provider{data.root(), 1000};
    std::unique_ptr<GlobalBookService> book = provider.createGlobalBookService();
    std::unique_ptr<BookCategoryService> categories = provider.createBookCategoryService();
};

} // namespace

TEST(DefaultServiceProviderTest, DataRootEndsWithSeparatorAndFallsBackToEnvironment)
{
    const auto root = [](DefaultServiceProvider&& provider) {
        return provider.createDeveloperSettingsService()->GetPXServer().toString();
    };
    EXPECT_EQ(root(DefaultServiceProvider("/data/root")), "/data/root/");
    EXPECT_EQ(root(DefaultServiceProvider("C:\\Tool\\")), "C:\\Tool\\");
    qputenv("GLOBALSTAB_DATA_ROOT", "/from/environment");
    EXPECT_EQ(root(DefaultServiceProvider()), "/from/environment/");
    qunsetenv("GLOBALSTAB_DATA_ROOT");
    // No root at all must not turn into the file-system root.
    EXPECT_EQ(root(DefaultServiceProvider()), QString());
}

TEST_F(ServicesTest, ProjectRankComesFromSelectionListOr500)
{
    const auto rank = [ranks = provider.createProjectRankService()](QString name) {
        return ranks->GetProjectRank(name);
    };
    EXPECT_EQ(rank(Orion), "10");
    EXPECT_EQ(rank("orion suite 2024"), "500");
    // A quote in the name must not break the lookup; a project without a rank gets 500.
    data.write("Docs/PX_Selection.xml",
               "<PX_Selection_List><PXs><PX><PX_Name Rank=\"7\">Tom's</PX_Name>"
               "</PX><PX><PX_Name>Bare</PX_Name></PX></PXs></PX_Selection_List>");
    EXPECT_EQ(rank("Tom's"), "7");
    EXPECT_EQ(rank("Bare"), "500");
    data.write("Docs/PX_Selection.xml", "<PX_Selection_List><PXs>");
    EXPECT_THROW(rank("Bare"), RuntimeError);
}

TEST_F(ServicesTest, GlobalPagesAreAddedEditedAndDeletedByExactName)
{
    const auto add = [&](const QString& name, const QString& file) {
        return book->AddGlobalPage(globalBook(), name, file, QString());
    };
    const auto edit = [&](const QString& name, const QString& file, const QString& old) {
        return book->EditGlobalPage(globalBook(), name, file, QString(), old);
    };
    // Names come escaped and are stored unescaped once, so a typed entity text survives.
    EXPECT_TRUE(add("Tom &amp; Jerry&apos;s &lt;b&gt;", "tom.htm"));
    EXPECT_TRUE(add("say &amp;quot;hi&amp;quot;", "hi.txt"));
    EXPECT_EQ(pageNames().mid(3), (QStringList{"Tom & Jerry's <b>", "say &quot;hi&quot;"}));
    EXPECT_EQ(sourceOf("Tom & Jerry's <b>"), "tom.htm");

    // Refusals write nothing: a taken name, a missing page, a rename onto another page and
    // the H2 heading, which is no page.
    const QByteArray before = bytes(globalBook());
    EXPECT_FALSE(add("Terms &amp; Conditions", "other.htm"));
    EXPECT_FALSE(edit("New", "n.htm", "No Such Page"));
    EXPECT_FALSE(edit("Keyboard Shortcuts", "w.htm", "Welcome"));
    EXPECT_FALSE(edit("Contacts", "c.htm", "Contact Details"));
    book->DeleteGlobalPage(globalBook(), "No Such Page");
    EXPECT_EQ(bytes(globalBook()), before);

    EXPECT_TRUE(add("welcome", "w.htm"));
    EXPECT_TRUE(edit("Welcome &amp; Overview", "Overview.htm", "Welcome"));
    EXPECT_TRUE(edit("Keyboard Shortcuts", "Keys.txt", "Keyboard Shortcuts"));
    book->DeleteGlobalPage(globalBook(), "Terms &amp; Conditions");
    EXPECT_EQ(pageNames().mid(0, 2), (QStringList{"Welcome & Overview", "Keyboard Shortcuts"}));
    EXPECT_EQ(texts(globalBook(), "//Heading[@level='H2']/HName"), QStringList{"Contact Details"});
    EXPECT_EQ(sourceOf("Welcome & Overview"), "Overview.htm");
    EXPECT_EQ(sourceOf("Keyboard Shortcuts"), "Keys.txt");
    EXPECT_EQ(sourceOf("Terms & Conditions"), QString());
}

TEST_F(ServicesTest, FirstGlobalPageOfAProjectStartsBookContentsAndCategoryOnce)
{
    book->CreateGlobalBook(globalFolder(Vega), Vega);
    EXPECT_EQ(texts(globalBook(Vega), "Book_Master/Book/Book_Key"), QStringList{Vega});
    EXPECT_TRUE(book->AddGlobalPage(globalBook(Vega), "Start", "start.htm", QString()));
    book->CreateGlobalBook(globalFolder(Vega), Vega);
    EXPECT_EQ(pageNames(Vega), QStringList{"Start"});

    book->AddGlobalBookToToc(toc(Vega), Vega);
    book->AddGlobalBookToToc(toc(Vega), Vega);
    EXPECT_EQ(texts(toc(Vega), "//Book/Book_Acro"), (QStringList{"VQS", "Global"}));
    // Filed under its own category, so never as an uncategorised book.
    EXPECT_EQ(categories->GetCategoryBooks(GlobalInfo, toc(Vega)), QStringList{"Global"});
    EXPECT_TRUE(texts(toc(Vega), "//Book[not(Book_Categories/*)]").isEmpty());

    auto entries = provider.createBookEntryService();
    entries->AddBookEntry(GlobalInfo, "Global", categorySet(Vega));
    entries->AddBookEntry(GlobalInfo, "Global", categorySet(Vega));
    EXPECT_EQ(categoryNames(Vega).count(GlobalInfo), 1);
    EXPECT_EQ(booksOf(GlobalInfo, Vega), QStringList{"Global"});
    // A project without a category set gets the defaults of the install type beside it.
    entries->AddBookEntry(GlobalInfo, "Global", categorySet(Lyra));
    EXPECT_EQ(categoryNames(Lyra),
              (QStringList{"Getting Started", "Administration", "Licensing", Other, GlobalInfo}));
}

TEST_F(ServicesTest, CopyFilesReplacesCopiesButKeepsAPageAlreadyInPlace)
{
    const auto copy = [&, copier = provider.createFileCopyService()](const QString& source) {
        copier->mbCopyFiles(0, 0, source, globalFolder());
    };
    const QString library = data.root() + "Library\\";
    data.write("Docs/Orion Suite 2024/_Global Information/Glossary.xml", "old");
    copy(library + "Glossary.xml");
    EXPECT_EQ(bytes(globalFolder() + "Glossary.xml"), bytes(library + "Glossary.xml"));

    const auto welcome = [&] {
        return bytes(globalFolder() + "Welcome.htm") +
               bytes(globalFolder() + "Welcome_files\\welcome.css");
    };
    const QByteArray before = welcome();
    copy(globalFolder() + "Welcome.htm");
    EXPECT_EQ(welcome(), before);
    EXPECT_THROW(copy(library + "missing.htm"), RuntimeError);
}

TEST_F(ServicesTest, CategoryDefaultsFollowInstallType)
{
    const QString defaults = docs() + "PX_DefaultCategories.xml";
    const QList<std::pair<qint32, QStringList>> cases{
        {1000, {"Getting Started", "Administration", "Licensing", Other}},
        {0, {"Getting Started", "Tutorials", Other}},
        {7, {"Getting Started", Other}}};
    for (const auto& [installType, names] : cases) {
        SCOPED_TRACE(installType);
        categories->CreateCategoryDocument(docs(), categorySet(), installType, 0);
        EXPECT_EQ(categoryNames(), names);
        // The uncategorised book is filed at once.
        EXPECT_EQ(booksOf(Other), QStringList{"RN"});
        // Asked without regard to case.
        for (const QString& name : QStringList{"tutorials", "ADMINISTRATION", "Reference", Other})
            EXPECT_EQ(categories->IsDefaultCategory(defaults, name, installType),
                      names.contains(name, Qt::CaseInsensitive))
                << name.toStdString();
    }
}

TEST_F(ServicesTest, CategorySetEditsAreExactAndFilterEmptyAcronyms)
{
    categories->AddCategory(categorySet(), "Reference");
    EXPECT_EQ(categoryNames().count("Reference"), 1);
    categories->RenameCategory(categorySet(), "API Reference", "Reference");
    EXPECT_FALSE(categoryNames().contains("Reference"));
    EXPECT_EQ(booksOf("API Reference"), QStringList{"AR"});

    EXPECT_EQ(categories->GetCategoryBooks("Getting Started", toc()), (QStringList{"IG", "UM"}));
    EXPECT_TRUE(categories->GetCategoryBooks("getting started", toc()).isEmpty());
    EXPECT_TRUE(categories->GetCategoryBooks("Tutorials", toc("Nowhere")).isEmpty());

    categories->SetCategoryBooks("Tutorials", {"", "UM", "", "IG", ""}, categorySet());
    EXPECT_EQ(booksOf("Tutorials"), (QStringList{"UM", "IG"}));
    // Only "Other Category" is created when missing, and only in an existing category set.
    const QByteArray before = bytes(categorySet());
    categories->SetCategoryBooks("Gone", {"UM"}, categorySet());
    EXPECT_EQ(bytes(categorySet()), before);
    data.write("Docs/Vega Toolkit 3/PX_BookCategories.xml", "<BookSet_Categories/>");
    categories->SetCategoryBooks(Other, {"", "VQS"}, categorySet(Vega));
    EXPECT_EQ(booksOf(Other, Vega), QStringList{"VQS"});
    categories->SetCategoryBooks(Other, {"X"}, categorySet(Lyra));
    EXPECT_FALSE(FileSystem().FileExists(categorySet(Lyra)));
}

TEST_F(ServicesTest, UnwritableOrBrokenCategorySetIsLeftAlone)
{
    EXPECT_FALSE(categories->CheckCategoryDocument(categorySet()));
    // Unreadable defaults would leave the set deleted by a rebuild: it is left as it is.
    const QByteArray defaults = bytes(docs() + "PX_DefaultCategories.xml");
    data.write("Docs/PX_DefaultCategories.xml", defaults.left(defaults.size() / 2));
    EXPECT_TRUE(categories->CheckCategoryDocument(categorySet()));
    data.write("Docs/PX_DefaultCategories.xml", defaults);
    FileSystem().SetAttributes(categorySet(), FileSystem::ReadOnly);
    EXPECT_TRUE(categories->CheckCategoryDocument(categorySet()));
    const QByteArray before = bytes(categorySet());
    EXPECT_THROW(categories->AddCategory(categorySet(), "Extra"), RuntimeError);
    EXPECT_EQ(bytes(categorySet()), before);

    FileSystem().SetAttributes(categorySet(), FileSystem::Normal);
    data.write("Docs/Orion Suite 2024/PX_BookCategories.xml", "<BookSet_Categories>");
    const auto broken =
        test::caught([&] { categories->SetCategoryBooks(Other, {"RN"}, categorySet()); });
    ASSERT_TRUE(broken) << "a broken category set was accepted";
    EXPECT_TRUE(broken->description().contains("PX_BookCategories.xml"));
    EXPECT_EQ(bytes(categorySet()), "<BookSet_Categories>");
}
