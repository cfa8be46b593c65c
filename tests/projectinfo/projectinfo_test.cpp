// The project info panel driven through its widgets on copies of the sample data.
#include "control/ctlGlobalsTab.h"
#include "core/Action.h"
#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = sampleProject();
const QString Toc = "Docs/" + Orion + "/PX_TOC.xml";
const QString List = "Docs/PX_Selection.XML";
// The last entry of the selection list with its attributes, in document order.
const char* const LastEntry = "//PX[last()]/PX_Acro | //PX[last()]/PX_Name | "
                              "//PX[last()]/PX_Name/@* | //PX[last()]/PX_Location";
const QString Applied = QStringLiteral("Applied the project information");

// The panel on a fresh copy of the sample data; it records what had been shown each time the
// host heard of a change.
struct InfoPanel : TabHarness
{
    explicit InfoPanel(qint32 installType = 0) : TabHarness(installType)
    {
        QObject::connect(tab.get(), &ctlGlobalsTab::OnprojectNameChange,
                         [this] { atEvent << dialogs->texts(); });
    }
    // Fills the boxes and presses OK, the focus on the button as a click leaves it.
    void apply(const QString& name, const QString& id = "NV", const QString& rank = "10")
    {
        setText("txtProjectName", name);
        setText("txtProjectID", id);
        setText("txtPrjoectRank", rank);
        widget<QPushButton>("cmdProjectNameApply")->setFocus();
        click("cmdProjectNameApply");
    }
    QString boxes() const
    {
        return QStringList{widget<QLineEdit>("txtProjectName")->text(),
                           widget<QLineEdit>("txtProjectID")->text(),
                           widget<QLineEdit>("txtPrjoectRank")->text()}
            .join('|');
    }
    // Every file and folder below the root with its bytes, to prove that nothing changed.
    QStringList snapshot() const
    {
        QStringList files;
        for (QDirIterator it(data.root(), QDir::AllEntries | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            files << it.next() + "=" + data.read(it.filePath().mid(data.root().size())).toHex();
        files.sort();
        return files;
    }
    // The texts of the nodes an XPath selects, attributes as "@name=value", joined by "|".
    QString xml(const QString& file, const char* xpath) const
    {
        pugi::xml_document doc;
        doc.load_file(data.path(file).toUtf8().constData());
        QStringList values;
        for (const pugi::xpath_node& n : doc.select_nodes(xpath))
            values << (n.attribute()
                           ? QString("@%1=%2").arg(n.attribute().name(), n.attribute().value())
                           : QString::fromUtf8(n.node().child_value()));
        return values.join('|');
    }
    QList<QStringList> atEvent;
};

} // namespace

TEST(ProjectInfo, RenameReachesFolderSelectionListTocBooksAndPages)
{
    InfoPanel h(1000);
    const QString name = QStringLiteral("Orion Cloud 2025");
    h.apply(name, "ORC25", "42");

    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(h.atEvent, QList<QStringList>{{Applied}}); // once, after the message
    EXPECT_EQ(h.boxes(), name + "|ORC25|42");
    EXPECT_FALSE(QDir(h.data.docs() + Orion).exists());
    EXPECT_EQ(h.xml(List, "//PX_Name"), "Vega Toolkit 3|Lyra Reference|" + name);
    EXPECT_EQ(h.xml(List, LastEntry),
              "ORC25|" + name + "|@AddDate=|@Pro=Yes|@Enable=Yes|@Rank=42|Docs\\" + name + "\\");
    const QString dir = "Docs/" + name + "/";
    EXPECT_EQ(h.xml(dir + "PX_TOC.xml", "/PX_Master/PX/*[not(*)]"), "Orion Cloud |2025|");
    EXPECT_EQ(h.xml(dir + "PX_TOC.xml", "//Book_Key"), QStringList(5, name).join('|'));
    for (const QString book : {"Installation Guide/IG_Book.xml", "User Manual/um_book.xml",
                               "Admin Reference/AR_Book.XML", "Release Notes/RN_Book.xml",
                               "_Global Information/Book_Global.xml"})
        EXPECT_EQ(h.xml(dir + book, "/Book_Master/Book/*[self::Book_Key or self::Book_Path]"),
                  name + "|" + name + "\\" + book.section('/', 0, 0));
    // The pages of the renamed folder carry the new token (the walk is covered with the pages).
    for (const char* page : {"User Manual/Getting_Started.htm", "Release Notes/Whats_New.htm"})
        EXPECT_TRUE(FileSystem().ReadAllText(h.data.path(dir + page)).contains("**" + name + "**"))
            << page;
}

TEST(ProjectInfo, ALetterCaseChangeIsNoDuplicateOfTheOpenProject)
{
    InfoPanel h;
    h.apply("ORION SUITE 2024");
    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(QDir(h.data.docs()).entryList({"orion*"}, QDir::Dirs),
              QStringList{"ORION SUITE 2024"});
    EXPECT_EQ(h.xml("Docs/ORION SUITE 2024/PX_TOC.xml", "//PX_Platform|//PX_Variation"),
              "ORION SUITE |2024");
    EXPECT_EQ(h.xml(List, LastEntry), "NV|ORION SUITE 2024|@AddDate=|@Pro=No|@Enable=Yes|@Rank=10|"
                                      "Docs\\ORION SUITE 2024\\");
}

TEST(ProjectInfo, RefusalsShowTheirMessageSetTheFocusAndChangeNothing)
{
    const QString Ok = "cmdProjectNameApply";
    const QString closeFiles = "Please close all files that are accessed from this project";
    struct Case
    {
        QString name, id, rank, message, focus;
        std::function<void(const SampleDataRoot&)> setup = {};
    };
    const Case cases[] = {
        {"   ", "", "10", "Enter a valid project name", "txtProjectName"},
        {"Nova", "  ", "10", "Enter a valid project Id", "txtProjectID"},
        {"Nova", "NV 1", "10", "Project Id should not have any spaces", "txtProjectID"},
        {" . ", "NV", "10", "Enter a valid project name", "txtProjectName"},
        {"vega TOOLKIT 3", "NV", "10", "Error:Project Name vega TOOLKIT 3 already Exists",
         "txtProjectName"},
        {"Nova/1", "N:V", "10", "Invalid Character", Ok}, // both refusals are reported
        {"Nova", "NV", "99999999999", "Error (6 ):", Ok},
        // The folder cannot be moved: another of the new name exists, or the old one is gone.
        {"Nova", "NV", "10", closeFiles, Ok,
         [](const SampleDataRoot& d) { QDir().mkpath(d.docs() + "nova"); }},
        {"Nova", "NV", "10", closeFiles, Ok,
         [](const SampleDataRoot& d) { QDir(d.docs() + Orion).removeRecursively(); }},
    };
    for (const Case& c : cases) {
        InfoPanel h(1000);
        if (c.setup)
            c.setup(h.data);
        const auto before = h.snapshot();
        h.apply(c.name, c.id, c.rank);
        const QStringList shown = h.dialogs->texts();
        ASSERT_EQ(shown.size(), c.message == "Invalid Character" ? 2 : 1)
            << c.message.toStdString();
        EXPECT_TRUE(shown[0].startsWith(c.message)) << shown[0].toStdString();
        EXPECT_EQ(h.tab->focusWidget()->objectName(), c.focus);
        EXPECT_EQ(h.tab->ProjectName(), Orion);
        EXPECT_TRUE(h.atEvent.isEmpty());
        EXPECT_TRUE(h.snapshot() == before) << c.message.toStdString();
    }
}

TEST(ProjectInfo, UnchangedNameAppliesAgainWithARefusedRankAs500)
{
    InfoPanel h(1000);
    for (const auto& [typed, stored] :
         {std::pair<QString, QString>{"  12 ", "12"}, {"2.5", "500"}}) {
        h.dialogs->clear();
        h.apply(Orion, "ORS24", typed);
        const bool refused = stored == "500";
        const QStringList expected = {"Invalid Rank, Default Rank value(500) is applied", Applied};
        EXPECT_EQ(h.dialogs->texts(), expected.mid(refused ? 0 : 1)) << typed.toStdString();
        EXPECT_EQ(h.dialogs->messages[0].icon,
                  refused ? MessageIcon::None : MessageIcon::Information);
        EXPECT_EQ(h.xml(List, "//PX[last()]/PX_Name/@Rank"), "@Rank=" + stored);
    }
    // Each apply rewrote the entry at the end of the list and emptied the identifier again.
    EXPECT_EQ(h.xml(List, LastEntry),
              "ORS24|" + Orion + "|@AddDate=|@Pro=Yes|@Enable=Yes|@Rank=500|Docs\\" + Orion + "\\");
    EXPECT_EQ(h.xml(Toc, "//PX_ID"), "");
    EXPECT_EQ(h.atEvent.size(), 2);
}

TEST(ProjectInfo, TableOfContentsFailuresEndTheApplyAndLeaveItWhole)
{
    QFile sample(samplesDir() + "/" + Toc);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray original = sample.readAll();
    // A missing one (null), a malformed one, and ones that fail midway.
    for (const QByteArray& content :
         {QByteArray(), QByteArray("<PX_Master><PX>"),
          QByteArray(original).replace("<PX_ID>ORS24</PX_ID>", ""),
          QByteArray(original).replace("<Book_File>AR_Book.XML</Book_File>", "")}) {
        InfoPanel h;
        if (content.isNull())
            QFile::remove(h.data.path(Toc));
        else
            h.data.write(Toc, content);
        h.apply("Nova");
        const QStringList shown = h.dialogs->texts();
        ASSERT_EQ(shown.size(), 1) << content.left(20).toStdString();
        EXPECT_TRUE(content.isNull() ? shown[0] == "PX_TOC.xml file is not found"
                                     : shown[0].endsWith(" - UpdatePXTocWithProdInfo"))
            << shown[0].toStdString();
        EXPECT_EQ(h.data.read("Docs/Nova/PX_TOC.xml"), content);
        // The folder and the selection list entry have moved already; the name has not.
        EXPECT_EQ(h.xml(List, "//PX[last()]/PX_Name"), "Nova");
        EXPECT_EQ(h.tab->ProjectName(), Orion);
        EXPECT_TRUE(h.atEvent.isEmpty());
    }
}

TEST(ProjectInfo, BrokenSelectionListOrBookIsReportedAndTheApplyGoesOn)
{
    InfoPanel h;
    const QString project = "Docs/" + Orion + "/";
    QFile::remove(h.data.path(List));
    h.data.write(project + "Release Notes/RN_Book.xml", "<Book_Master>");
    QFile::setPermissions(h.data.path(project + "Admin Reference/AR_Book.XML"),
                          QFileDevice::ReadOwner);
    QSignalSpy skipped(h.tab.get(), &ctlGlobalsTab::documentSkipped);
    h.apply("Nova");

    const QStringList shown = h.dialogs->texts();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], "PX_Selection.xml file does not exist");
    EXPECT_TRUE(shown[1].endsWith(" - UpdateProductInfoInBook")) << shown[1].toStdString();
    EXPECT_EQ(h.atEvent, (QList<QStringList>{shown}));
    EXPECT_EQ(h.tab->ProjectName(), "Nova");
    // The unreadable book is skipped, the read-only one kept, the others renamed.
    EXPECT_EQ(h.data.read("Docs/Nova/Release Notes/RN_Book.xml"), "<Book_Master>");
    EXPECT_EQ(h.xml("Docs/Nova/Admin Reference/AR_Book.XML", "//Book_Key"), Orion);
    EXPECT_EQ(h.xml("Docs/Nova/User Manual/um_book.xml", "//Book_Key"), "Nova");
    // The tab says nothing of the unreadable book; the host is told once the apply ended.
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0][0].toString().endsWith("Release Notes/RN_Book.xml"));
    EXPECT_TRUE(skipped[0][1].toString().contains("keeps the project name \"" + Orion + "\""));

    // The apply ended as the tab's rules end it, errors and all: a second host starting on
    // the data root leaves it so.
    const QStringList ended = h.snapshot();
    EXPECT_TRUE(Action::recover(h.data.root()).empty());
    EXPECT_EQ(h.snapshot(), ended);
}

TEST(ProjectInfo, QuotesInTheOpenProjectsNameMakeTheQueriesFail)
{
    InfoPanel h;
    const QString apostrophe = QStringLiteral("Orion's 2024");
    QDir(h.data.docs()).rename(Orion, apostrophe);
    const QByteArray list = h.data.read(List).replace(Orion.toUtf8(), apostrophe.toUtf8());
    h.data.write(List, list);
    h.tab->setProjectName(apostrophe);
    EXPECT_EQ(h.boxes(), apostrophe + "|ORS24|10");
    h.apply("Nova");
    ASSERT_EQ(h.dialogs->texts().size(), 2);
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(" - UpdatePXSelection"));
    EXPECT_EQ(h.data.read(List), list);
    // Renamed and announced despite the error: a second start keeps the rename.
    EXPECT_EQ(h.atEvent.size(), 1);
    EXPECT_TRUE(Action::recover(h.data.root()).empty());
    EXPECT_TRUE(QDir(h.data.docs() + "Nova").exists());
    EXPECT_FALSE(QDir(h.data.docs() + apostrophe).exists());

    h.dialogs->clear();
    h.tab->setProjectName(QStringLiteral("Orion \"X\""));
    ASSERT_EQ(h.dialogs->texts().size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(" - GetPXAcro"));
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectID")->text(), "");
}

TEST(ProjectInfo, CancelRestoresTheLastLoadedValues)
{
    InfoPanel h(1000);
    h.type("txtProjectName", "Nova");
    h.type("txtProjectID", "NV");
    h.type("txtPrjoectRank", "77");
    h.click("cmdProjectNameCancel");
    EXPECT_EQ(h.boxes(), Orion + "|ORS24|10");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

// A rename of many pages shows its progress; stopping it puts every file back.
TEST(ProjectInfo, LongRenameShowsProgressAndCancelPutsEveryFileBack)
{
    InfoPanel h;
    const QString pages = "Docs/" + Orion + "/User Manual/Many/";
    QDir().mkpath(h.data.path(pages));
    for (int i = 0; i < 320; ++i)
        h.data.write(pages + QString("p%1.htm").arg(i), "<p>**" + Orion.toUtf8() + "**</p>");
    const QStringList before = h.snapshot();

    h.dialogs->cancelAtProgress = 200;
    h.apply("Orion Cloud 2025");

    EXPECT_EQ(h.snapshot(), before);
    EXPECT_EQ(h.dialogs->texts(),
              QStringList{"The change was cancelled. Every file is as it was before."});
    EXPECT_TRUE(h.atEvent.isEmpty());
    EXPECT_EQ(h.dialogs->progressUpdates.size(), 200);
    EXPECT_EQ(h.dialogs->progressEnds, 1);
    // The counts run up one file at a time against a total fixed in advance.
    const int total = h.dialogs->progressUpdates.front().second;
    EXPECT_GE(total, 320);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(h.dialogs->progressUpdates[i], std::make_pair(i + 1, total));

    // The new files are then put in place, counted as well; a stop there, with some of
    // them in place, also puts every file back.
    h.dialogs->clear();
    h.dialogs->progressUpdates.clear();
    h.dialogs->cancelAtProgress = total + 100;
    h.apply("Orion Cloud 2025");
    EXPECT_EQ(h.snapshot(), before);
    EXPECT_EQ(h.dialogs->texts(),
              QStringList{"The change was cancelled. Every file is as it was before."});
    EXPECT_TRUE(h.atEvent.isEmpty());
    ASSERT_EQ(h.dialogs->progressUpdates.size(), total + 100);
    // While the new files are made durable together the count stays at 0 and ticks every
    // 30 ms, as many times as the disk takes: the counts below leave those ticks out.
    const auto counted = [&] {
        QList<std::pair<int, int>> updates = h.dialogs->progressUpdates.mid(total);
        updates.removeIf([](const std::pair<int, int>& update) { return update.first == 0; });
        return updates;
    };
    ASSERT_FALSE(counted().isEmpty());
    const int placed = counted().front().second;
    EXPECT_GE(placed, 320);
    for (int i = 0; i < counted().size(); ++i)
        ASSERT_EQ(counted()[i], std::make_pair(i + 1, placed));

    // Uncancelled, the same rename runs to its end with the usual message and event.
    h.dialogs->clear();
    h.dialogs->progressUpdates.clear();
    h.dialogs->cancelAtProgress = 0;
    h.apply("Orion Cloud 2025");
    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(h.atEvent.size(), 1);
    EXPECT_EQ(counted().size(), placed);
    EXPECT_TRUE(FileSystem()
                    .ReadAllText(h.data.path("Docs/Orion Cloud 2025/User Manual/Many/p7.htm"))
                    .contains("**Orion Cloud 2025**"));
}
