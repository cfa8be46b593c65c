// The component shell: string table, start-up state, shared state, error reports, seams.
#include "core/DataRootLock.h"
#include "core/Journal.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

TEST(StringTable, UnknownIdReportsUnderGetResStringAndGivesEmpty)
{
    TabHarness h(0, false);
    h.dialogs->clear();
    for (qint16 id : {qint16(5588), qint16(5590)}) {
        EXPECT_EQ(h.tab->GetResString(id), QString());
    }
    ASSERT_EQ(h.dialogs->messages.size(), 2);
    EXPECT_EQ(h.dialogs->messages[0].text,
              QStringLiteral("Error (326 ):Resource with identifier '5588' not found\r"
                             "Tovanel::ctlGlobalsTab - GetResString"));
    EXPECT_EQ(h.dialogs->messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(h.dialogs->messages[0].icon, MessageIcon::None);
    EXPECT_EQ(h.tab->GetResString(143), "100");
}

TEST(StartUp, FunctionListsAndVisibility)
{
    TabHarness h(0, false);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
    EXPECT_EQ(h.items("lstAddItems"), (QStringList{"Global Page", "Hierarchical Category"}));
    EXPECT_EQ(h.items("lstEditItems"),
              (QStringList{"Project Info", "Global Page", "Hierarchical Category"}));
    EXPECT_EQ(h.widget<QLabel>("lblListInfo")->text(), "Label");
    EXPECT_EQ(h.widget<QPushButton>("cmdAddGblPage")->text(), h.tab->GetResString(135));
    for (const char* shown : {"fraEditPrjNameID", "cmdAdd", "cmdEdit", "txtProjectName"})
        EXPECT_TRUE(h.tab->findChild<QWidget*>(QString::fromLatin1(shown))->isVisible()) << shown;
    for (const char* hidden :
         {"fraInfo", "FraHC", "lstAddItems", "lstEditItems", "fraAddEditGblPage", "lblTgtFrm"})
        EXPECT_FALSE(h.tab->findChild<QWidget*>(QString::fromLatin1(hidden))->isVisible())
            << hidden;
    EXPECT_FALSE(h.widget<QLabel>("PictureMoveUP1")->isVisibleTo(h.widget<QGroupBox>("FraHC")));
    EXPECT_TRUE(h.widget<QLabel>("PictureMoveUP2")->isVisibleTo(h.widget<QGroupBox>("FraHC")));
    EXPECT_TRUE(globalVariables().gstrMode.isEmpty());
}

TEST(StartUp, RankBoxEnabledOnlyForInstallType1000)
{
    for (const auto& [type, enabled] : {std::pair{1000, true}, {0, false}, {999, false}}) {
        TabHarness h(type, false);
        EXPECT_EQ(h.widget<QLineEdit>("txtPrjoectRank")->isEnabled(), enabled) << type;
        EXPECT_EQ(globalVariables().glngInstallType, type);
    }
}

TEST(StartUp, MissingServicesReportAndLeaveRankEnabled)
{
    auto dialogs = std::make_shared<RecordingDialogs>();
    resetGlobalVariables();
    ctlGlobalsTab tab(std::make_shared<NoServices>(), dialogs);
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].text.startsWith("Error (429 ):"));
    EXPECT_TRUE(dialogs->messages[0].text.endsWith(QStringLiteral("\rTovanel::ctlGlobalsTab - "
                                                                  "UserControl_Initialize")));
    EXPECT_TRUE(tab.findChild<QLineEdit*>("txtPrjoectRank")->isEnabled());
    // Captions and lists were set before the services were asked.
    EXPECT_EQ(tab.findChild<QListWidget*>("lstEditItems")->count(), 3);

    dialogs->clear();
    tab.setProjectName("Anything");
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].text.endsWith(" - ProjectName"));
    // The rank service is created first, so nothing else happened.
    EXPECT_TRUE(globalVariables().gstrProjectName.isEmpty());
    resetGlobalVariables();
}

TEST(SharedState, TwoInstancesOnOneThreadShareTheProject)
{
    TabHarness h(0, false);
    ctlGlobalsTab second;
    QSignalSpy changed(h.tab.get(), &ctlGlobalsTab::ProjectNameChanged);
    h.tab->setProjectName(sampleProject());
    EXPECT_EQ(second.ProjectName(), sampleProject());
    EXPECT_EQ(changed.count(), 1);
    second.setProjectName("Vega Toolkit 3");
    EXPECT_EQ(h.tab->ProjectName(), "Vega Toolkit 3");
    EXPECT_EQ(h.tab->property("ProjectName").toString(), "Vega Toolkit 3");
}

TEST(SharedState, EmptyPageNameStoresAndChangesNothing)
{
    TabHarness h;
    QSignalSpy changed(h.tab.get(), &ctlGlobalsTab::PageNameChanged);
    h.setText("txtPageName", "kept");
    h.tab->setPageName(QString());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(h.widget<QLineEdit>("txtPageName")->text(), "kept");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST(HostServices, PageTokensThroughAPathReportUnderPXUpdateFiles)
{
    TabHarness h;
    h.dialogs->clear();
    // A folder that is gone, and one outside the data root, which is refused.
    QTemporaryDir outside;
    h.tab->PXUpdateFiles(h.data.docs() + "No Such Project", sampleProject());
    h.tab->PXUpdateFiles(outside.path(), sampleProject());
    EXPECT_EQ(h.dialogs->reports(), QStringList({"PXUpdateFiles", "PXUpdateFiles"}));
    EXPECT_TRUE(h.dialogs->texts()[0].startsWith("Error (76 ):"));
    EXPECT_TRUE(h.dialogs->texts()[1].startsWith("Error (70 ):"));
    EXPECT_EQ(h.tab->mstrCheckSpecialCharacters("a?b"), "a&quot;b");
}

// A host's page rewrite over many files shows progress, and a stop puts back what it did.
TEST(HostServices, PageTokensOfManyPagesShowProgressAndCanBeStopped)
{
    TabHarness h;
    const QString folder = "Docs/" + sampleProject() + "/Many/";
    for (int i = 0; i < 310; ++i)
        h.data.write(folder + QString("p%1.htm").arg(i), "<p>**Old Name**</p>");
    const QByteArray before = h.data.read(folder + "p300.htm");
    h.dialogs->clear();
    h.dialogs->cancelAtProgress = 305;
    h.tab->PXUpdateFiles(h.data.path(folder), "Old Name");
    EXPECT_EQ(h.dialogs->texts(),
              QStringList{"The change was cancelled. Every file is as it was before."});
    for (int i : {0, 150, 300})
        EXPECT_EQ(h.data.read(folder + QString("p%1.htm").arg(i)), before) << i;

    h.dialogs->clear();
    h.dialogs->cancelAtProgress = 0;
    h.tab->PXUpdateFiles(h.data.path(folder), "Old Name");
    EXPECT_TRUE(h.dialogs->texts().isEmpty());
    EXPECT_NE(h.data.read(folder + "p300.htm"), before);
}

} // namespace

// While another writer holds the data root, a user action is refused before it changes
// anything, in the procedure's own error report naming the lock; no event follows. A cut-off
// action of another process is put back by the next action, which says so once.
TEST(Actions, AnotherWriterRefusesTheActionAndACutOffOneIsPutBackByTheNext)
{
    TabHarness h;
    ASSERT_TRUE(h.pick("Add", "Hierarchical Category"));
    const QString set = "Docs/" + sampleProject() + "/PX_BookCategories.xml";
    const QByteArray before = h.data.read(set);
    QSignalSpy added(h.tab.get(), &ctlGlobalsTab::OnCategoryAddition);
    h.dialogs->clear();
    {
        const DataRootLock other(h.data.root(), 0);
        h.setText("txtCategoryName", "Manuals");
        h.click("cmdApplyAddEditCate");
    }
    ASSERT_EQ(h.dialogs->texts().size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].startsWith("Error (70 ):Permission denied: another program"));
    EXPECT_TRUE(h.dialogs->texts()[0].contains(DataRootLock::path(h.data.root())));
    EXPECT_TRUE(
        h.dialogs->texts()[0].endsWith("\rTovanel::ctlGlobalsTab - cmdApplyAddEditCate_Click"));
    EXPECT_EQ(h.data.read(set), before);
    EXPECT_EQ(added.count(), 0);

    // Another process was killed in the middle of a change to the set.
    struct Cut
    {
    };
    try {
        JournalScope killed(h.data.root(), "cmdCategoryDelete_Click");
        atomicWriteFile(h.data.path(set), "<BookSet_Categories/>");
        throw Cut();
    } catch (const Cut&) {
    }
    h.dialogs->clear();
    h.click("cmdApplyAddEditCate");
    ASSERT_GE(h.dialogs->texts().size(), 1);
    EXPECT_EQ(h.dialogs->texts()[0], "Changes that could not be finished were put back: "
                                     "cmdCategoryDelete_Click (1 file(s) restored).");
    EXPECT_EQ(added.count(), 1);
    EXPECT_TRUE(h.data.read(set).contains("Manuals"));
    EXPECT_TRUE(h.data.read(set).contains("Reference"));
}

// A journal folder that cannot be written refuses an action up front, saying so, instead of
// letting the first change fail under another name.
TEST(Actions, AReadOnlyJournalRefusesTheActionUpFront)
{
    TabHarness h;
    const QString journalFolder = h.data.docs() + ".globalstab/journal";
    ASSERT_TRUE(QDir().mkpath(journalFolder));
    QFile::setPermissions(journalFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray list = h.data.read("Docs/PX_Selection.xml");
    h.dialogs->clear();
    h.setText("txtProjectName", "Nova");
    h.click("cmdProjectNameApply");
    QFile::setPermissions(journalFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(h.dialogs->texts().size(), 1);
    EXPECT_TRUE(
        h.dialogs->texts()[0].contains("the journal folder '" + journalFolder + "' is read-only"))
        << h.dialogs->texts()[0].toStdString();
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(" - CmdProjectNameApply_click"));
    EXPECT_EQ(h.data.read("Docs/PX_Selection.xml"), list);
    EXPECT_TRUE(QDir(h.data.docs() + sampleProject()).exists());
}
