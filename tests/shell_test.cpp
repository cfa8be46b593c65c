// The component shell: string table, start-up state, shared state, error reports, seams.
#include "control/ctlGlobalsTab.h"
#include "tests/support/TestSupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace globalstab {

class ctlGlobalsTabTestAccess
{
public:
    static QString lookup(int id) { return ctlGlobalsTab::LoadResString(id); }
    static void report(ctlGlobalsTab& tab, const char* procedure, int number,
                       const QString& description, int form)
    {
        tab.ReportError(procedure, RuntimeError(number, description),
                        static_cast<ctlGlobalsTab::ErrorForm>(form));
    }
    static bool checkElement(ctlGlobalsTab& tab, QListWidget* list)
    {
        return tab.bCheckElement(QStringLiteral("x"), list);
    }
    static void loadResource(ctlGlobalsTab& tab) { tab.LoadResource(); }
    static QString tocPath(const ctlGlobalsTab& tab) { return tab.mstrTocPath; }
    static QString defaultsPath(const ctlGlobalsTab& tab) { return tab.mstrDefaultCategoriesPath; }
};

} // namespace globalstab

using namespace globalstab;
using namespace globalstab::test;
using Access = ctlGlobalsTabTestAccess;

namespace {

// A provider that cannot create any service.
class NoServices : public ServiceProvider
{
public:
    std::unique_ptr<DeveloperSettingsService> createDeveloperSettingsService() override
    {
        return nullptr;
    }
    std::unique_ptr<ProjectRankService> createProjectRankService() override { return nullptr; }
    std::unique_ptr<GlobalBookService> createGlobalBookService() override { return nullptr; }
    std::unique_ptr<FileCopyService> createFileCopyService() override { return nullptr; }
    std::unique_ptr<BookEntryService> createBookEntryService() override { return nullptr; }
    std::unique_ptr<BookCategoryService> createBookCategoryService() override { return nullptr; }
};

TEST(StringTable, HoldsExactly106TextsWithTheirBlanks)
{
    int count = 0;
    for (int id = -32768; id <= 32767; ++id) {
        try {
            Access::lookup(id);
            ++count;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), rt::ResourceNotFound);
        }
    }
    EXPECT_EQ(count, 106);
    EXPECT_EQ(Access::lookup(111), QStringLiteral("Page Name "));
    EXPECT_EQ(Access::lookup(112), QStringLiteral("Source To "));
    EXPECT_EQ(Access::lookup(130), QStringLiteral("can not be used for "));
    EXPECT_EQ(Access::lookup(134), QStringLiteral("Select a  Valid Page to Delete"));
    EXPECT_EQ(Access::lookup(9014), QStringLiteral("List of Available Book Category "));
    EXPECT_EQ(Access::lookup(143), QStringLiteral("100"));
    EXPECT_EQ(Access::lookup(5555),
              QStringLiteral("Note : To view newly added Hierarchical "
                             "categories in Tree, use Refresh Tree function."));
}

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
    EXPECT_EQ(h.tab->GetResString(143), QStringLiteral("100"));
}

TEST(StartUp, CaptionsTooltipsAndVisibility)
{
    TabHarness h(0, false);
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
    const std::pair<const char*, int> captions[] = {{"cmdProjectNameApply", 108},
                                                    {"cmdProjectNameCancel", 109},
                                                    {"cmdBrowse", 113},
                                                    {"cmdAddGblPage", 135},
                                                    {"cmdDelGblPage", 136},
                                                    {"cmdCancelGblPage", 137},
                                                    {"cmdAdd", 5541},
                                                    {"cmdEdit", 5542},
                                                    {"cmdApplyAddEditCate", 108},
                                                    {"cmdCategoryCancel", 109},
                                                    {"cmdCategoryDelete", 136}};
    for (const auto& [name, id] : captions) {
        auto* button = h.widget<QPushButton>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), h.tab->GetResString(id)) << name;
    }
    const std::pair<const char*, int> labels[] = {
        {"lblProjectName", 106}, {"lblProjectID", 107},     {"lblProjectRank", 146},
        {"lblPageName", 111},    {"lblSourceto", 112},      {"lblTgtFrm", 5530},
        {"lblNote", 5555},       {"lblCategoryName", 5553}, {"lblAvailCatName", 5552}};
    for (const auto& [name, id] : labels)
        EXPECT_EQ(h.widget<QLabel>(name)->text(), h.tab->GetResString(id)) << name;
    EXPECT_EQ(h.widget<QLabel>("lblListInfo")->text(), QStringLiteral("Label"));
    EXPECT_EQ(h.widget<QGroupBox>("fraEditPrjNameID")->title(),
              QStringLiteral("Edit Project Info"));
    EXPECT_EQ(h.widget<QGroupBox>("fraAddEditGblPage")->title(), QStringLiteral("Global Page"));
    EXPECT_EQ(h.widget<QGroupBox>("FraHC")->title(), QStringLiteral("Add Hierarchical Category"));

    const std::pair<const char*, int> tips[] = {{"txtPageName", 9001},
                                                {"txtSourceTo", 9002},
                                                {"cmdBrowse", 9004},
                                                {"cmdAddGblPage", 9005},
                                                {"cmdCancelGblPage", 9006},
                                                {"cmdDelGblPage", 9007},
                                                {"lstPages", 9008},
                                                {"txtProjectName", 9009},
                                                {"txtProjectID", 9010},
                                                {"cmdProjectNameApply", 9011},
                                                {"cmdProjectNameCancel", 9012},
                                                {"txtCategoryName", 9013},
                                                {"lstAvaBookCategories", 9014},
                                                {"cmdApplyAddEditCate", 9015},
                                                {"cmdCategoryCancel", 9016},
                                                {"cmdCategoryDelete", 9017},
                                                {"cmdAdd", 9019},
                                                {"lstAddItems", 9020},
                                                {"cmdEdit", 9021},
                                                {"lstEditItems", 9022}};
    for (const auto& [name, id] : tips)
        EXPECT_EQ(h.tab->findChild<QWidget*>(QString::fromLatin1(name))->toolTip(),
                  h.tab->GetResString(id))
            << name;
    EXPECT_TRUE(h.widget<QLineEdit>("txtPrjoectRank")->toolTip().isEmpty());

    EXPECT_EQ(h.items("lstAddItems"), (QStringList{QStringLiteral("Global Page"),
                                                   QStringLiteral("Hierarchical Category")}));
    EXPECT_EQ(h.items("lstEditItems"),
              (QStringList{QStringLiteral("Project Info"), QStringLiteral("Global Page"),
                           QStringLiteral("Hierarchical Category")}));
    EXPECT_EQ(h.widget<QListWidget>("lstAddItems")->height(), 420 / 15);

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

TEST(StartUp, LayoutInTwipsAndTabOrder)
{
    TabHarness h(0, false);
    EXPECT_EQ(h.widget<QGroupBox>("FraHC")->geometry(), QRect(8, 56, 533, 417));
    EXPECT_EQ(h.widget<QListWidget>("lstPages")->geometry(), QRect(8, 40, 177, 337));
    EXPECT_EQ(h.widget<QLineEdit>("txtPageName")->parentWidget()->objectName(),
              QStringLiteral("fraAddEditGblPage"));
    EXPECT_EQ(h.widget<QPushButton>("cmdAdd")->nextInFocusChain()->objectName(),
              QStringLiteral("lstAddItems"));
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
    EXPECT_TRUE(dialogs->messages[0].text.startsWith(QStringLiteral("Error (429 ):")));
    EXPECT_TRUE(dialogs->messages[0].text.endsWith(QStringLiteral("\rTovanel::ctlGlobalsTab - "
                                                                  "UserControl_Initialize")));
    EXPECT_TRUE(tab.findChild<QLineEdit*>(QStringLiteral("txtPrjoectRank"))->isEnabled());
    // Captions and lists were set before the services were asked.
    EXPECT_EQ(tab.findChild<QListWidget*>(QStringLiteral("lstEditItems"))->count(), 3);

    dialogs->clear();
    tab.setProjectName(QStringLiteral("Anything"));
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].text.endsWith(QStringLiteral(" - ProjectName")));
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
    second.setProjectName(QStringLiteral("Vega Toolkit 3"));
    EXPECT_EQ(h.tab->ProjectName(), QStringLiteral("Vega Toolkit 3"));
    EXPECT_EQ(h.tab->property("ProjectName").toString(), QStringLiteral("Vega Toolkit 3"));
}

TEST(SharedState, ResourcePathsFollowTheProject)
{
    TabHarness h(0, false);
    EXPECT_TRUE(globalVariables().gstrRootPath.isEmpty());
    Access::loadResource(*h.tab);
    EXPECT_EQ(globalVariables().gstrRootPath, h.data.root());
    // An empty project name gives two separators in a row.
    EXPECT_EQ(Access::tocPath(*h.tab), h.data.root() + QStringLiteral("Docs\\\\PX_TOC.xml"));
    EXPECT_EQ(Access::defaultsPath(*h.tab),
              h.data.root() + QStringLiteral("Docs\\PX_DefaultCategories.xml"));
    h.tab->setProjectName(sampleProject());
    EXPECT_EQ(Access::tocPath(*h.tab), h.data.root() + QStringLiteral("Docs\\") + sampleProject() +
                                           QStringLiteral("\\PX_TOC.xml"));
}

TEST(SharedState, EmptyPageNameStoresAndChangesNothing)
{
    TabHarness h;
    QSignalSpy changed(h.tab.get(), &ctlGlobalsTab::PageNameChanged);
    h.setText("txtPageName", QStringLiteral("kept"));
    h.tab->setPageName(QString());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(h.widget<QLineEdit>("txtPageName")->text(), QStringLiteral("kept"));
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST(ErrorReports, TheThreeFormsCharacterForCharacter)
{
    TabHarness h(0, false);
    h.dialogs->clear();
    Access::report(*h.tab, "CmdProjectNameApply_click", 6, QStringLiteral("Overflow"), 0);
    Access::report(*h.tab, "cmdCategoryCancel_Click", 5, QStringLiteral("Invalid"), 1);
    Access::report(*h.tab, "GetBookAcroValue", 91, QStringLiteral("Object not set"), 2);
    ASSERT_EQ(h.dialogs->messages.size(), 3);
    EXPECT_EQ(h.dialogs->messages[0].text,
              QStringLiteral("Error (6 ):Overflow\rTovanel::ctlGlobalsTab - "
                             "CmdProjectNameApply_click"));
    EXPECT_TRUE(h.dialogs->messages[0].title.isEmpty());
    EXPECT_EQ(h.dialogs->messages[1].text,
              QStringLiteral("Error 5 (Invalid) in procedure cmdCategoryCancel_Click of User "
                             "Control ctlGlobalsTab"));
    EXPECT_EQ(h.dialogs->messages[1].icon, MessageIcon::None);
    EXPECT_EQ(h.dialogs->messages[2].text, QStringLiteral("91: Object not set"));
    EXPECT_EQ(h.dialogs->messages[2].icon, MessageIcon::Information);
    EXPECT_EQ(h.dialogs->messages[2].title, QStringLiteral("Sendrel::ctlBookTab-GetBookAcroValue"));

    // A procedure of the second form reports that way by itself, and returns False.
    h.dialogs->clear();
    EXPECT_FALSE(Access::checkElement(*h.tab, nullptr));
    ASSERT_EQ(h.dialogs->messages.size(), 1);
    EXPECT_TRUE(h.dialogs->messages[0].text.startsWith(QStringLiteral("Error 91 (")));
    EXPECT_TRUE(h.dialogs->messages[0].text.endsWith(
        QStringLiteral(") in procedure bCheckElement of User Control ctlGlobalsTab")));
}

TEST(Events, NumbersAsTheHostKnowsThem)
{
    EXPECT_EQ(ctlGlobalsTab::OnprojectNameChangeEvent, 1);
    EXPECT_EQ(ctlGlobalsTab::OnCategoryAdditionEvent, 2);
    EXPECT_EQ(ctlGlobalsTab::OnCategoryDeletionEvent, 6);
    EXPECT_EQ(ctlGlobalsTab::OnAddGlobalPageEvent, 3);
    EXPECT_EQ(ctlGlobalsTab::evtOnDeletionofGlobalPageEvent, 4);
    EXPECT_EQ(ctlGlobalsTab::OnRefreshTreeEvent, 5);
}

} // namespace
