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
    // Widget, caption id (0: none), tooltip id (0: none).
    const std::tuple<const char*, int, int> texts[] = {{"fraEditPrjNameID", 105, 0},
                                                       {"lblProjectName", 106, 0},
                                                       {"lblProjectID", 107, 0},
                                                       {"lblProjectRank", 146, 0},
                                                       {"cmdProjectNameApply", 108, 9011},
                                                       {"cmdProjectNameCancel", 109, 9012},
                                                       {"fraAddEditGblPage", 110, 0},
                                                       {"lblPageName", 111, 0},
                                                       {"lblSourceto", 112, 0},
                                                       {"cmdBrowse", 113, 9004},
                                                       {"lblTgtFrm", 5530, 0},
                                                       {"cmdAddGblPage", 135, 9005},
                                                       {"cmdDelGblPage", 136, 9007},
                                                       {"cmdCancelGblPage", 137, 9006},
                                                       {"cmdAdd", 5541, 9019},
                                                       {"cmdEdit", 5542, 9021},
                                                       {"cmdApplyAddEditCate", 108, 9015},
                                                       {"cmdCategoryCancel", 109, 9016},
                                                       {"cmdCategoryDelete", 136, 9017},
                                                       {"lblNote", 5555, 0},
                                                       {"lblCategoryName", 5553, 0},
                                                       {"lblAvailCatName", 5552, 0},
                                                       {"FraHC", 5550, 0},
                                                       {"txtPageName", 0, 9001},
                                                       {"txtSourceTo", 0, 9002},
                                                       {"lstPages", 0, 9008},
                                                       {"txtProjectName", 0, 9009},
                                                       {"txtProjectID", 0, 9010},
                                                       {"txtCategoryName", 0, 9013},
                                                       {"lstAvaBookCategories", 0, 9014},
                                                       {"lstAddItems", 0, 9020},
                                                       {"lstEditItems", 0, 9022},
                                                       {"txtPrjoectRank", 0, 0},
                                                       {"lblListInfo", 0, 0}};
    for (const auto& [name, caption, tip] : texts) {
        const QWidget* widget = h.tab->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(widget, nullptr) << name;
        if (caption) {
            const char* property = qobject_cast<const QGroupBox*>(widget) ? "title" : "text";
            EXPECT_EQ(widget->property(property).toString(), h.tab->GetResString(caption)) << name;
        }
        EXPECT_EQ(widget->toolTip(), tip ? h.tab->GetResString(tip) : QString()) << name;
    }
    EXPECT_EQ(h.widget<QLabel>("lblListInfo")->text(), QStringLiteral("Label"));

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

} // namespace
