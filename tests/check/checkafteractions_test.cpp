// The check after the tab's own actions, driven as a user drives them: what a clean action
// leaves is no drift, and what a project rename leaves when it silently skipped a book it
// could not read is found, naming the file.
#include "check/ProjectCheck.h"
#include "tests/support/TestSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;
using Kind = check::Finding::Kind;

namespace {

const QString Orion = "Docs/Orion Suite 2024/";
const QString ArBook = "Admin Reference/AR_Book.XML";
const QString Applied = "Applied the project information";

struct CheckedTab : TabHarness
{
    CheckedTab() { QApplication::setActiveWindow(tab.get()); }

    QList<check::Finding> findings(const QString& project) const
    {
        return check::run({data.root(), project, 0});
    }
    // Every finding as describe() puts it, with the data root left out.
    std::string lines(const QString& project) const
    {
        QStringList all;
        for (const check::Finding& finding : findings(project))
            all << check::describe(finding).replace(data.root(), QString());
        return all.join('\n').toStdString();
    }
    void category(const QString& function, const QString& selected, const QString& typed)
    {
        ASSERT_TRUE(pick(function, "Hierarchical Category"));
        if (!selected.isEmpty()) {
            ASSERT_TRUE(clickItem("lstAvaBookCategories", selected));
        }
        type("txtCategoryName", typed);
        click("cmdApplyAddEditCate");
    }
    void deleteCategory(const QString& name)
    {
        ASSERT_TRUE(pick("Edit", "Hierarchical Category"));
        ASSERT_TRUE(clickItem("lstAvaBookCategories", name));
        click("cmdCategoryDelete");
    }
    void renameProject(const QString& name)
    {
        ASSERT_TRUE(pick("Edit", "Project Info"));
        setText("txtProjectName", name);
        setText("txtProjectID", "OG");
        setText("txtPrjoectRank", "10");
        click("cmdProjectNameApply");
    }
};

} // namespace

TEST(CheckAfterActions, CleanActionsLeaveNothingToReport)
{
    CheckedTab h;
    // A new category has no books and stands in no list of the contents.
    h.category("Add", QString(), "Security");
    EXPECT_TRUE(h.items("lstAvaBookCategories").contains("Security"));
    EXPECT_EQ(h.lines(sampleProject()), "");

    // A rename leaves the old name among the project's categories and in the book documents.
    h.category("Edit", "Reference", "Manuals");
    EXPECT_TRUE(h.items("lstAvaBookCategories").contains("Manuals"));
    EXPECT_EQ(h.lines(sampleProject()), "");

    // The global book is kept as ".xml": the delete does not visit it, so it keeps the name.
    h.deleteCategory("Global Information");
    EXPECT_EQ(h.lines(sampleProject()), "");
    h.deleteCategory("Manuals");
    h.deleteCategory("Security");
    EXPECT_EQ(h.items("lstAvaBookCategories"),
              QStringList({"Getting Started", "Tutorials", "Administration", "Licensing"}));
    EXPECT_EQ(h.dialogs->texts(), QStringList(3, "Are you sure you want to Delete ?"));
    EXPECT_EQ(h.lines(sampleProject()), "");

    h.dialogs->clear();
    h.renameProject("Orchard Guide");
    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(h.lines("Orchard Guide"), "");

    // A first global page creates the global book and lists it in the contents and the set.
    h.tab->setProjectName("Vega Toolkit 3");
    ASSERT_TRUE(h.pick("Add", "Global Page"));
    h.type("txtPageName", "Policy");
    h.setText("txtSourceTo", samplesDir() + "/Library/Support Policy.txt");
    h.dialogs->clear();
    h.click("cmdAddGblPage");
    EXPECT_EQ(h.dialogs->texts(), QStringList{"Page is added to Global Information"});
    EXPECT_EQ(h.lines("Vega Toolkit 3"), "");
}

TEST(CheckAfterActions, AProjectRenameThatSkippedABookIsFoundAndRepaired)
{
    CheckedTab h;
    const QByteArray book = h.data.read(Orion + ArBook);
    h.data.write(Orion + ArBook, book.left(book.indexOf("<Book_Headings>")));
    h.renameProject("Orchard Guide");
    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied}); // the tab says nothing of the book

    const QString renamed = "Docs/Orchard Guide/";
    auto findings = h.findings("Orchard Guide");
    ASSERT_EQ(findings.size(), 1) << h.lines("Orchard Guide");
    EXPECT_TRUE(
        hasFinding(findings, Kind::DocumentUnreadable, "AR_Book.XML", "/" + ArBook, "Book AR"));

    // Readable again, the book still names the old project.
    h.data.write(renamed + ArBook, book);
    findings = h.findings("Orchard Guide");
    EXPECT_EQ(findings.size(), 2) << h.lines("Orchard Guide");
    EXPECT_TRUE(
        hasFinding(findings, Kind::BookKeyDiffers, sampleProject(), "/" + ArBook, "Book_Key"));
    EXPECT_TRUE(hasFinding(findings, Kind::BookKeyDiffers, sampleProject() + "\\Admin Reference",
                           "/" + ArBook, "Book_Path"));

    // The repair writes what the rename would have written.
    RecordingFeedback feedback;
    EXPECT_TRUE(check::repair(feedback, {h.data.root(), "Orchard Guide", 0}).isEmpty());
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    EXPECT_EQ(xmlTexts(h.data.path(renamed + ArBook), "//Book_Key | //Book_Path"),
              QStringList({"Orchard Guide", "Orchard Guide\\Admin Reference"}));
}
