// The host application: its options, its sample copy, and how its window follows the tab.
#include "control/ctlGlobalsTab.h"
#include "host/DataRoots.h"
#include "host/HostOptions.h"
#include "host/HostWindow.h"
#include "host/PlanView.h"
#include "host/UnattendedDialogs.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::host;
using namespace globalstab::test;

namespace {

ParseResult parse(QStringList arguments)
{
    arguments.prepend("globalstab-host");
    return parseHostOptions(arguments, "1.2.3");
}

TEST(HostOptions, ReadsEveryOption)
{
    SampleDataRoot data;
    const ParseResult result =
        parse({"--data-root", data.root(), "--project", "Vega Toolkit 3", "--install-type", "1000",
               "--pick=edit: Hierarchical Category ", "--screenshot", "out.png"});
    ASSERT_EQ(result.outcome, ParseOutcome::Run) << result.text.toStdString();
    EXPECT_EQ(result.options.dataRoot, data.root());
    EXPECT_EQ(result.options.project, "Vega Toolkit 3");
    EXPECT_EQ(result.options.installType, 1000);
    ASSERT_TRUE(result.options.pick);
    EXPECT_EQ(result.options.pick->list, "Edit");
    EXPECT_EQ(result.options.pick->entry, "Hierarchical Category");
    EXPECT_EQ(result.options.screenshot, "out.png");

    const ParseResult none = parse({});
    EXPECT_EQ(none.outcome, ParseOutcome::Run);
    EXPECT_FALSE(none.options.installType);
    EXPECT_FALSE(none.options.pick);
    EXPECT_FALSE(none.options.previewRename);
    EXPECT_EQ(none.options.vncListen, "127.0.0.1");
    EXPECT_EQ(parse({"--vnc-listen=::"}).options.vncListen, "::");

    EXPECT_EQ(parse({"--help"}).outcome, ParseOutcome::Help);
    EXPECT_TRUE(parse({"--help"}).text.contains(QLatin1String("--pick")));
    const ParseResult version = parse({"--version"});
    EXPECT_EQ(version.outcome, ParseOutcome::Version);
    EXPECT_TRUE(version.text.contains(QLatin1String("1.2.3")));
}

TEST(HostOptions, RejectsBadOptionsWithAMessageNamingThem)
{
    QTemporaryDir notADataRoot;
    const QList<std::pair<QStringList, const char*>> cases = {
        {{"--data-root", notADataRoot.path()}, "not a data root"},
        {{"--preview-rename", ""}, "--preview-rename"},
        {{"--preview-rename", "  "}, "--preview-rename"},
        {{"--screenshot", "shot.xyz"}, "extensions"},
        {{"--screenshot", "shot"}, "extensions"},
        {{"--screenshot", "/no/such/folder/shot.png"}, "/no/such/folder"},
        {{"--vnc-listen", "localhost"}, "--vnc-listen"},
        {{"--colour"}, "colour"},
        {{"--project"}, "project"},
        {{"--install-type", "pro"}, "--install-type"},
        {{"--install-type", "99999999999"}, "--install-type"},
        {{"--data-root", "/no/such/folder"}, "/no/such/folder"},
        {{"--pick", "Global Page"}, "--pick"},
        {{"--pick", "Delete:Global Page"}, "--pick"},
        {{"--pick", "Edit:"}, "--pick"},
        {{"stray"}, "stray"},
    };
    for (const auto& [arguments, named] : cases) {
        const ParseResult result = parse(arguments);
        EXPECT_EQ(result.outcome, ParseOutcome::Error) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.text.contains(QLatin1String(named))) << result.text.toStdString();
    }
}

TEST(HostOptions, PickKeepsColonsInTheEntry)
{
    const std::optional<PickRequest> pick = parsePick("ADD:a:b", nullptr);
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->list, "Add");
    EXPECT_EQ(pick->entry, "a:b");
}

TEST(HostDataRoots, CopiesTheSamplesOnceAndNeverOverAnotherFolder)
{
    QTemporaryDir home;
    const QString target = home.path() + "/samples";
    QString error;
    ASSERT_EQ(ensureWorkingCopy(samplesDir(), target, &error), target) << error.toStdString();
    const QString selection = FileSystem::resolve(target + "/Docs/PX_Selection.XML");
    EXPECT_TRUE(QFile::exists(selection));

    // The user's changes survive the next start.
    {
        QFile file(selection);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<changed/>");
    }
    EXPECT_EQ(ensureWorkingCopy(samplesDir(), target, &error), target);
    QFile file(selection);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("<changed/>"));

    // A folder in the way that is not a data root is left alone.
    const QString occupied = home.path() + "/occupied";
    QDir().mkpath(occupied);
    QFile keep(occupied + "/notes.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    EXPECT_TRUE(ensureWorkingCopy(samplesDir(), occupied, &error).isEmpty());
    EXPECT_TRUE(error.contains(occupied));
    EXPECT_TRUE(QFile::exists(occupied + "/notes.txt"));
    EXPECT_FALSE(QFile::exists(occupied + "/Docs"));
}

TEST(HostDataRoots, TheWorkingCopyOfReadOnlySamplesCanBeEdited)
{
    // Installed samples belong to root and are read-only; the copy is the user's to change.
    QTemporaryDir home;
    const QString installed = home.path() + "/installed";
    ASSERT_TRUE(copyTree(samplesDir(), installed));
    const QString installedSelection = FileSystem::resolve(installed + "/Docs/PX_Selection.XML");
    QFile::setPermissions(installedSelection, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QString error;
    const QString target = home.path() + "/samples";
    ASSERT_EQ(ensureWorkingCopy(installed, target, &error), target) << error.toStdString();
    EXPECT_TRUE(QFile::permissions(FileSystem::resolve(target + "/Docs/PX_Selection.XML")) &
                QFileDevice::WriteOwner);
    EXPECT_TRUE(isDataRoot(target));
    EXPECT_TRUE(isDataRoot(installed));
    EXPECT_FALSE(isDataRoot(installed + "/Docs"));
}

class HostWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetGlobalVariables();
        window = std::make_unique<HostWindow>(data.root(), 0, dialogs);
        window->show();
    }
    void TearDown() override
    {
        window.reset();
        resetGlobalVariables();
    }

    QStringList topLevel() const
    {
        QStringList names;
        QTreeWidget* tree = window->categoryTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            names << tree->topLevelItem(i)->text(0);
        return names;
    }
    QString lastLogLine() const
    {
        QListWidget* log = window->eventLog();
        return log->count() ? log->item(log->count() - 1)->text() : QString();
    }

    SampleDataRoot data;
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
    std::unique_ptr<HostWindow> window;
};

TEST_F(HostWindowTest, OpensTheFirstProjectOfTheSelectionList)
{
    QComboBox* chooser = window->projectChooser();
    ASSERT_EQ(chooser->count(), 3);
    EXPECT_EQ(chooser->itemText(0), sampleProject());
    EXPECT_EQ(chooser->itemText(2), "Lyra Reference");
    EXPECT_EQ(window->tab()->ProjectName(), sampleProject());
    EXPECT_EQ(chooser->currentText(), sampleProject());

    EXPECT_TRUE(window->openProject("Vega Toolkit 3"));
    EXPECT_EQ(window->tab()->ProjectName(), "Vega Toolkit 3");
    EXPECT_FALSE(window->openProject("Nowhere"));
    EXPECT_EQ(window->tab()->ProjectName(), "Vega Toolkit 3");
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join('\n').toStdString();
}

TEST_F(HostWindowTest, ShowsEachCategoryWithItsBooksInDocumentOrder)
{
    EXPECT_EQ(topLevel(),
              (QStringList{"Getting Started", "Tutorials", "Other Category", "Administration",
                           "Licensing", "Reference", "Global Information"}));
    QTreeWidget* tree = window->categoryTree();
    QTreeWidgetItem* administration = tree->topLevelItem(3);
    ASSERT_EQ(administration->childCount(), 2);
    EXPECT_EQ(administration->child(0)->text(0), "Installation Guide");
    EXPECT_EQ(administration->child(1)->text(0), "Administrator Reference");
    EXPECT_EQ(administration->child(1)->text(1), "AR");
    EXPECT_EQ(tree->topLevelItem(4)->childCount(), 0);
    EXPECT_EQ(tree->topLevelItem(6)->child(0)->text(1), "Global");

    // The category events are what tell the host to read the set again.
    const QString set = "Docs/Orion Suite 2024/PX_BookCategories.xml";
    data.write(set, "<BookSet_Categories><Category><CategoryName>Only</CategoryName>"
                    "<BookAcro>RN</BookAcro><BookAcro>XX</BookAcro></Category>"
                    "</BookSet_Categories>");
    Q_EMIT window->tab()->eventRaised(ctlGlobalsTab::OnCategoryDeletionEvent, {});
    EXPECT_EQ(topLevel(), QStringList{"Only"});
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Release Notes");
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), "XX");
    EXPECT_EQ(lastLogLine(), "6 OnCategoryDeletion()");

    EXPECT_TRUE(window->openProject("Lyra Reference"));
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_TRUE(tree->topLevelItem(0)->isDisabled());
}

TEST_F(HostWindowTest, ChooserFollowsARenamedProject)
{
    QByteArray selection = data.read("Docs/PX_Selection.xml");
    selection.replace(">Orion Suite 2024<", ">Orion Suite 2025<");
    data.write("Docs/PX_Selection.xml", selection);
    // What a project-info apply leaves behind before it raises the event.
    globalVariables().gstrProjectName = "Orion Suite 2025";
    Q_EMIT window->tab()->eventRaised(ctlGlobalsTab::OnprojectNameChangeEvent, {});

    QComboBox* chooser = window->projectChooser();
    EXPECT_EQ(chooser->count(), 3);
    EXPECT_EQ(chooser->currentText(), "Orion Suite 2025");
    EXPECT_EQ(chooser->findText("Orion Suite 2024"), -1);
    EXPECT_EQ(lastLogLine(), "1 OnprojectNameChange()");
}

TEST_F(HostWindowTest, ACategoryAddedInTheTabAppearsInTheTree)
{
    ASSERT_TRUE(window->pick({"Add", "Hierarchical Category"}));
    window->tab()->findChild<QLineEdit*>("txtCategoryName")->setText("Security");
    window->tab()->findChild<QPushButton*>("cmdApplyAddEditCate")->click();

    EXPECT_EQ(lastLogLine(), "2 OnCategoryAddition()");
    EXPECT_TRUE(topLevel().contains("Security")) << topLevel().join(", ").toStdString();

    // Edit > Undo Last Change puts the set back and says so; a second undo has nothing left
    // of this category, and the tree follows.
    dialogs->clear();
    EXPECT_TRUE(window->undoLastChange());
    EXPECT_FALSE(topLevel().contains("Security"));
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].text.startsWith("Undid \"cmdApplyAddEditCate_Click\""));

    // Edit > Check Project reports drift of the open project.
    EXPECT_TRUE(window->checkProject().isEmpty());
    data.write("Docs/Orion Suite 2024/Stray.htm", "**Vega Toolkit 3**");
    EXPECT_EQ(window->checkProject().size(), 1);
}

TEST_F(HostWindowTest, TheTreeFollowsAReorderAndTheFileDialogStartsInTheDataRoot)
{
    // A reorder raises no event; the tree follows the category set on disk.
    ASSERT_TRUE(window->pick({"Edit", "Hierarchical Category"}));
    auto* list = window->tab()->findChild<QListWidget*>("lstAvaBookCategories");
    list->setCurrentRow(list->count() - 1);
    auto* up = window->tab()->findChild<QLabel*>("PictureMoveUP2");
    up->setFocus(Qt::TabFocusReason);
    QTest::keyClick(up, Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return topLevel().indexOf("Global Information") == 5; }))
        << topLevel().join(", ").toStdString();

    auto provider = std::make_shared<QtDialogProvider>();
    HostWindow other(data.root(), 0, provider);
    EXPECT_EQ(QDir(provider->startFolder()), QDir(data.root() + "Docs"));
}

TEST_F(HostWindowTest, LogsEventsWithNumberNameAndArguments)
{
    Q_EMIT window->tab()->eventRaised(
        ctlGlobalsTab::OnAddGlobalPageEvent,
        {"Orion Suite 2024@px@Global@px@Welcome", "Global Information", true});
    EXPECT_EQ(lastLogLine(), QStringLiteral("3 OnAddGlobalPage(vstrFullLink=\"Orion Suite "
                                            "2024@px@Global@px@Welcome\", vstrBookName=\"Global "
                                            "Information\", vblnGlobal=true)"));
    Q_EMIT window->tab()->eventRaised(ctlGlobalsTab::evtOnDeletionofGlobalPageEvent, {true});
    EXPECT_EQ(lastLogLine(), "4 evtOnDeletionofGlobalPage(vblnGlobal=true)");
}

TEST_F(HostWindowTest, PicksThroughTheTabsOwnLists)
{
    ASSERT_TRUE(window->pick({"Edit", "hierarchical category"}));
    EXPECT_TRUE(window->tab()->findChild<QGroupBox*>("FraHC")->isVisible());
    EXPECT_EQ(globalVariables().gstrMode, "EDIT");
    EXPECT_FALSE(window->tab()->findChild<QListWidget*>("lstEditItems")->isVisible());

    QString error;
    EXPECT_FALSE(window->pick({"Add", "Project Info"}, &error));
    EXPECT_TRUE(error.contains(QLatin1String("\"Global Page\", \"Hierarchical Category\"")))
        << error.toStdString();
}

TEST_F(HostWindowTest, InstallTypeAndDataRootRecreateTheTab)
{
    auto rank = [&] { return window->tab()->findChild<QLineEdit*>("txtPrjoectRank"); };
    EXPECT_FALSE(rank()->isEnabled());
    window->openProject("Vega Toolkit 3");
    window->setInstallType(1000);
    EXPECT_TRUE(rank()->isEnabled());
    EXPECT_EQ(window->tab()->ProjectName(), "Vega Toolkit 3");

    SampleDataRoot other;
    other.write("Docs/PX_Selection.xml",
                "<PX_Selection_List><PXs><PX><PX_Acro>LYR</PX_Acro><PX_Name>Lyra "
                "Reference</PX_Name></PX></PXs></PX_Selection_List>");
    window->setDataRoot(other.root());
    EXPECT_EQ(window->projectChooser()->count(), 1);
    EXPECT_EQ(window->tab()->ProjectName(), "Lyra Reference");
    EXPECT_EQ(window->tab()->findChild<QLineEdit*>("txtProjectID")->text(), "LYR");
}

TEST_F(HostWindowTest, HostServicesStayInsideTheDataRoot)
{
    EXPECT_EQ(window->callGetResString(5545), "Global Page");
    EXPECT_EQ(window->callCheckSpecialCharacters("a & b"), "a &amp; b");

    QTemporaryDir outside;
    QFile page(outside.filePath("page.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("**Other**");
    page.close();
    EXPECT_FALSE(window->callPXUpdateFiles(outside.path(), "Other", 0));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), QByteArray("**Other**"));
    EXPECT_TRUE(lastLogLine().contains(QLatin1String("refused")));
}

TEST_F(HostWindowTest, PreviewOfARenameShowsEveryFileItWouldChangeAndWritesNone)
{
    const auto before = snapshot(data.root());
    PlanView* view = window->previewProjectRename("Orchard Guide");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(snapshot(data.root()), before);
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join('\n').toStdString();

    // The folder move, the selection list, the table of contents, every book and the pages,
    // each under the folder it will be in.
    auto* tree = view->findChild<QTreeWidget*>("planTree");
    ASSERT_NE(tree, nullptr);
    QStringList folders;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        folders << tree->topLevelItem(i)->text(0);
    EXPECT_TRUE(folders.contains("Docs"));
    EXPECT_TRUE(folders.contains("Docs/Orchard Guide/_Global Information"));
    EXPECT_FALSE(folders.join('|').contains("Orion Suite 2024"));
    const int all = view->shownFiles();
    EXPECT_GT(all, 10);

    auto* filter = view->findChild<QLineEdit*>("planFilter");
    QTest::keyClicks(filter, "Book_Key");
    EXPECT_GT(view->shownFiles(), 0);
    EXPECT_LT(view->shownFiles(), all);
    filter->clear();
    EXPECT_EQ(view->shownFiles(), all);

    // A name the panel refuses is refused here with the panel's message, and nothing shows.
    EXPECT_EQ(window->previewProjectRename(""), nullptr);
    EXPECT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(snapshot(data.root()), before);
}

TEST_F(HostWindowTest, PreviewOfACategoryRenameOrDeleteRefusesAsThePanelDoes)
{
    const auto before = snapshot(data.root());
    PlanView* renamed = window->previewCategoryChange("Administration", "Operations");
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(renamed->shownFiles(), 2); // the set and the table of contents
    PlanView* deleted = window->previewCategoryChange("Administration", std::nullopt);
    ASSERT_NE(deleted, nullptr);
    EXPECT_GT(deleted->shownFiles(), 2); // and the books filed under it
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->texts().join('\n').toStdString();

    EXPECT_EQ(window->previewCategoryChange("Getting Started", std::nullopt), nullptr);
    EXPECT_EQ(window->previewCategoryChange("Administration", "tutorials"), nullptr);
    EXPECT_EQ(dialogs->texts(),
              (QStringList{"Getting Started is a default category, hence cannot be deleted",
                           "Category already Exists"}));
    EXPECT_EQ(snapshot(data.root()), before);
}

TEST(HostUnattendedDialogs, PrintInsteadOfWaitingAndAnswerNoToQuestions)
{
    UnattendedDialogs dialogs;
    EXPECT_EQ(dialogs.messageBox(nullptr, "Line one\rline two", "", MessageIcon::Exclamation,
                                 MessageButtons::Ok),
              MessageAnswer::Ok);
    EXPECT_EQ(dialogs.messageBox(nullptr, "Delete it?", "Delete", MessageIcon::Question,
                                 MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_TRUE(dialogs.getOpenFileName(nullptr, "Open", "All files|*.*").isEmpty());
    EXPECT_EQ(dialogs.shown(),
              (QStringList{"the tab says: Line one\n  line two", "Delete: Delete it? (answered No)",
                           "Open: no file chosen, nobody is there to choose one"}));
}

TEST(HostUnattendedDialogs, ARefusedPreviewReturnsAtOnce)
{
    // With the real dialogs this would wait offscreen for a click forever.
    SampleDataRoot data;
    auto dialogs = std::make_shared<UnattendedDialogs>();
    resetGlobalVariables();
    HostWindow window(data.root(), 0, dialogs);
    window.show();
    EXPECT_EQ(window.previewProjectRename("A/B"), nullptr);
    EXPECT_EQ(window.previewProjectRename("Vega Toolkit 3"), nullptr);
    ASSERT_EQ(dialogs->shown().size(), 2);
    EXPECT_TRUE(dialogs->shown().at(0).contains("Invalid Character(/)"));
    EXPECT_TRUE(dialogs->shown().at(1).contains("already Exists"));
    resetGlobalVariables();
}

TEST_F(HostWindowTest, ScreenshotIsAPngOfTheWindow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shot.png");
    ASSERT_TRUE(window->saveScreenshot(path));
    QImage image;
    ASSERT_TRUE(image.load(path, "PNG"));
    EXPECT_EQ(image.size(), window->size() * window->devicePixelRatio());

    QString error;
    EXPECT_FALSE(window->saveScreenshot(dir.filePath("missing/shot.png"), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
