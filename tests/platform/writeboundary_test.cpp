// The write boundary: with one set, nothing is written outside the data root.
#include "tests/platform/FileSystemFixture.h"
#include <QDirIterator>
#include <QMap>

#include <gtest/gtest.h>

using namespace globalstab;
using globalstab::test::errorOf;
using globalstab::test::FileSystemTest;

namespace {

// Every entry below a folder: its kind, link target or contents, and permissions.
QMap<QString, QString> snapshot(const QString& folder)
{
    QMap<QString, QString> entries;
    for (QDirIterator it(folder,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo info(it.next());
        QString state = QString::number(int(info.permissions()), 16) + ' ';
        if (info.isSymLink()) {
            state += "-> " + info.symLinkTarget();
        } else if (info.isFile()) {
            QFile file(info.filePath());
            state += file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : "?";
        }
        entries.insert(info.filePath(), state);
    }
    return entries;
}

} // namespace

TEST_F(FileSystemTest, WritesStayInsideTheDataRoot)
{
    // Each case gets a tree of its own: a data root and, beside it, a folder that no write
    // may reach.
    QString tree;
    const auto at = [&](const QString& relative) { return path(tree + relative); };
    const auto makeTree = [&](const QString& name) {
        tree = name + '/';
        write(tree + "root/Docs/Book/page.htm", "inside");
        write(tree + "outside/target.htm", "sentinel");
        write(tree + "outside/book/PX_TOC.xml", "<toc/>");
        write(tree + "outside/.globalstab-x7f.part", "");
        QDir().mkpath(at("outside/media"));
        EXPECT_TRUE(QFile::link(at("outside/target.htm"), at("root/Docs/Book/linked.htm")));
        EXPECT_TRUE(QFile::link(at("outside/book"), at("root/Docs/Linked Book")));
        EXPECT_TRUE(QFile::link("../../../outside/media", at("root/Docs/Book/Media")));
        EXPECT_TRUE(QFile::link("Loop", at("root/Docs/Loop")));
        return at("root/");
    };
    const auto page = [&] { return at("root/Docs/Book/page.htm"); };

    const std::pair<const char*, std::function<void()>> refused[] = {
        {"a page linked outside", [&] { fso.WriteAllText(at("root/Docs/Book/linked.htm"), "x"); }},
        {"a book folder linked outside",
         [&] { atomicWriteFile(at("root/Docs/Linked Book/PX_TOC.xml"), "x"); }},
        {"a copy into a linked book",
         [&] { fso.CopyFile(page(), at("root/docs/linked book/"), true); }},
        {"a folder inside a folder linked outside",
         [&] { fso.CreateFolder(at("root/Docs/Book/media/New")); }},
        {"backslash parent segments",
         [&] { fso.WriteAllText(at("root/Docs\\Book\\..\\..\\..\\outside\\new.htm"), "x"); }},
        {"slash parent segments",
         [&] { fso.CopyFile(page(), at("root/Docs/../../outside/"), true); }},
        {"an absolute path", [&] { fso.DeleteFile(at("outside/target.htm"), true); }},
        {"the link of a page linked outside",
         [&] { fso.DeleteFile(at("root/Docs/Book/linked.htm")); }},
        {"attributes through a link",
         [&] { fso.SetAttributes(at("root/Docs/Book/linked.htm"), FileSystem::ReadOnly); }},
        {"a folder copied out", [&] { fso.CopyFolder(at("root/Docs"), at("outside/copy")); }},
        {"a folder moved out",
         [&] { fso.GetFolder(at("root/Docs/Book")).Move(at("outside/Moved")); }},
        {"a folder moved in",
         [&] { fso.GetFolder(at("outside/book")).Move(at("root/Docs/Moved")); }},
        {"leftovers cleaned outside", [&] { fso.removeLeftovers(at("outside")); }},
        {"links that loop", [&] { fso.WriteAllText(at("root/Docs/Loop"), "x"); }},
    };
    int row = 0;
    for (const auto& [what, body] : refused) {
        SCOPED_TRACE(what);
        const QString root = makeTree(QString::number(++row));
        const WriteBoundary boundary(root);
        EXPECT_EQ(FileSystem::writeBoundary(), root);
        const QMap<QString, QString> before = snapshot(path(tree));
        const auto error = test::caught(body);
        EXPECT_EQ(snapshot(path(tree)), before);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number(), rt::PermissionDenied);
        EXPECT_TRUE(error->description().startsWith("Permission denied: '") &&
                    error->description().endsWith("' is outside the data root '" + root + "'"))
            << error->description().toStdString();
    }

    // Inside the root everything works as before, reads of the outside included.
    const QString root = makeTree("inside");
    const WriteBoundary boundary(root);
    fso.WriteAllText(root + "DOCS/book/Page.htm", fso.ReadAllText(root + "Docs/Book/linked.htm"));
    EXPECT_EQ(fso.ReadAllText(page()), "sentinel");
    fso.CreateFolder(root + "Docs/Book/../New");
    fso.CopyFile(page(), root + "Docs/New/", false);
    fso.GetFolder(root + "Docs/New").Move(root + "Docs/Book/New");
    fso.SetAttributes(page(), FileSystem::ReadOnly);
    fso.DeleteFile(page(), true);
    EXPECT_EQ(entries(tree + "root/Docs/Book"), QStringList({"linked.htm", "Media", "New"}));
    EXPECT_EQ(read(tree + "outside/target.htm"), "sentinel");

    // Boundaries nest and end with their scope.
    {
        const WriteBoundary inner(at("outside"));
        fso.WriteAllText(at("outside/new.htm"), "x");
        EXPECT_EQ(errorOf([&] { fso.CreateFolder(root + "Docs/Other"); }), rt::PermissionDenied);
    }
    EXPECT_EQ(FileSystem::writeBoundary(), root);
    EXPECT_EQ(errorOf([&] { fso.DeleteFile(at("outside/new.htm")); }), rt::PermissionDenied);
}

TEST_F(FileSystemTest, WithoutABoundaryWritesGoAnywhere)
{
    EXPECT_TRUE(FileSystem::writeBoundary().isEmpty());
    write("outside/target.htm", "old");
    QDir().mkpath(path("root"));
    ASSERT_TRUE(QFile::link(path("outside/target.htm"), path("root/linked.htm")));
    fso.WriteAllText(path("root/linked.htm"), "new");
    EXPECT_EQ(fso.ReadAllText(path("outside/target.htm")), "new");
}
