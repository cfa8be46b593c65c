// The file-system layer: paths, folders and their walks, attributes, text files and a save
// that never leaves half a file.
#include "platform/TextCodec.h"
#include "tests/platform/FileSystemFixture.h"
#include "tests/support/SaveFaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace globalstab;
using globalstab::test::errorOf;
using globalstab::test::FileSystemTest;

TEST_F(FileSystemTest, PathsResolveWithoutRegardToCaseOrSeparators)
{
    write("Docs/Alpha/PX_TOC.xml", "x");
    const QString root = dir.path();
    EXPECT_EQ(FileSystem::resolve(root + "\\docs\\\\ALPHA/px_toc.XML"),
              path("Docs/Alpha/PX_TOC.xml"));
    EXPECT_TRUE(fso.FolderExists(root + "//docs/"));
    // Parts that do not exist keep the case as written.
    EXPECT_EQ(FileSystem::resolve(root + "\\docs\\New Folder\\File.TXT"),
              path("Docs/New Folder/File.TXT"));

    // An exact match wins; otherwise the first in name order.
    write("Docs/a.txt", "lower");
    write("Docs/A.txt", "upper");
    EXPECT_EQ(FileSystem::resolve(root + "/Docs/a.txt"), path("Docs/a.txt"));
    EXPECT_EQ(FileSystem::resolve(root + "/Docs/A.TXT"), path("Docs/A.txt"));

    // Spelt as written: separators unified and folded, nothing looked up.
    const std::pair<QString, QString> spellings[] = {
        {"/a/b", "/a/b"},
        {"\\a\\b\\", "/a/b"},
        {"a//b\\\\c", "a/b/c"},
        {"//a", "/a"},
        {"a/.b/c..", "a/.b/c.."},
        {"C:\\Docs", "C:/Docs"},
        {"a/./b", ""},
        {"a\\..", ""},
        {"..", ""},
        {"/", ""},
        {"\\\\", ""},
        {"", ""},
    };
    for (const auto& [written, spelt] : spellings)
        EXPECT_EQ(FileSystem::asSpelt(written), spelt) << written.toStdString();
}

TEST_F(FileSystemTest, FoldersAreCreatedOnceMovedAndWalked)
{
    EXPECT_EQ(errorOf([&] { fso.CreateFolder(path("Global\\_Global Information\\")); }),
              rt::PathNotFound);
    QDir().mkpath(path("Global"));
    fso.CreateFolder(path("global\\_Global Information\\"));
    EXPECT_EQ(entries("Global"), QStringList("_Global Information"));
    EXPECT_EQ(errorOf([&] { fso.CreateFolder(path("GLOBAL/_global information")); }),
              rt::FileAlreadyExists);

    write("Docs/Alpha/PX_TOC.xml", "x");
    QDir().mkpath(path("Docs/Beta"));
    Folder folder = fso.GetFolder(path("docs/alpha"));
    EXPECT_EQ(folder.Name(), "Alpha");
    folder.Move(dir.path() + "\\docs\\Alpha");
    EXPECT_EQ(entries("Docs"), QStringList({"Alpha", "Beta"}));
    folder.Move(path("Docs/ALPHA"));
    EXPECT_EQ(entries("Docs"), QStringList({"ALPHA", "Beta"}));
    EXPECT_EQ(errorOf([&] { folder.Move(path("Docs/beta")); }), rt::FileAlreadyExists);
    EXPECT_EQ(read("Docs/ALPHA/PX_TOC.xml"), "x");
    folder.Move(path("Docs/Gamma"));
    EXPECT_EQ(entries("Docs"), QStringList({"Beta", "Gamma"}));

    // Walks list by name without regard to case and notice a folder that is gone.
    for (const char* file : {"Top/b.htm", "Top/.hidden", "Top/A.HTM", "Top/sub2/x", "Top/Sub1/x"})
        write(file, "");
    const Folder top = fso.GetFolder(path("top"));
    QStringList files;
    for (const FileEntry& file : top.Files())
        files << file.Path;
    EXPECT_EQ(files, QStringList({path("Top/.hidden"), path("Top/A.HTM"), path("Top/b.htm")}));
    ASSERT_EQ(top.SubFolders().size(), 2);
    EXPECT_EQ(top.SubFolders().at(0).Name(), "Sub1");
    QDir(path("Top")).removeRecursively();
    EXPECT_EQ(errorOf([&] { top.Files(); }), rt::PathNotFound);
    EXPECT_EQ(errorOf([&] { top.SubFolders(); }), rt::PathNotFound);
}

TEST_F(FileSystemTest, WalksAndCopiesFollowNoLinkToAFolderAndEnd)
{
    write("Book/page.htm", "p");
    write("Book/Sub/deep.htm", "d");
    // Links back up the tree, to the folder itself and across to a sibling.
    ASSERT_TRUE(QFile::link(path("Book"), path("Book/Sub/up")));
    ASSERT_TRUE(QFile::link(path("Book/Sub"), path("Book/Sub/self")));
    ASSERT_TRUE(QFile::link(path("Book/Sub"), path("Book/across")));
    const Folder book = fso.GetFolder(path("Book"));
    ASSERT_EQ(book.SubFolders().size(), 1);
    EXPECT_EQ(book.Files().size(), 1);
    EXPECT_TRUE(fso.GetFolder(path("Book/Sub")).SubFolders().isEmpty());
    EXPECT_EQ(fso.removeLeftovers(path("Book")), 0);

    // Copied once, into a folder inside the source as well.
    fso.CopyFolder(path("Book"), path("Book/Copy"));
    EXPECT_EQ(entries("Book/Copy"), QStringList({"page.htm", "Sub"}));
    EXPECT_EQ(entries("Book/Copy/Sub"), QStringList("deep.htm"));
    EXPECT_EQ(read("Book/Copy/Sub/deep.htm"), "d");
}

TEST_F(FileSystemTest, ReadOnlyIsReportedAloneAndHonoured)
{
    const QString file = write("page.htm", "old");
    write("other.htm", "other");
    fso.SetAttributes(file, FileSystem::ReadOnly);
    EXPECT_EQ(fso.GetAttributes(file), FileSystem::ReadOnly);

    // Root ignores the permission bits; the layer refuses by itself.
    const auto denied = test::caught([&] { fso.WriteAllText(file, "new"); });
    ASSERT_TRUE(denied);
    EXPECT_EQ(denied->number(), rt::PermissionDenied);
    EXPECT_TRUE(denied->description().contains("page.htm"));
    EXPECT_EQ(errorOf([&] { fso.DeleteFile(file); }), rt::PermissionDenied);
    EXPECT_EQ(errorOf([&] { fso.CopyFile(path("other.htm"), file, true); }), rt::PermissionDenied);
    EXPECT_EQ(read("page.htm"), "old");

    fso.SetAttributes(file, FileSystem::Normal);
    EXPECT_EQ(fso.GetAttributes(file), FileSystem::Normal);
    fso.CopyFile(path("OTHER.htm"), path("PAGE.htm"), true);
    EXPECT_EQ(read("page.htm"), "other");
    EXPECT_EQ(errorOf([&] { fso.CopyFile(path("other.htm"), file, false); }),
              rt::FileAlreadyExists);
    EXPECT_EQ(errorOf([&] { fso.CopyFile(path("none.htm"), file, true); }), rt::FileNotFound);

    fso.SetAttributes(file, FileSystem::ReadOnly);
    fso.DeleteFile(file, true);
    EXPECT_FALSE(fso.FileExists(file));
    EXPECT_EQ(errorOf([&] { fso.DeleteFile(file); }), rt::FileNotFound);
}

TEST_F(FileSystemTest, TextFilesReadBackInTheirEncoding)
{
    const QString text = QStringLiteral("**Alpha** caf\u00e9 \u20ac \U0001F600\r\nline 2");
    fso.WriteAllText(path("page.htm"), text);
    EXPECT_TRUE(read("page.htm").startsWith(QByteArray("\xFF\xFE*\0*\0", 6)));
    EXPECT_EQ(fso.ReadAllText(path("PAGE.HTM")), text);

    EXPECT_EQ(decoded(QByteArray("\xFE\xFF\0a\x20\xAC", 6)), "a\u20ac");
    EXPECT_EQ(decoded("caf\xE9 \x80 \x93x\x94 \xC3"), "caf\u00e9 \u20ac \u201cx\u201d \u00c3");

    // UTF-16 without a mark is written back as it came; everything else as UTF-16LE with one.
    const QString page = QStringLiteral("<p>**Alpha** caf\u00e9 \u20ac</p>\r\n");
    QStringEncoder bigEndian(QStringEncoder::Utf16BE);
    const QList<QByteArray> forms = {textCodec::encodeUtf16le(page).sliced(2),
                                     QByteArray(bigEndian(page)), page.toUtf8(),
                                     page.toLatin1().replace("\xE9", "\xE9\x80")};
    for (const QByteArray& bytes : forms) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        textCodec::Encoding encoding;
        const QString text = fso.ReadAllText(write("u.htm", bytes), &encoding);
        EXPECT_TRUE(text.startsWith("<p>**Alpha** caf\u00e9"));
        fso.WriteAllText(path("u.htm"), text, encoding);
        const bool markLess = bytes.contains(char(0));
        EXPECT_EQ(read("u.htm"), markLess ? bytes : textCodec::encodeUtf16le(text));
    }

    const auto empty = test::caught([&] { decoded(""); });
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->number(), 62);
    EXPECT_TRUE(empty->description().startsWith("Input past end of file"));
    EXPECT_EQ(errorOf([&] { fso.ReadAllText(path("none.htm")); }), rt::FileNotFound);
}

TEST_F(FileSystemTest, InterruptedWriteKeepsTheOldFile)
{
    write("Docs/page.htm", "old");
    globalstab::testing::failNextRename();
    EXPECT_NE(errorOf([&] { fso.WriteAllText(path("Docs/page.htm"), "new"); }), 0);
    EXPECT_EQ(read("Docs/page.htm"), "old");
    EXPECT_EQ(entries("Docs"), QStringList("page.htm"));

    EXPECT_EQ(errorOf([&] { atomicWriteFile(path("Nowhere/page.htm"), "x"); }), rt::PathNotFound);
}
