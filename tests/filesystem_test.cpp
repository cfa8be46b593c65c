#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace globalstab;

namespace {

RuntimeError caught(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(0, QString());
}

class FileSystemTest : public ::testing::Test
{
protected:
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    QString write(const QString& relative, const QByteArray& data) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path(relative);
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    mode_t mode(const QString& relative) const
    {
        struct stat info
        {
        };
        ::stat(QFile::encodeName(path(relative)).constData(), &info);
        return info.st_mode;
    }
    QStringList entries(const QString& relative) const
    {
        return QDir(path(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    FileSystem fso;
};

} // namespace

TEST_F(FileSystemTest, PathsResolveWithoutRegardToCaseOrSeparators)
{
    write("Docs/Alpha/PX_TOC.xml", "x");
    const QString root = dir.path();
    EXPECT_EQ(FileSystem::resolve(root + "\\docs\\\\ALPHA/px_toc.XML"),
              path("Docs/Alpha/PX_TOC.xml"));
    EXPECT_TRUE(fso.FileExists(root + "\\DOCS\\\\alpha\\Px_Toc.xml"));
    EXPECT_TRUE(fso.FolderExists(root + "//docs/"));
    // Parts that do not exist keep the case as written.
    EXPECT_EQ(FileSystem::resolve(root + "\\docs\\New Folder\\File.TXT"),
              path("Docs/New Folder/File.TXT"));
    EXPECT_EQ(FileSystem::resolve(root + "\\docs\\"), path("Docs/"));

    // An exact match wins; otherwise the first in name order.
    write("Docs/a.txt", "lower");
    write("Docs/A.txt", "upper");
    EXPECT_EQ(FileSystem::resolve(root + "/Docs/a.txt"), path("Docs/a.txt"));
    EXPECT_EQ(FileSystem::resolve(root + "/Docs/A.TXT"), path("Docs/A.txt"));
}

TEST_F(FileSystemTest, FolderMoves)
{
    write("Docs/Alpha/PX_TOC.xml", "x");
    QDir().mkpath(path("Docs/Beta"));
    Folder folder = fso.GetFolder(path("docs/alpha"));
    EXPECT_EQ(folder.Name(), "Alpha");

    folder.Move(path("Docs/Alpha"));
    folder.Move(dir.path() + "\\docs\\Alpha");
    EXPECT_EQ(entries("Docs"), QStringList({"Alpha", "Beta"}));

    folder.Move(path("Docs/ALPHA"));
    EXPECT_EQ(entries("Docs"), QStringList({"ALPHA", "Beta"}));
    EXPECT_EQ(folder.Path(), path("Docs/ALPHA"));

    EXPECT_EQ(caught([&] { folder.Move(path("Docs/beta")); }).number(), rt::FileAlreadyExists);
    EXPECT_EQ(read("Docs/ALPHA/PX_TOC.xml"), "x");

    folder.Move(path("Docs/Gamma"));
    EXPECT_EQ(entries("Docs"), QStringList({"Beta", "Gamma"}));
    Folder gone(path("Docs/Alpha"));
    EXPECT_EQ(caught([&] { gone.Move(path("Docs/Delta")); }).number(), rt::PathNotFound);
    EXPECT_EQ(caught([&] { fso.GetFolder(path("Docs/Alpha")); }).number(), rt::PathNotFound);
}

TEST_F(FileSystemTest, FolderWalkIsSortedAndNoticesAGoneFolder)
{
    write("Top/b.htm", "");
    write("Top/.hidden", "");
    write("Top/A.HTM", "");
    QDir().mkpath(path("Top/sub2"));
    QDir().mkpath(path("Top/Sub1"));
    const Folder top = fso.GetFolder(path("top"));
    QStringList files;
    for (const FileEntry& file : top.Files())
        files << file.Name;
    EXPECT_EQ(files, QStringList({".hidden", "A.HTM", "b.htm"}));
    EXPECT_EQ(top.Files().at(1).Path, path("Top/A.HTM"));
    ASSERT_EQ(top.SubFolders().size(), 2);
    EXPECT_EQ(top.SubFolders().at(0).Name(), "Sub1");

    QDir(path("Top")).removeRecursively();
    EXPECT_EQ(caught([&] { top.Files(); }).number(), rt::PathNotFound);
    EXPECT_EQ(caught([&] { top.SubFolders(); }).number(), rt::PathNotFound);
}

TEST_F(FileSystemTest, AttributesMapToPermissionBitsAndReadOnlyIsHonoured)
{
    const QString file = write("page.htm", "old");
    QDir().mkpath(path(".hiddenFolder"));
    EXPECT_EQ(fso.GetAttributes(file), FileSystem::Normal);
    EXPECT_EQ(fso.GetAttributes(path(".hiddenFolder")), FileSystem::Hidden | FileSystem::Directory);

    fso.SetAttributes(file, FileSystem::ReadOnly | FileSystem::Archive | FileSystem::System);
    EXPECT_EQ(mode("page.htm") & (S_IWUSR | S_IWGRP | S_IWOTH), 0u);
    EXPECT_NE(mode("page.htm") & S_ISVTX, 0u);
    EXPECT_EQ(fso.GetAttributes(file), FileSystem::ReadOnly | FileSystem::Archive);

    // Root ignores the bits; the layer refuses by itself.
    const RuntimeError denied = caught([&] { fso.WriteAllText(file, "new"); });
    EXPECT_EQ(denied.number(), rt::PermissionDenied);
    EXPECT_TRUE(denied.description().contains("page.htm"));
    EXPECT_EQ(caught([&] { fso.DeleteFile(file); }).number(), rt::PermissionDenied);
    write("other.htm", "other");
    EXPECT_EQ(caught([&] { fso.CopyFile(path("other.htm"), file, true); }).number(),
              rt::PermissionDenied);
    EXPECT_EQ(read("page.htm"), "old");

    fso.SetAttributes(file, FileSystem::Normal);
    EXPECT_NE(mode("page.htm") & S_IWUSR, 0u);
    EXPECT_EQ(fso.GetAttributes(file), FileSystem::Normal);
    fso.CopyFile(path("OTHER.htm"), path("PAGE.htm"), true);
    EXPECT_EQ(read("page.htm"), "other");
    EXPECT_EQ(caught([&] { fso.CopyFile(path("other.htm"), file, false); }).number(),
              rt::FileAlreadyExists);
    EXPECT_EQ(caught([&] { fso.CopyFile(path("none.htm"), file, true); }).number(),
              rt::FileNotFound);

    fso.SetAttributes(file, FileSystem::ReadOnly);
    fso.DeleteFile(file, true);
    EXPECT_FALSE(fso.FileExists(file));
    EXPECT_EQ(caught([&] { fso.DeleteFile(file); }).number(), rt::FileNotFound);
}

TEST_F(FileSystemTest, FoldersAreCreatedOnce)
{
    EXPECT_EQ(caught([&] { fso.CreateFolder(path("Docs\\_Global Information\\")); }).number(),
              rt::PathNotFound);
    QDir().mkpath(path("Docs"));
    fso.CreateFolder(path("docs\\_Global Information\\"));
    EXPECT_EQ(entries("Docs"), QStringList("_Global Information"));
    EXPECT_EQ(caught([&] { fso.CreateFolder(path("DOCS/_global information")); }).number(),
              rt::FileAlreadyExists);
}

TEST_F(FileSystemTest, TextFilesReadBackInTheirEncoding)
{
    const QString text = QStringLiteral("**Alpha** caf\u00e9 \u20ac \U0001F600\r\nline 2");
    fso.WriteAllText(path("page.htm"), text);
    EXPECT_TRUE(read("page.htm").startsWith(QByteArray("\xFF\xFE*\0*\0", 6)));
    EXPECT_EQ(fso.ReadAllText(path("PAGE.HTM")), text);
    fso.WriteAllText(path("page.htm"), "short");
    EXPECT_EQ(fso.ReadAllText(path("page.htm")), "short");

    EXPECT_EQ(fso.ReadAllText(write("bom.htm", "\xEF\xBB\xBF"
                                               "caf\xC3\xA9")),
              "caf\u00e9");
    EXPECT_EQ(fso.ReadAllText(write("utf8.htm", "caf\xC3\xA9 \xE2\x82\xAC")), "caf\u00e9 \u20ac");
    EXPECT_EQ(fso.ReadAllText(write("be.htm", QByteArray("\xFE\xFF\0a\x20\xAC", 6))), "a\u20ac");
    EXPECT_EQ(fso.ReadAllText(write("ansi.htm", "caf\xE9 \x80 \x93x\x94 \xC3")),
              "caf\u00e9 \u20ac \u201cx\u201d \u00c3");

    const RuntimeError empty = caught([&] { fso.ReadAllText(write("empty.htm", "")); });
    EXPECT_EQ(empty.number(), 62);
    EXPECT_TRUE(empty.description().startsWith("Input past end of file"));
    const RuntimeError missing = caught([&] { fso.ReadAllText(path("none.htm")); });
    EXPECT_EQ(missing.number(), rt::FileNotFound);
    EXPECT_TRUE(missing.description().contains("none.htm"));
}

TEST_F(FileSystemTest, InterruptedWriteKeepsTheOldFile)
{
    write("Docs/page.htm", "old");
    globalstab::testing::failNextRename();
    EXPECT_NE(caught([&] { fso.WriteAllText(path("Docs/page.htm"), "new"); }).number(), 0);
    EXPECT_EQ(read("Docs/page.htm"), "old");
    EXPECT_EQ(entries("Docs"), QStringList("page.htm"));

    atomicWriteFile(path("Docs/page.htm"), "new");
    EXPECT_EQ(read("Docs/page.htm"), "new");
    EXPECT_EQ(caught([&] { atomicWriteFile(path("Nowhere/page.htm"), "x"); }).number(),
              rt::PathNotFound);
}
