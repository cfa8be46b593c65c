// The consistency check of a project: nothing on the samples, each kind of drift when seeded.
#include "check/ProjectCheck.h"
#include "core/Preview.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;
using Kind = check::Finding::Kind;

namespace {

const QString Project = "Docs/Orion Suite 2024/";

void replaceIn(const SampleDataRoot& data, const QString& file, const QByteArray& from,
               const QByteArray& to)
{
    const QByteArray before = data.read(file);
    ASSERT_TRUE(before.contains(from)) << from.toStdString();
    data.write(file, QByteArray(before).replace(from, to));
}

QList<Kind> kinds(const QList<check::Finding>& findings)
{
    QList<Kind> found;
    for (const check::Finding& finding : findings)
        found << finding.kind;
    return found;
}

} // namespace

TEST(ProjectCheck, TheSamplesAreConsistent)
{
    SampleDataRoot data;
    for (const char* project : {"Orion Suite 2024", "Vega Toolkit 3"}) {
        const auto findings = check::run({data.root(), project, 0});
        QStringList lines;
        for (const check::Finding& finding : findings)
            lines << check::describe(finding);
        EXPECT_TRUE(findings.isEmpty()) << project << ": " << lines.join('\n').toStdString();
    }
}

TEST(ProjectCheck, EachKindOfDriftIsFoundWithItsFileAndName)
{
    const std::tuple<Kind, QString, std::function<void(const SampleDataRoot&)>> drifts[] = {
        {Kind::CategoryUnused, "Reference",
         [](const SampleDataRoot& d) {
             replaceIn(d, Project + "PX_TOC.xml", "<Book_Category>Reference<",
                       "<Book_Category>Administration<");
             replaceIn(d, Project + "Admin Reference/AR_Book.XML", ">Reference<",
                       ">Administration<");
         }},
        {Kind::CategoryUnknown, "Security",
         [](const SampleDataRoot& d) {
             replaceIn(d, Project + "PX_TOC.xml", "<Book_Category>Reference<",
                       "<Book_Category>Security<");
         }},
        {Kind::BookCategoriesDiffer, "AR",
         [](const SampleDataRoot& d) {
             replaceIn(d, Project + "Admin Reference/AR_Book.XML", ">Reference<", ">Tutorials<");
         }},
        {Kind::BookDocumentMissing, "RN_Book.xml",
         [](const SampleDataRoot& d) {
             QFile::remove(d.path(Project + "Release Notes/RN_Book.xml"));
         }},
        {Kind::GlobalDocumentMissing, "Terms.html",
         [](const SampleDataRoot& d) {
             QFile::remove(d.path(Project + "_Global Information/Terms.html"));
         }},
        {Kind::SelectionEntryMissing, "Orion Suite 2024",
         [](const SampleDataRoot& d) {
             replaceIn(d, "Docs/PX_Selection.xml", ">Orion Suite 2024<", ">Orion Suite 2023<");
         }},
        {Kind::ForeignToken, "Vega Toolkit 3",
         [](const SampleDataRoot& d) { d.write(Project + "Stray.htm", "**Vega Toolkit 3**"); }},
        {Kind::UncategorisedNotFiled, "RN",
         [](const SampleDataRoot& d) {
             replaceIn(d, Project + "PX_BookCategories.xml", "<BookAcro>RN</BookAcro>", "");
         }},
    };
    for (const auto& [kind, text, seed] : drifts) {
        SampleDataRoot data;
        seed(data);
        const auto findings = check::run({data.root(), sampleProject(), 0});
        bool found = false;
        for (const check::Finding& finding : findings)
            found =
                found || (finding.kind == kind && finding.text == text && !finding.file.isEmpty());
        EXPECT_TRUE(found) << text.toStdString() << " in " << findings.size() << " finding(s)";
    }

    // A project the selection list names twice, and one whose folder is gone.
    SampleDataRoot data;
    replaceIn(data, "Docs/PX_Selection.xml", ">Vega Toolkit 3<", ">Orion Suite 2024<");
    EXPECT_TRUE(
        kinds(check::run({data.root(), sampleProject(), 0})).contains(Kind::SelectionEntryTwice));
    QDir(data.path(Project)).removeRecursively();
    EXPECT_EQ(kinds(check::run({data.root(), sampleProject(), 0})),
              (QList<Kind>{Kind::SelectionEntryTwice, Kind::ProjectFolderMissing}));
}

TEST(ProjectCheck, RepairMendsWhatTheTabsRulesMendAndItsPlanNamesEveryFileItWrites)
{
    SampleDataRoot data;
    replaceIn(data, Project + "PX_TOC.xml", "<Book_Category>Reference<",
              "<Book_Category>Security<");
    replaceIn(data, Project + "Admin Reference/AR_Book.XML", ">Reference<", ">Security<");
    replaceIn(data, Project + "PX_BookCategories.xml", "<BookAcro>RN</BookAcro>", "");
    data.write(Project + "Stray.htm", "**Vega Toolkit 3**");
    const ProjectContext project{data.root(), sampleProject(), 0};
    EXPECT_EQ(check::run(project).size(), 4);

    RecordingFeedback feedback;
    const auto before = snapshot(data.root());
    const Plan plan = previewChanges(data.root(), [&](const QString& copy) {
        check::repair(feedback, {copy, sampleProject(), 0});
    });
    EXPECT_TRUE(snapshot(data.root()) == before); // the preview only reads

    EXPECT_TRUE(check::repair(feedback, project).isEmpty());
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    const auto after = snapshot(data.root());
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();
    QStringList planned;
    for (const FileChange& file : plan)
        planned << file.path.mid(QDir(data.root()).absolutePath().size() + 1);
    // Every file the repair changed is in the plan; the plan may name files written again
    // with the same bytes.
    for (const QString& file : changed)
        EXPECT_TRUE(planned.contains(file)) << file.toStdString();
    EXPECT_GE(changed.size(), 12);
}
