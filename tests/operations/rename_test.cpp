// The project rename as an operation: its plan, its writes and their order, without the tab.
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <QDirIterator>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = sampleProject();
const QString Nova = QStringLiteral("Nova 9");

// Every file below the data root by its path relative to it, the project folder named as
// after the rename, so that before and after compare file by file.
QMap<QString, QByteArray> files(const SampleDataRoot& data, bool beforeRename)
{
    QMap<QString, QByteArray> result;
    for (QDirIterator it(data.root(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QString relative = it.next().mid(data.root().size());
        if (beforeRename)
            relative.replace("Docs/" + Orion + "/", "Docs/" + Nova + "/");
        result.insert(relative, data.read(it.filePath().mid(data.root().size())));
    }
    return result;
}

ProjectInfoChange change(const SampleDataRoot& data)
{
    return {{data.root(), Orion, 1000}, Nova, "NV", "10"};
}

} // namespace

TEST(ProjectRename, ThePlanNamesEveryFileTheApplyChangesAndWritesNothing)
{
    SampleDataRoot data;
    const QMap<QString, QByteArray> before = files(data, true);
    const ProjectRename rename(change(data));
    const Plan plan = rename.plan();
    EXPECT_EQ(files(data, true), before);

    RecordingFeedback feedback;
    ASSERT_TRUE(rename.apply(feedback));
    EXPECT_TRUE(feedback.messages.isEmpty());
    const QMap<QString, QByteArray> after = files(data, false);
    ASSERT_EQ(after.keys(), before.keys());
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();

    ASSERT_FALSE(plan.isEmpty());
    EXPECT_EQ(plan.first().action, FileChange::Action::MoveFolder);
    QStringList planned;
    for (const FileChange& file : plan.mid(1))
        planned << FileSystem::resolve(file.path).mid(data.root().size());
    // Folder, selection list, the books in table order, the table of contents last.
    EXPECT_EQ(planned.first(), "Docs/PX_Selection.xml");
    EXPECT_EQ(planned.last(), "Docs/" + Nova + "/PX_TOC.xml");
    planned.sort();
    EXPECT_EQ(changed, planned);
}

TEST(ProjectRename, ThePlanWithPagesIsExactlyWhatTheRenameAndItsPageRewriteChange)
{
    SampleDataRoot data;
    const QMap<QString, QByteArray> before = files(data, true);
    const Plan plan = planRenameWithPages(change(data));
    EXPECT_EQ(files(data, true), before);

    RecordingFeedback feedback;
    ASSERT_TRUE(ProjectRename(change(data)).apply(feedback));
    rewritePageTokens(FileSystem().GetFolder(data.root() + "Docs/" + Nova),
                      {data.root(), Orion, Nova, 0}, feedback);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    const QMap<QString, QByteArray> after = files(data, false);
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();
    QStringList planned;
    for (const FileChange& file : plan.mid(1))
        planned << FileSystem::resolve(file.path).mid(data.root().size());
    planned.sort();
    EXPECT_EQ(changed, planned);
    EXPECT_GT(planned.filter(QRegularExpression("\\.html?$")).size(), 5);
}

TEST(ProjectRename, ReadErrorsAreReportedWhereTheWritesWouldHaveMetThem)
{
    SampleDataRoot data;
    const QString toc = "Docs/" + Orion + "/PX_TOC.xml";
    // The third book of the table has no file name: the books before it are written, then
    // the table of contents fails as a whole.
    data.write(toc, data.read(toc).replace("<Book_File>AR_Book.XML</Book_File>", ""));
    data.write("Docs/PX_Selection.XML", "<Broken/>");
    const QByteArray tocBefore = data.read(toc);

    const ProjectRename rename(change(data));
    RecordingFeedback feedback;
    const auto error = caught([&] { rename.apply(feedback); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), rt::ObjectNotSet);
    EXPECT_EQ(feedback.reports(), QStringList{"UpdatePXSelection"});
    const QString moved = "Docs/" + Nova + "/";
    EXPECT_EQ(data.read(moved + "PX_TOC.xml"), tocBefore);
    EXPECT_TRUE(data.read(moved + "Installation Guide/IG_Book.xml").contains("Nova 9"));
    EXPECT_FALSE(data.read(moved + "Release Notes/RN_Book.xml").contains("Nova 9"));
}

TEST(ProjectRename, PlatformVariationAndRankRules)
{
    // name -> platform|variation; the platform ends at the number's first occurrence.
    for (const auto& [name, expected] : {std::pair<QString, QString>{"2010", "|2010"},
                                         {"Nova1 Suite 1", "Nova|1"},
                                         {"Nova 3 ", "Nova 3 |"},
                                         {"Orion Cloud 2025", "Orion Cloud |2025"}}) {
        const PlatformVariation parts = splitProjectName(name);
        EXPECT_EQ(parts.platform + "|" + parts.variation, expected) << name.toStdString();
    }
    // typed -> stored; empty when refused (the tab then applies 500)
    const std::pair<QString, QString> ranks[] = {
        {"12", "12"},  {"  12 ", "12"}, {"007", "7"}, {"1", "1"}, {"32000", "32000"},
        {"1,000", ""}, {"2.5", ""},     {"abc", ""},  {"0", ""},  {"-3", ""},
        {"32001", ""}, {"", ""},        {"1e3", ""}};
    for (const auto& [typed, stored] : ranks)
        EXPECT_EQ(acceptedRank(typed), stored) << typed.toStdString();
    EXPECT_EQ(caught([] { acceptedRank("99999999999"); })->number(), rt::Overflow);
}

TEST(ProjectRename, EachDocumentChangesOnlyInTheLinesOfTheChangedTexts)
{
    SampleDataRoot data;
    const QString before = "Docs/" + Orion + "/";
    const QString after = "Docs/" + Nova + "/";
    const QStringList documents = {"PX_TOC.xml",
                                   "Installation Guide/IG_Book.xml",
                                   "User Manual/um_book.xml",
                                   "Admin Reference/AR_Book.XML",
                                   "Release Notes/RN_Book.xml",
                                   "_Global Information/Book_Global.xml"};
    QMap<QString, QList<QByteArray>> old;
    for (const QString& document : documents)
        old.insert(document, data.read(before + document).split('\n'));
    const QList<QByteArray> oldList = data.read("Docs/PX_Selection.xml").split('\n');

    RecordingFeedback feedback;
    ASSERT_TRUE(ProjectRename(change(data)).apply(feedback));
    for (const QString& document : documents) {
        const QList<QByteArray> lines = data.read(after + document).split('\n');
        ASSERT_EQ(lines.size(), old[document].size()) << document.toStdString();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i] == old[document][i])
                continue;
            static const QRegularExpression changed(
                "<(Book_Key|Book_Path|PX_Platform|PX_Variation|PX_ID)\\b");
            EXPECT_TRUE(QString::fromUtf8(lines[i]).contains(changed))
                << document.toStdString() << ": " << lines[i].toStdString();
        }
    }
    // The selection list loses the old entry and gains the new one at the end.
    const QList<QByteArray> list = data.read("Docs/PX_Selection.xml").split('\n');
    EXPECT_EQ(list.first(), oldList.first());
    EXPECT_EQ(list.mid(list.size() - 2), oldList.mid(oldList.size() - 2));
}
