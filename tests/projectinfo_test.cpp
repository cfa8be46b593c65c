// The project info panel driven through its widgets on copies of the sample data.
#include "control/ctlGlobalsTab.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << text.toStdString();
}
QT_END_NAMESPACE

namespace {

const QString Orion = sampleProject();
const QString Applied = QStringLiteral("Applied the project information");
const QString InvalidRank = QStringLiteral("Invalid Rank, Default Rank value(500) is applied");

// Every file and folder below the root with its bytes, to prove that nothing changed.
QMap<QString, QByteArray> snapshot(const SampleDataRoot& data)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(data.root(), QDir::AllEntries | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files.insert(it.filePath(),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<dir>"));
    }
    return files;
}

// The texts of the nodes an XPath selects, joined by "|".
QString xml(const TabHarness& h, const QString& file, const char* xpath)
{
    pugi::xml_document doc;
    doc.load_file(h.data.path(file).toUtf8().constData());
    QStringList values;
    for (const pugi::xpath_node& node : doc.select_nodes(xpath))
        values << QString::fromUtf8(node.node().child_value());
    return values.join(QLatin1Char('|'));
}

// The last entry of the selection list: its children and the name's attributes, in order.
QString lastEntry(const TabHarness& h)
{
    pugi::xml_document doc;
    doc.load_file(h.data.path("Docs/PX_Selection.XML").toUtf8().constData());
    QStringList parts;
    for (const pugi::xml_node child : doc.select_node("//PX[last()]").node().children()) {
        parts << QString::fromUtf8(child.name()) + "=" + QString::fromUtf8(child.child_value());
        for (const pugi::xml_attribute a : child.attributes())
            parts << "@" + QString::fromUtf8(a.name()) + "=" + QString::fromUtf8(a.value());
    }
    return parts.join(QLatin1Char('|'));
}

// Fills the boxes and presses OK, the focus on the button as a click leaves it.
void apply(TabHarness& h, const QString& name, const QString& id = "NV", const QString& rank = "10")
{
    h.setText("txtProjectName", name);
    h.setText("txtProjectID", id);
    h.setText("txtPrjoectRank", rank);
    h.widget<QPushButton>("cmdProjectNameApply")->setFocus();
    h.click("cmdProjectNameApply");
}

} // namespace

TEST(ProjectInfo, RenameReachesFolderSelectionListTocBooksAndPages)
{
    TabHarness h(1000);
    const QString name = QStringLiteral("Orion Cloud 2025");
    QStringList shownBeforeEvent;
    int events = 0;
    QObject::connect(h.tab.get(), &ctlGlobalsTab::OnprojectNameChange, [&] {
        ++events;
        shownBeforeEvent = h.dialogs->texts();
    });

    apply(h, name, "ORC25", "42");

    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(h.dialogs->messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(shownBeforeEvent, QStringList{Applied});
    EXPECT_FALSE(QDir(h.data.docs() + Orion).exists());
    EXPECT_EQ(xml(h, "Docs/PX_Selection.XML", "//PX_Name"),
              "Vega Toolkit 3|Lyra Reference|" + name);
    EXPECT_EQ(lastEntry(h), "PX_Acro=ORC25|PX_Name=" + name +
                                "|@AddDate=|@Pro=Yes|@Enable=Yes|@Rank=42|PX_Location=Docs\\" +
                                name + "\\");
    const QString dir = "Docs/" + name + "/";
    EXPECT_EQ(xml(h, dir + "PX_TOC.xml", "/PX_Master/PX/*[not(*)]"), "Orion Cloud |2025|");
    EXPECT_EQ(xml(h, dir + "PX_TOC.xml", "//Book_Key"), QStringList(5, name).join('|'));
    const QStringList books = {"Installation Guide/IG_Book.xml", "User Manual/um_book.xml",
                               "Admin Reference/AR_Book.XML", "Release Notes/RN_Book.xml",
                               "_Global Information/Book_Global.xml"};
    for (const QString& book : books)
        EXPECT_EQ(xml(h, dir + book, "/Book_Master/Book/*[self::Book_Key or self::Book_Path]"),
                  name + "|" + name + "\\" + book.section('/', 0, 0));
    // Every page is rewritten (the walk itself is covered with the page files).
    const QString token = "**" + name + "**";
    const QByteArray utf16(reinterpret_cast<const char*>(token.utf16()), token.size() * 2);
    QDirIterator it(h.data.docs() + name, {"*.htm*"}, QDir::Files, QDirIterator::Subdirectories);
    int pages = 0;
    while (it.hasNext())
        pages += h.data.read(it.next().mid(h.data.root().size())).contains(utf16);
    EXPECT_EQ(pages, 12);
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectName")->text() +
                  h.widget<QLineEdit>("txtProjectID")->text() +
                  h.widget<QLineEdit>("txtPrjoectRank")->text(),
              name + "ORC25" + "42");
}

TEST(ProjectInfo, UnchangedAndCaseOnlyAppliesRewriteInPlace)
{
    TabHarness h;
    h.click("cmdProjectNameApply");
    EXPECT_EQ(h.dialogs->texts(), QStringList{Applied});
    EXPECT_EQ(lastEntry(h), "PX_Acro=ORS24|PX_Name=" + Orion +
                                "|@AddDate=|@Pro=No|@Enable=Yes|@Rank=10|PX_Location=Docs\\" +
                                Orion + "\\");
    EXPECT_EQ(xml(h, "Docs/" + Orion + "/PX_TOC.xml", "//PX_ID"), "");

    apply(h, Orion.toLower(), "ORS24");
    const QStringList folders = QDir(h.data.docs()).entryList(QDir::Dirs);
    EXPECT_TRUE(folders.contains(Orion.toLower()) && !folders.contains(Orion));
    EXPECT_EQ(h.dialogs->texts().last(), Applied);
}

TEST(ProjectInfo, PlatformAndVariationComeFromANumericLastWord)
{
    TabHarness h;
    // name -> platform|variation; the platform ends at the number's first occurrence.
    const QList<std::pair<QString, QString>> cases = {{"Nova 10", "Nova |10"},
                                                      {"Nova", "Nova|"},
                                                      {"2010", "|2010"},
                                                      {"Nova1 Suite 1", "Nova|1"},
                                                      {"Nova 3 ", "Nova 3 |"}};
    for (const auto& [name, expected] : cases) {
        apply(h, name);
        EXPECT_EQ(xml(h, "Docs/" + name + "/PX_TOC.xml", "//PX_Platform|//PX_Variation"), expected);
    }
}

TEST(ProjectInfo, RefusalsShowTheirMessageSetTheFocusAndChangeNothing)
{
    struct Case
    {
        QString name, id, rank, message, focus;
    };
    const Case cases[] = {
        {"   ", "", "10", "Enter a valid project name", "txtProjectName"},
        {"Nova", "  ", "10", "Enter a valid project Id", "txtProjectID"},
        {"Nova", "NV 1", "10", "Project Id should not have any spaces", "txtProjectID"},
        {" . ", "NV", "10", "Enter a valid project name", "txtProjectName"},
        {"vega TOOLKIT 3", "NV", "10", "Error:Project Name vega TOOLKIT 3 already Exists",
         "txtProjectName"},
        {"Nova/1", "N:V", "10", "Invalid Character", ""}, // both refusals are reported
        {"Nova", "NV", "99999999999", "Error (6 ):", ""},
    };
    for (const Case& c : cases) {
        TabHarness h(1000);
        const auto before = snapshot(h.data);
        apply(h, c.name, c.id, c.rank);
        const QStringList shown = h.dialogs->texts();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_TRUE(shown[0].startsWith(c.message)) << shown[0].toStdString();
        EXPECT_EQ(shown.size(), c.message == "Invalid Character" ? 2 : 1);
        if (!c.focus.isEmpty()) {
            EXPECT_EQ(h.tab->focusWidget()->objectName(), c.focus);
        }
        EXPECT_EQ(h.tab->ProjectName(), Orion);
        EXPECT_TRUE(snapshot(h.data) == before) << c.message.toStdString();
    }
}

TEST(ProjectInfo, RankIsStoredAsAWholeNumberOrReplacedBy500)
{
    TabHarness h(1000);
    const QList<std::pair<QString, QString>> cases = {
        {"12", "12"},  {"  12 ", "12"}, {"007", "7"}, {"1", "1"}, {"32000", "32000"},
        {"1,000", ""}, {"2.5", ""},     {"abc", ""},  {"0", ""},  {"-3", ""},
        {"32001", ""}, {"", ""},        {"1e3", ""}};
    for (const auto& [typed, stored] : cases) {
        h.dialogs->clear();
        apply(h, Orion, "ORS24", typed);
        const QStringList expected =
            stored.isEmpty() ? QStringList{InvalidRank, Applied} : QStringList{Applied};
        EXPECT_EQ(h.dialogs->texts(), expected) << typed.toStdString();
        EXPECT_EQ(h.dialogs->messages[0].icon,
                  stored.isEmpty() ? MessageIcon::None : MessageIcon::Information);
        EXPECT_TRUE(lastEntry(h).contains("@Rank=" + (stored.isEmpty() ? "500" : stored) + "|"));
    }
}

TEST(ProjectInfo, PropagationFailuresReportAndKeepFilesWhole)
{
    const QString toc = "Docs/" + Orion + "/PX_TOC.xml";
    const QByteArray original = TabHarness(0, false).data.read(toc);
    struct Case
    {
        std::function<void(TabHarness&)> setup;
        QStringList shown; // texts, or " - procedure" endings of error reports
        std::function<void(TabHarness&)> check;
    };
    // A table of contents that fails midway is reported and stays byte for byte.
    auto brokenToc = [&](const QByteArray& content) {
        return Case{
            [=](TabHarness& h) { h.data.write(toc, content); },
            {" - UpdatePXTocWithProdInfo"},
            [=](TabHarness& h) { EXPECT_EQ(h.data.read("Docs/Nova/PX_TOC.xml"), content); }};
    };
    const QString closeFiles = "Please close all files that are accessed from this project";
    const Case cases[] = {
        {[](TabHarness& h) { QDir().mkpath(h.data.docs() + "nova"); }, {closeFiles}, {}},
        {[](TabHarness& h) { QDir(h.data.docs() + Orion).removeRecursively(); }, {closeFiles}, {}},
        {[&](TabHarness& h) { QFile::remove(h.data.path(toc)); },
         {"PX_TOC.xml file is not found"},
         [](TabHarness& h) { EXPECT_TRUE(lastEntry(h).contains("PX_Name=Nova|")); }},
        brokenToc("<PX_Master><PX>"),
        brokenToc(QByteArray(original).replace("<PX_ID>ORS24</PX_ID>", "")),
        brokenToc(QByteArray(original).replace("<Book_File>AR_Book.XML</Book_File>", "")),
        {[](TabHarness& h) {
             h.data.write("Docs/" + Orion + "/Release Notes/RN_Book.xml", "<Book_Master>");
             QFile::setPermissions(h.data.path("Docs/" + Orion + "/Admin Reference/AR_Book.XML"),
                                   QFileDevice::ReadOwner);
         },
         {" - UpdateProductInfoInBook", Applied},
         [](TabHarness& h) {
             EXPECT_EQ(h.data.read("Docs/Nova/Release Notes/RN_Book.xml"), "<Book_Master>");
             EXPECT_EQ(xml(h, "Docs/Nova/Admin Reference/AR_Book.XML", "//Book_Key"), Orion);
             EXPECT_EQ(xml(h, "Docs/Nova/User Manual/um_book.xml", "//Book_Key"), "Nova");
         }},
        {[](TabHarness& h) { QFile::remove(h.data.path("Docs/PX_Selection.XML")); },
         {"PX_Selection.xml file does not exist", Applied},
         {}},
    };
    for (const Case& c : cases) {
        TabHarness h;
        c.setup(h);
        const auto before = snapshot(h.data);
        int events = 0;
        QObject::connect(h.tab.get(), &ctlGlobalsTab::OnprojectNameChange, [&] { ++events; });
        apply(h, "Nova");
        const QStringList shown = h.dialogs->texts();
        ASSERT_EQ(shown.size(), c.shown.size()) << c.shown[0].toStdString();
        for (int i = 0; i < shown.size(); ++i)
            EXPECT_TRUE(shown[i].endsWith(c.shown[i])) << shown[i].toStdString();
        const bool applied = c.shown.last() == Applied;
        EXPECT_EQ(events, applied ? 1 : 0);
        EXPECT_EQ(h.tab->ProjectName(), applied ? "Nova" : Orion);
        if (c.shown[0] == closeFiles) {
            EXPECT_TRUE(snapshot(h.data) == before);
        }
        if (c.check)
            c.check(h);
    }
}

TEST(ProjectInfo, QuotesInTheOpenProjectsNameMakeTheQueriesFail)
{
    TabHarness h(0, false);
    const QString apostrophe = QStringLiteral("Orion's 2024");
    QDir(h.data.docs()).rename(Orion, apostrophe);
    const QByteArray list =
        h.data.read("Docs/PX_Selection.XML").replace(Orion.toUtf8(), apostrophe.toUtf8());
    h.data.write("Docs/PX_Selection.XML", list);
    h.tab->setProjectName(apostrophe);
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectID")->text(), "ORS24");
    apply(h, "Nova");
    ASSERT_EQ(h.dialogs->texts().size(), 2);
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(" - UpdatePXSelection"));
    EXPECT_EQ(h.data.read("Docs/PX_Selection.XML"), list);

    h.dialogs->clear();
    h.tab->setProjectName(QStringLiteral("Orion \"X\""));
    ASSERT_EQ(h.dialogs->texts().size(), 1);
    EXPECT_TRUE(h.dialogs->texts()[0].endsWith(" - GetPXAcro"));
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectID")->text(), "");
}

TEST(ProjectInfo, CancelRestoresTheLastLoadedValues)
{
    TabHarness h(1000);
    h.type("txtProjectName", "Nova");
    h.type("txtProjectID", "NV");
    h.type("txtPrjoectRank", "77");
    h.click("cmdProjectNameCancel");
    EXPECT_EQ(h.widget<QLineEdit>("txtProjectName")->text() +
                  h.widget<QLineEdit>("txtProjectID")->text() +
                  h.widget<QLineEdit>("txtPrjoectRank")->text(),
              Orion + "ORS24" + "10");
    EXPECT_TRUE(h.dialogs->messages.isEmpty());
}
