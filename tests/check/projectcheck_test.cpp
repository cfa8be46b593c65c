// The consistency check of a project: nothing on the samples, each kind of drift when seeded.
#include "check/ProjectCheck.h"
#include "core/Preview.h"
#include "operations/CategoryChanges.h"
#include "services/DefaultServices.h"
#include "services/ServiceFactory.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>

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

std::string lines(const QList<check::Finding>& findings)
{
    QStringList all;
    for (const check::Finding& finding : findings)
        all << check::describe(finding);
    return all.join('\n').toStdString();
}

} // namespace

TEST(ProjectCheck, TheSamplesAreConsistent)
{
    SampleDataRoot data;
    for (const char* project : {"Orion Suite 2024", "Vega Toolkit 3", "Lyra Reference"}) {
        const auto findings = check::run({data.root(), project, 0});
        QStringList lines;
        for (const check::Finding& finding : findings)
            lines << check::describe(finding);
        EXPECT_TRUE(findings.isEmpty()) << project << ": " << lines.join('\n').toStdString();
    }
}

TEST(ProjectCheck, EachKindOfDriftIsFoundWithItsFileAndName)
{
    const std::tuple<Kind, QString, QString, std::function<void(const SampleDataRoot&)>> drifts[] =
        {
            // The set files the Admin Reference under a category no book lists any more.
            {Kind::CategoryUnused, "Reference", "/PX_BookCategories.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_TOC.xml", "<Book_Category>Reference<",
                           "<Book_Category>Administration<");
                 replaceIn(d, Project + "Admin Reference/AR_Book.XML", ">Reference<",
                           ">Administration<");
             }},
            // The same, under a name the contents do not know at all: the set was renamed
            // alone.
            {Kind::CategoryNotInContents, "Manuals", "/PX_BookCategories.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_BookCategories.xml", ">Reference<", ">Manuals<");
             }},
            {Kind::CategoryUnknown, "Security", "/PX_TOC.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_TOC.xml", "<Book_Category>Reference<",
                           "<Book_Category>Security<");
             }},
            {Kind::BookCategoriesDiffer, "AR", "/AR_Book.XML",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "Admin Reference/AR_Book.XML", ">Reference<",
                           ">Tutorials<");
             }},
            {Kind::BookDocumentMissing, "RN_Book.xml", "/PX_TOC.xml",
             [](const SampleDataRoot& d) {
                 QFile::remove(d.path(Project + "Release Notes/RN_Book.xml"));
             }},
            {Kind::DocumentUnreadable, "RN_Book.xml", "/Release Notes/RN_Book.xml",
             [](const SampleDataRoot& d) {
                 d.write(Project + "Release Notes/RN_Book.xml", "<Book_Master><Book>");
             }},
            {Kind::DocumentUnreadable, "Book_Global.xml", "/Book_Global.xml",
             [](const SampleDataRoot& d) {
                 d.write(Project + "_Global Information/Book_Global.xml", "");
             }},
            {Kind::DocumentUnreadable, "PX_BookCategories.xml", "/PX_BookCategories.xml",
             [](const SampleDataRoot& d) {
                 d.write(Project + "PX_BookCategories.xml", "<BookSet_Categories>");
             }},
            {Kind::BookKeyDiffers, "Orion Suite 2023", "/IG_Book.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "Installation Guide/IG_Book.xml",
                           "<Book_Key>Orion Suite 2024<", "<Book_Key>Orion Suite 2023<");
             }},
            {Kind::BookKeyDiffers, "Orion Suite 2024\\Setup", "/IG_Book.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "Installation Guide/IG_Book.xml", "\\Installation Guide<",
                           "\\Setup<");
             }},
            {Kind::ContentsKeyDiffers, "Orion Suite 2023", "/PX_TOC.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_TOC.xml", "<Book_Key>Orion Suite 2024<",
                           "<Book_Key>Orion Suite 2023<");
             }},
            {Kind::ContentsKeyDiffers, "2023", "/PX_TOC.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_TOC.xml", ">2024</PX_Variation>",
                           ">2023</PX_Variation>");
             }},
            {Kind::GlobalDocumentMissing, "Terms.html", "/Book_Global.xml",
             [](const SampleDataRoot& d) {
                 QFile::remove(d.path(Project + "_Global Information/Terms.html"));
             }},
            {Kind::SelectionEntryMissing, "Orion Suite 2024", "/PX_Selection.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, "Docs/PX_Selection.xml", ">Orion Suite 2024<", ">Orion Suite 2023<");
             }},
            {Kind::DocumentUnreadable, "PX_Selection.xml", "/PX_Selection.xml",
             [](const SampleDataRoot& d) { d.write("Docs/PX_Selection.xml", "<PX_Selection_"); }},
            {Kind::ForeignToken, "Vega Toolkit 3", "/Stray.htm",
             [](const SampleDataRoot& d) { d.write(Project + "Stray.htm", "**Vega Toolkit 3**"); }},
            {Kind::UncategorisedNotFiled, "RN", "/PX_BookCategories.xml",
             [](const SampleDataRoot& d) {
                 replaceIn(d, Project + "PX_BookCategories.xml", "<BookAcro>RN</BookAcro>", "");
             }},
        };
    for (const auto& [kind, text, file, seed] : drifts) {
        SampleDataRoot data;
        seed(data);
        const auto findings = check::run({data.root(), sampleProject(), 0});
        EXPECT_TRUE(hasFinding(findings, kind, text, file))
            << text.toStdString() << " in " << file.toStdString() << ", found:\n"
            << lines(findings);
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

TEST(ProjectCheck, UnreadableContentsAreOneFindingAndTheRepairLeavesTheSetAlone)
{
    // Without its contents every category of the set would look unused, and a repair would
    // remove them all.
    SampleDataRoot data;
    const QString toc = Project + "PX_TOC.xml";
    const QByteArray contents = data.read(toc);
    data.write(toc, "<PX_Master><PX>");
    const ProjectContext project{data.root(), sampleProject(), 0};
    const auto findings = check::run(project);
    ASSERT_EQ(findings.size(), 1) << lines(findings);
    EXPECT_TRUE(hasFinding(findings, Kind::DocumentUnreadable, "PX_TOC.xml", "/PX_TOC.xml"));

    const auto before = snapshot(data.root());
    RecordingFeedback feedback;
    EXPECT_EQ(kinds(check::repair(feedback, project)), QList<Kind>{Kind::DocumentUnreadable});
    EXPECT_TRUE(snapshot(data.root()) == before);

    // Contents that are missing say so just the same.
    QFile::remove(data.path(toc));
    EXPECT_TRUE(
        hasFinding(check::run(project), Kind::DocumentUnreadable, "PX_TOC.xml", "/PX_TOC.xml"));

    // A project without a category set is no drift: the panel's next refresh writes one.
    data.write(toc, contents);
    QFile::remove(data.path(Project + "PX_BookCategories.xml"));
    EXPECT_EQ(lines(check::run(project)), "");
}

TEST(ProjectCheck, ACategoryRenameThatCouldNotReadTheContentsIsFoundOnBothSides)
{
    // The rename as the command line makes it: the set through the category service, then
    // the contents, which end it without a word when they do not load.
    SampleDataRoot data;
    const ProjectContext project{data.root(), sampleProject(), 0};
    DefaultServiceProvider services(data.root(), 0);
    const QString toc = Project + "PX_TOC.xml";
    const QByteArray contents = data.read(toc);
    data.write(toc, "<PX_Master><PX>");
    RecordingFeedback feedback;
    categories::renameCategory(feedback, &services, project, "Reference", "Manuals");
    EXPECT_TRUE(feedback.messages.isEmpty());

    data.write(toc, contents);
    const auto findings = check::run(project);
    EXPECT_EQ(findings.size(), 2) << lines(findings);
    // The set files the Admin Reference under a name the contents do not know...
    EXPECT_TRUE(
        hasFinding(findings, Kind::CategoryNotInContents, "Manuals", "/PX_BookCategories.xml"));
    // ... and the contents file it under one the set no longer has.
    EXPECT_TRUE(hasFinding(findings, Kind::CategoryUnknown, "Reference", "/PX_TOC.xml", "Book AR"));
    // Whether the rename is to be finished or undone is the author's choice: the repair
    // leaves the new name where it is.
    EXPECT_TRUE(hasFinding(check::repair(feedback, project), Kind::CategoryNotInContents, "Manuals",
                           "/PX_BookCategories.xml"));

    // The same rename with readable contents, and an add, leave nothing to report.
    SampleDataRoot clean;
    const ProjectContext cleanProject{clean.root(), sampleProject(), 0};
    DefaultServiceProvider cleanServices(clean.root(), 0);
    categories::renameCategory(feedback, &cleanServices, cleanProject, "Reference", "Manuals");
    createService<BookCategoryService>(&cleanServices)
        ->AddCategory(cleanProject.bookCategoriesPath(), "Security");
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    EXPECT_EQ(lines(check::run(cleanProject)), "");
}

TEST(ProjectCheck, RepairGivesBooksTheProjectsNameWhenTheSelectionListSettlesIt)
{
    const auto seed = [](const SampleDataRoot& data) {
        replaceIn(data, Project + "Installation Guide/IG_Book.xml", ">Orion Suite 2024<",
                  ">Orion Suite 2023<");
        replaceIn(data, Project + "Installation Guide/IG_Book.xml",
                  ">Orion Suite 2024\\Installation Guide<",
                  ">Orion Suite 2023\\Installation Guide<");
        replaceIn(data, Project + "PX_TOC.xml",
                  "<Book_Key>Orion Suite 2024</Book_Key>\n            <Book_Categories/>",
                  "<Book_Key>Orion Suite 2023</Book_Key>\n            <Book_Categories/>");
        replaceIn(data, Project + "PX_TOC.xml", ">2024</PX_Variation>", ">2023</PX_Variation>");
    };
    SampleDataRoot data;
    seed(data);
    const ProjectContext project{data.root(), sampleProject(), 0};
    EXPECT_EQ(kinds(check::run(project)),
              (QList<Kind>{Kind::ContentsKeyDiffers, Kind::BookKeyDiffers, Kind::BookKeyDiffers,
                           Kind::ContentsKeyDiffers}))
        << lines(check::run(project));

    const auto before = snapshot(data.root());
    RecordingFeedback feedback;
    const auto left = check::repair(feedback, project);
    EXPECT_TRUE(feedback.messages.isEmpty()) << feedback.texts().join('\n').toStdString();
    // The variation's only writer also empties PX_ID: it is left to the author.
    ASSERT_EQ(left.size(), 1) << lines(left);
    EXPECT_TRUE(hasFinding(left, Kind::ContentsKeyDiffers, "2023", "/PX_TOC.xml", "PX_Variation"));
    const auto after = snapshot(data.root());
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            changed << it.key();
    EXPECT_EQ(changed, QStringList({"Docs/Orion Suite 2024/Installation Guide/IG_Book.xml",
                                    "Docs/Orion Suite 2024/PX_TOC.xml"}));
    EXPECT_EQ(
        xmlTexts(data.path(Project + "Installation Guide/IG_Book.xml"), "//Book_Key | //Book_Path"),
        QStringList({"Orion Suite 2024", "Orion Suite 2024\\Installation Guide"}));

    // Without its entry in the selection list the project's name is in doubt: nothing is
    // written.
    SampleDataRoot unlisted;
    seed(unlisted);
    replaceIn(unlisted, "Docs/PX_Selection.xml", ">Orion Suite 2024<", ">Orion Suite 2023<");
    const auto unlistedBefore = snapshot(unlisted.root());
    check::repair(feedback, {unlisted.root(), sampleProject(), 0});
    EXPECT_TRUE(snapshot(unlisted.root()) == unlistedBefore);
}

TEST(ProjectCheck, AnUnreadableDocumentIsReportedWhereTheParserStoppedAndNothingIsRepaired)
{
    SampleDataRoot data;
    const QString toc = Project + "PX_TOC.xml";
    QByteArray contents = data.read(toc);
    // The first book's name closed by another tag: the parser stops on that line.
    const qsizetype at = contents.indexOf("</Book_Name>");
    ASSERT_GT(at, 0);
    const int line = int(contents.left(at).count('\n')) + 1;
    data.write(toc, QByteArray(contents).replace(at, 12, "</Book_Nome>"));
    // Drift the repair would mend, were the contents readable.
    data.write(Project + "Stray.htm", "**Vega Toolkit 3**");
    const ProjectContext project{data.root(), sampleProject(), 0};

    const auto findings = check::run(project);
    ASSERT_TRUE(hasFinding(findings, Kind::DocumentUnreadable, "PX_TOC.xml", "/PX_TOC.xml"))
        << lines(findings);
    const check::Finding& unreadable = findings.first();
    EXPECT_EQ(unreadable.line, line);
    EXPECT_FALSE(unreadable.problem.isEmpty());
    const QString described = check::describe(unreadable, data.root());
    EXPECT_TRUE(described.startsWith(
        QStringLiteral(
            "document cannot be read: \"PX_TOC.xml\" in Docs/Orion Suite 2024/PX_TOC.xml, "
            "line %1: ")
            .arg(line)))
        << described.toStdString();
    EXPECT_EQ(check::kindName(unreadable.kind), "document-unreadable");

    const auto before = snapshot(data.root());
    RecordingFeedback feedback;
    EXPECT_EQ(check::repair(feedback, project).size(), findings.size());
    EXPECT_TRUE(snapshot(data.root()) == before);

    // A document that is not there says so, without a line.
    QFile::remove(data.path(toc));
    const std::optional<check::ReadProblem> missing = check::readProblem(data.root() + toc);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->line, 0);
    EXPECT_FALSE(missing->message.isEmpty());
    EXPECT_FALSE(check::readProblem(data.root() + "Docs/PX_Selection.xml").has_value());
}

TEST(ProjectCheck, EveryKindHasItsOwnNameForScripts)
{
    QSet<QString> names;
    for (int kind = int(Kind::CategoryUnused); kind <= int(Kind::CategoryNotInContents); ++kind) {
        const QString name = check::kindName(Kind(kind));
        EXPECT_FALSE(name.isEmpty()) << kind;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), int(Kind::CategoryNotInContents) + 1);
}
