// Category changes as operations: what the category service is asked, and in which order.
#include "categories/CategoryChanges.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <gtest/gtest.h>

#include <deque>

using namespace globalstab;
using namespace globalstab::test;

namespace {

// A category service that writes nothing and logs every call, as a host's own would see it.
class LoggingCategoryService : public BookCategoryService
{
public:
    explicit LoggingCategoryService(QStringList& log) : log(log) {}
    void AddCategory(const QString&, const QString& name) override { log << "Add " + name; }
    void CreateCategoryDocument(const QString&, const QString&, qint32 type, int) override
    {
        log << "Create " + QString::number(type);
    }
    QStringList GetCategoryBooks(const QString& name, const QString&) override
    {
        log << "Get " + name;
        return {name.left(2)};
    }
    void SetCategoryBooks(const QString& name, const QStringList& acros, const QString&) override
    {
        log << "Set " + name + ":" + acros.join(',');
    }
    void RenameCategory(const QString&, const QString&, const QString&) override {}
    bool IsDefaultCategory(const QString&, const QString& name, qint32) override
    {
        return name == "Getting Started";
    }
    bool CheckCategoryDocument(const QString&) override { return false; }
    QStringList& log;
};

class OnlyCategories : public NoServices
{
public:
    std::unique_ptr<BookCategoryService> createBookCategoryService() override
    {
        return std::make_unique<LoggingCategoryService>(logs.emplace_back());
    }
    std::deque<QStringList> logs; // one per service created
};

} // namespace

TEST(CategoryChanges, RefreshListsNewNamesOnceAndWithoutOtherCategory)
{
    EXPECT_EQ(categories::mergeNames({"Beta"}, {"alpha", "BETA", "Other Category", "Alpha", "Zed"}),
              QStringList({"Beta", "alpha", "Zed"}));
    EXPECT_EQ(categories::mergeNames({}, {}), QStringList());
}

TEST(CategoryChanges, RebuildAsksTheServiceInTheSameOrderAsEver)
{
    SampleDataRoot data;
    const ProjectContext project{data.root(), sampleProject(), 7};
    const QString setPath = project.bookCategoriesPath();
    QStringList log;
    LoggingCategoryService service(log);
    categories::rebuildSet(
        service,
        {project.docsFolder(), setPath, project.tocPath(), project.defaultCategoriesPath(), 7},
        {"Getting Started", "Legacy"});
    EXPECT_FALSE(FileSystem().FileExists(setPath)); // deleted; the service writes it anew
    EXPECT_EQ(log, QStringList({"Create 7", "Get Getting Started", "Set Getting Started:Ge",
                                "Add Legacy", "Get Legacy", "Set Legacy:Le"}));
}

TEST(CategoryChanges, RemovalReachesSetServiceTocAndXmlBooksAndFilesTheUncategorised)
{
    SampleDataRoot data;
    const ProjectContext project{data.root(), sampleProject(), 0};
    const QString project_ = "Docs/" + sampleProject() + "/";
    const QByteArray lowerCaseBook = data.read(project_ + "User Manual/um_book.xml");
    OnlyCategories services;
    RecordingFeedback feedback;
    categories::removeFromSet(feedback, &services, project, project.bookCategoriesPath(),
                              "Tutorials");
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    ASSERT_EQ(services.logs.size(), 1u);
    EXPECT_TRUE(services.logs[0].first().startsWith("Set Tutorials:"));
    EXPECT_FALSE(data.read(project_ + "PX_BookCategories.xml").contains(">Tutorials<"));
    EXPECT_FALSE(data.read(project_ + "PX_TOC.xml").contains(">Tutorials<"));
    // Only books the table of contents names as ".XML", that spelling, are visited.
    EXPECT_EQ(data.read(project_ + "User Manual/um_book.xml"), lowerCaseBook);

    categories::fileUncategorisedBooks(feedback, &services, project, project.bookCategoriesPath());
    ASSERT_EQ(services.logs.size(), 2u);
    EXPECT_TRUE(services.logs[1].first().startsWith("Set Other Category:,"));

    // An unreadable table of contents is reported in its own form, and nothing is filed.
    data.write(project_ + "PX_TOC.xml", "<PX_Master/>");
    categories::fileUncategorisedBooks(feedback, &services, project, project.bookCategoriesPath());
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_EQ(feedback.messages[0].title, "Sendrel::ctlBookTab-GetBookAcroValue");
    EXPECT_EQ(services.logs.size(), 2u);
}
