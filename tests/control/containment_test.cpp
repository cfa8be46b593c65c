// Nothing the tab does writes outside the data root: names in documents that climb out of
// it, links inside it that point out of it and project names that do are all refused.
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Project = "Docs/Orion Suite 2024/";

void rename(TabHarness& h)
{
    h.setText("txtProjectName", "Nova 3");
    h.setText("txtProjectID", "NV");
    h.click("cmdProjectNameApply");
}

struct Escape
{
    const char* name;
    // Prepares the data root; outside is a folder beside it, holding a copy of the project.
    std::function<void(TabHarness&, const QString& outside)> prepare;
    std::function<void(TabHarness&)> act;
};

void replaceInToc(TabHarness& h, const QByteArray& from, const QByteArray& to)
{
    h.data.write(Project + "PX_TOC.xml", h.data.read(Project + "PX_TOC.xml").replace(from, to));
}

void link(TabHarness& h, const QString& inside, const QString& target)
{
    const QString path = h.data.path(inside);
    QFile::remove(path);
    QDir(path).removeRecursively();
    ASSERT_TRUE(QFile::link(target, path)) << path.toStdString();
}

const Escape escapes[] = {
    {"book folder climbing out with /",
     [](TabHarness& h, const QString& outside) {
         replaceInToc(h, "<Book_Folder>Admin Reference<",
                      "<Book_Folder>../../../" + QFileInfo(outside).fileName().toUtf8() +
                          "/Admin Reference<");
     },
     rename},
    {"book folder climbing out with \\",
     [](TabHarness& h, const QString& outside) {
         replaceInToc(h, "<Book_Folder>Admin Reference<",
                      "<Book_Folder>..\\..\\..\\" + QFileInfo(outside).fileName().toUtf8() +
                          "\\Admin Reference<");
     },
     rename},
    {"book file climbing out",
     [](TabHarness& h, const QString& outside) {
         replaceInToc(h, "<Book_File>AR_Book.XML<",
                      "<Book_File>../../../../" + QFileInfo(outside).fileName().toUtf8() +
                          "/Admin Reference/AR_Book.XML<");
     },
     rename},
    {"linked page",
     [](TabHarness& h, const QString& outside) {
         link(h, Project + "Release Notes/Whats_New.htm", outside + "/Release Notes/Whats_New.htm");
     },
     rename},
    {"linked book folder",
     [](TabHarness& h, const QString& outside) {
         link(h, Project + "Admin Reference", outside + "/Admin Reference");
     },
     rename},
    {"linked selection list",
     [](TabHarness& h, const QString& outside) {
         QFile::copy(h.data.path("Docs/PX_Selection.xml"), outside + "/PX_Selection.xml");
         link(h, "Docs/PX_Selection.xml", outside + "/PX_Selection.xml");
     },
     rename},
    {"linked global folder",
     [](TabHarness& h, const QString& outside) {
         link(h, Project + "_Global Information", outside + "/_Global Information");
     },
     [](TabHarness& h) {
         h.pick("Add", "Global Page");
         h.setText("txtPageName", "Tour");
         h.setText("txtSourceTo", h.data.path("Library/Quick Tour.htm"));
         h.click("cmdAddGblPage");
     }},
    {"project name climbing out",
     [](TabHarness& h, const QString& outside) {
         h.tab->setProjectName("../../" + QFileInfo(outside).fileName());
     },
     [](TabHarness& h) { h.pick("Add", "Hierarchical Category"); }},
};

} // namespace

TEST(Containment, EveryWayOutOfTheDataRootIsRefused)
{
    for (const Escape& escape : escapes) {
        SCOPED_TRACE(escape.name);
        TabHarness h;
        // Beside the data root, as a sibling folder of its own.
        const QString outside = QDir(h.data.root()).absolutePath() + "-outside";
        ASSERT_TRUE(copyTree(h.data.path(Project), outside));
        escape.prepare(h, outside);
        const auto before = snapshot(outside);
        h.dialogs->clear();
        escape.act(h);
        EXPECT_TRUE(snapshot(outside) == before);
        EXPECT_FALSE(h.dialogs->texts().filter("is outside the data root").isEmpty())
            << h.dialogs->texts().join('\n').toStdString();
        QDir(outside).removeRecursively();
    }
}
