// The plan of each operation against what the operation then writes: every file it changed
// is in the plan, and computing the plan changed nothing.
#include "core/Preview.h"
#include "operations/CategoryChanges.h"
#include "operations/PageLinks.h"
#include "operations/PageTokens.h"
#include "platform/FileSystem.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"
#include "tests/support/CoreSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;

namespace {

using Operation = std::function<void(const QString& root)>;

// Runs the operation as a preview and then for real, and compares the two.
void expectPlanCoversApply(const Operation& operation, int atLeast)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    const Plan plan = previewChanges(data.root(), operation);
    ASSERT_TRUE(snapshot(data.root()) == before) << "the preview wrote";

    operation(data.root());
    const auto after = snapshot(data.root());
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()) || before.value(it.key()) != it.value())
            changed << it.key();
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            changed << it.key();
    QStringList planned;
    const QString root = QDir(data.root()).absolutePath() + '/';
    for (const FileChange& file : plan)
        planned << QString(file.path).replace('\\', '/').mid(root.size());
    for (const QString& file : changed)
        EXPECT_TRUE(planned.contains(file))
            << file.toStdString()
            << " changed but is not in the plan: " << planned.join(", ").toStdString();
    EXPECT_GE(changed.size(), atLeast) << changed.join(", ").toStdString();
}

ProjectContext projectAt(const QString& root)
{
    return {root, sampleProject(), 0};
}

} // namespace

TEST(Preview, CategoryRenameAndDeleteAcrossTheSetTheTableOfContentsAndTheBooks)
{
    expectPlanCoversApply(
        [](const QString& root) {
            RecordingFeedback feedback;
            const ProjectContext project = projectAt(root);
            DefaultServiceProvider services(root, 0);
            categories::renameCategory(feedback, &services, project, "Administration",
                                       "Operations");
            EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
        },
        2);
    expectPlanCoversApply(
        [](const QString& root) {
            RecordingFeedback feedback;
            const ProjectContext project = projectAt(root);
            DefaultServiceProvider services(root, 0);
            categories::deleteCategory(feedback, &services, project, "Administration", true);
            EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
        },
        3);
}

TEST(Preview, CategoryMoveAndPageTokenRewrite)
{
    expectPlanCoversApply(
        [](const QString& root) {
            categories::moveCategory(projectAt(root).bookCategoriesPath(), "Tutorials", true);
        },
        1);
    expectPlanCoversApply(
        [](const QString& root) {
            RecordingFeedback feedback;
            const ProjectContext project = projectAt(root);
            rewritePageTokens(FileSystem().GetFolder(project.projectFolder()),
                              {root, sampleProject(), "Nova 5", 0}, feedback);
        },
        5);
}

TEST(Preview, GlobalPageAddEditAndDelete)
{
    QTemporaryDir outside;
    const QString source = outside.filePath("notes.htm");
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html><body>Notes</body></html>");
    file.close();
    // As the page panel saves: the document copied, the book written, the book listed.
    const auto save = [&](const QString& root, const QString& name,
                          const std::optional<QString>& edited, int answer) {
        const ProjectContext project = projectAt(root);
        DefaultServiceProvider services(root, 0);
        const auto book = createService<GlobalBookService>(&services);
        const auto copier = createService<FileCopyService>(&services);
        const auto entries = createService<BookEntryService>(&services);
        const PageServices pages{*book, *copier, *entries};
        prepareGlobalFolder(pages, project, source);
        EXPECT_EQ(saveGlobalPage(pages, project, name, source, edited), answer);
        book->AddGlobalBookToToc(project.tocPath(), project.projectName);
    };
    expectPlanCoversApply([&](const QString& root) { save(root, "Notes", std::nullopt, 114); }, 2);
    expectPlanCoversApply([&](const QString& root) { save(root, "Read Me", "Welcome", 115); }, 2);
    expectPlanCoversApply(
        [](const QString& root) {
            DefaultServiceProvider services(root, 0);
            createService<GlobalBookService>(&services)->DeleteGlobalPage(
                projectAt(root).globalBookPath(), "Welcome");
        },
        1);
}

TEST(Preview, CategoryAdd)
{
    expectPlanCoversApply(
        [](const QString& root) {
            DefaultServiceProvider services(root, 0);
            createService<BookCategoryService>(&services)->AddCategory(
                projectAt(root).bookCategoriesPath(), "Security");
        },
        1);
}
