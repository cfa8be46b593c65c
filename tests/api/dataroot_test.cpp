// The data-root API a host reads and undoes through, on copies of the samples.
#include <globalstab/DataRoot.h>
#include <globalstab/RuntimeError.h>

#include "core/Action.h"
#include "operations/CategoryChanges.h"
#include "services/DefaultServices.h"
#include "tests/support/CoreSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = sampleProject();
const QString OrionSet = "Docs/Orion Suite 2024/PX_BookCategories.xml";

std::optional<CategoryBooks> categoryNamed(const QString& root, const QString& name)
{
    for (const CategoryBooks& category :
         projectCategories(root, Orion).value_or(QList<CategoryBooks>()))
        if (category.name == name)
            return category;
    return std::nullopt;
}

// A category rename as a front end without the tab makes it: one action around the operation.
void renameReference(const SampleDataRoot& data)
{
    DefaultServiceProvider services(data.root(), 0);
    RecordingFeedback feedback;
    Action action(data.root(), "rename category");
    categories::renameCategory(feedback, &services, {data.root(), Orion, 0}, "Reference",
                               "Manuals");
    action.end();
    ASSERT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
}

} // namespace

TEST(DataRoot, ReadsProjectsAndCategoriesAsTheTabFindsThem)
{
    SampleDataRoot data;
    // The samples spell it PX_Selection.xml; the tab's name for it is found all the same.
    EXPECT_EQ(projectNames(data.root()),
              QStringList({"Orion Suite 2024", "Vega Toolkit 3", "Lyra Reference"}));

    // Books are named by the contents; an acronym the contents do not know stands for itself.
    data.write(OrionSet, data.read(OrionSet).replace(
                             "<CategoryName>Administration</CategoryName>",
                             "<CategoryName>Administration</CategoryName><BookAcro>ZZ</BookAcro>"));
    const std::optional<CategoryBooks> administration =
        categoryNamed(data.root(), "Administration");
    ASSERT_TRUE(administration);
    EXPECT_EQ(administration->bookAcros, QStringList({"ZZ", "IG", "AR"}));
    EXPECT_EQ(administration->bookNames,
              QStringList({"ZZ", "Installation Guide", "Administrator Reference"}));
    // Without contents every book is its acronym; the set alone decides the categories.
    QFile::remove(data.path("Docs/Orion Suite 2024/PX_TOC.xml"));
    EXPECT_EQ(categoryNamed(data.root(), "Administration")->bookNames,
              QStringList({"ZZ", "IG", "AR"}));

    const QStringList listed = listedCategories(data.root(), Orion, 0);
    EXPECT_TRUE(listed.contains("Licensing"));
    EXPECT_FALSE(listed.contains("Other Category"));

    // Documents that are not there, or do not parse, give nothing rather than an empty list.
    EXPECT_FALSE(projectCategories(data.root(), "Lyra Reference"));
    data.write(OrionSet, "<BookSet_Categories><Category>");
    EXPECT_FALSE(projectCategories(data.root(), Orion));
    QFile::remove(data.path("Docs/PX_Selection.xml"));
    EXPECT_FALSE(projectNames(data.root()));
}

TEST(DataRoot, ChecksAProjectAsTheCheckDescribesIt)
{
    SampleDataRoot data;
    EXPECT_TRUE(checkProject(data.root(), Orion, 0).isEmpty());

    // A page carrying another project's name token.
    data.write("Docs/Orion Suite 2024/Stray.htm", "**Vega Toolkit 3**");
    const QStringList findings = checkProject(data.root(), Orion, 0);
    ASSERT_EQ(findings.size(), 1);
    EXPECT_TRUE(findings[0].contains("Stray.htm")) << findings[0].toStdString();
    EXPECT_TRUE(findings[0].contains("Vega Toolkit 3")) << findings[0].toStdString();
}

TEST(DataRoot, UndoesTheLastChangeThroughTheJournal)
{
    SampleDataRoot data;
    const auto nothingLeft = [&] {
        const std::optional<RuntimeError> error = caught([&] { undoLastChange(data.root()); });
        return error && error->number() == rt::FileNotFound;
    };
    EXPECT_TRUE(nothingLeft());

    const QByteArray before = data.read(OrionSet);
    renameReference(data);
    EXPECT_TRUE(categoryNamed(data.root(), "Manuals"));
    const UndoOutcome undone = undoLastChange(data.root());
    EXPECT_EQ(undone.actions, QStringList{"rename category"});
    EXPECT_GE(undone.files, 2); // the set and the contents at least
    EXPECT_EQ(data.read(OrionSet), before);
    EXPECT_TRUE(checkProject(data.root(), Orion, 0).isEmpty());
    EXPECT_TRUE(nothingLeft());

    // With no change kept for undo, the journal of an ended action is dropped at once.
    const int kept = changesKeptForUndo();
    setChangesKeptForUndo(0);
    renameReference(data);
    setChangesKeptForUndo(kept);
    EXPECT_TRUE(categoryNamed(data.root(), "Manuals"));
    EXPECT_TRUE(nothingLeft());
}
