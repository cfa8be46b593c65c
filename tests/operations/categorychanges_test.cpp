// Category changes as operations: what the category service is asked, and in which order.
#include "operations/CategoryChanges.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <gtest/gtest.h>

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
