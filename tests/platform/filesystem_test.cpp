#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "tests/support/CoreSupport.h"
#include "tests/support/SaveFaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using namespace globalstab;

namespace {

// The number of the run-time error that body raised; 0 when it raised none.
template <typename Body> int errorOf(Body&& body)
{
    const auto error = test::caught(body);
    return error ? error->number() : 0;
}

class FileSystemTest : public ::testing::Test
{
protected:
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    QString write(const QString& relative, const QByteArray& data) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        return path(relative);
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList entries(const QString& relative) const
    {
        return QDir(path(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString decoded(const QByteArray& data) const { return fso.ReadAllText(write("t.htm", data)); }

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

TEST(TextCodecTest, MarkElseValidUtf8ElseWindows1252)
{
    using namespace textCodec;
    const struct
    {
        QByteArray bytes;
        ByteOrderMark mark;
        Encoding encoding;
        QString text;
    } cases[] = {
        {QByteArray("\xFF\xFE"
                    "a\0\xAC\x20=\xD8\0\xDE",
                    10),
         ByteOrderMark::Utf16LE, Encoding::Utf16LEWithMark, QStringLiteral("a\u20ac\U0001F600")},
        {QByteArray("\xFE\xFF\0a\x20\xAC\xD8=\xDE\0", 10), ByteOrderMark::Utf16BE,
         Encoding::Utf16BEWithMark, QStringLiteral("a\u20ac\U0001F600")},
        // A lone last byte of UTF-16 text is dropped; a mark inside the text is kept.
        {QByteArray("\xFF\xFE\xFF\xFEz\0!", 7), ByteOrderMark::Utf16LE, Encoding::Utf16LEWithMark,
         QStringLiteral("\ufeffz")},
        {"\xEF\xBB\xBFna\xC3\xAFve", ByteOrderMark::Utf8, Encoding::Utf8WithMark,
         QStringLiteral("na\u00efve")},
        {"caf\xC3\xA9 \xE2\x82\xAC", ByteOrderMark::None, Encoding::Utf8,
         QStringLiteral("caf\u00e9 \u20ac")},
        // Invalid UTF-8: 0x80-0x9F take their Windows-1252 meanings, the five unassigned
        // bytes stay control characters, the rest is Latin-1.
        {"\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xE9\xFF", ByteOrderMark::None,
         Encoding::Windows1252,
         QStringLiteral(
             "\u20ac\u0081\u0160\u008d\u008f\u0090\u201c\u009d\u0178\u00a0\u00e9\u00ff")},
        // Text streams know no UTF-32: its mark is read as bytes.
        {QByteArray("\0\0\xFE\xFF", 4), ByteOrderMark::Utf32BE, Encoding::Windows1252,
         QString::fromUtf16(u"\0\0\u00fe\u00ff", 4)},
        // UTF-16 without a mark: every other byte zero, whatever a few letters beyond Latin-1.
        {QByteArray("<\0p\0>\0\xAC\x20<\0", 10), ByteOrderMark::None, Encoding::Utf16LE,
         QStringLiteral("<p>\u20ac<")},
        {QByteArray("\0<\0p\0>\x20\xAC\0<", 10), ByteOrderMark::None, Encoding::Utf16BE,
         QStringLiteral("<p>\u20ac<")},
        // Not when the length is odd, nor when zero bytes fall on both sides.
        {QByteArray("<\0p\0>", 5), ByteOrderMark::None, Encoding::Utf8,
         QString::fromUtf16(u"<\0p\0>", 5)},
        {QByteArray("<\0\0p>\0\0<", 8), ByteOrderMark::None, Encoding::Utf8,
         QString::fromUtf16(u"<\0\0p>\0\0<", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        EXPECT_EQ(byteOrderMark(c.bytes), c.mark);
        Encoding encoding = Encoding::Utf16LEWithMark;
        EXPECT_EQ(decodeText(c.bytes, &encoding), c.text);
        EXPECT_EQ(encoding, c.encoding);
    }

    for (const QString& text :
         {QString(), QStringLiteral("**Alpha** caf\u00e9 \u20ac \U0001F600\r\n\ufeff")})
        EXPECT_EQ(decodeText(encodeUtf16le(text)), text);
    EXPECT_EQ(encodeUtf16le(QStringLiteral("a\u20ac")), QByteArray("\xFF\xFE"
                                                                   "a\0\xAC\x20",
                                                                   6));
}

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

TEST_F(FileSystemTest, BatchedSavesWaitUntilCommitAndAreSeenByTheLayerMeanwhile)
{
    write("Docs/a.htm", "old a");
    {
        WriteBatch batch;
        fso.WriteAllText(path("Docs/a.htm"), "new a");
        fso.WriteAllText(path("Docs/a.htm"), "newer a"); // one file, one temporary
        atomicWriteFile(path("Docs/b.htm"), "b");
        EXPECT_EQ(read("Docs/a.htm"), "old a");
        EXPECT_EQ(batch.pending(), 2);
        // The layer answers as if the saves were made: a new file exists.
        EXPECT_TRUE(fso.FileExists(path("Docs/B.HTM")));
        // A read of a waiting file commits the batch first.
        EXPECT_EQ(fso.ReadAllText(path("Docs/a.htm")), "newer a");
        EXPECT_EQ(batch.pending(), 0);
        atomicWriteFile(path("Docs/c.htm"), "c");
        // A walk of the folder a new file waits in sees it.
        EXPECT_EQ(fso.GetFolder(path("Docs")).Files().size(), 3);
    }
    EXPECT_EQ(entries("Docs"), (QStringList{"a.htm", "b.htm", "c.htm"}));

    // Leaving by an exception drops what waits: every target as it was, no temporary left.
    try {
        WriteBatch batch;
        atomicWriteFile(path("Docs/b.htm"), "changed");
        atomicWriteFile(path("Docs/d.htm"), "d");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(read("Docs/b.htm"), "b");
    EXPECT_EQ(entries("Docs"), (QStringList{"a.htm", "b.htm", "c.htm"}));

    // A rename that fails at the commit keeps its target and drops the files after it.
    {
        WriteBatch batch;
        atomicWriteFile(path("Docs/b.htm"), "b2");
        atomicWriteFile(path("Docs/c.htm"), "c2");
        globalstab::testing::failNextRename();
        EXPECT_NE(errorOf([&] { batch.commit(); }), 0);
    }
    EXPECT_EQ(read("Docs/b.htm"), "b");
    EXPECT_EQ(read("Docs/c.htm"), "c");
    EXPECT_EQ(entries("Docs"), (QStringList{"a.htm", "b.htm", "c.htm"}));
}

// A walk commits the batch when a new file waits anywhere below the folder it lists, and
// only then: a replaced file lists as it is. Moving a folder commits whatever waits below it.
TEST_F(FileSystemTest, AWalkCommitsTheBatchOnlyForANewFileBelowIt)
{
    write("Docs/Book/Chapter/old.htm", "old");
    write("Docs/Other/x.htm", "x");
    WriteBatch batch;
    atomicWriteFile(path("Docs/Book/Chapter/old.htm"), "new");
    fso.GetFolder(path("Docs")).SubFolders();
    fso.GetFolder(path("Docs/Book/Chapter")).Files();
    EXPECT_EQ(batch.pending(), 1);

    atomicWriteFile(path("Docs/Book/Chapter/New.htm"), "n");
    EXPECT_EQ(FileSystem::resolve(path("docs/book/chapter/NEW.HTM")),
              path("Docs/Book/Chapter/New.htm"));
    fso.GetFolder(path("Docs/Other")).Files();
    EXPECT_EQ(batch.pending(), 2);
    fso.GetFolder(path("Docs")).SubFolders();
    EXPECT_EQ(batch.pending(), 0);
    EXPECT_EQ(read("Docs/Book/Chapter/old.htm"), "new");

    atomicWriteFile(path("Docs/Book/Chapter/old.htm"), "newer");
    fso.GetFolder(path("Docs")).SubFolders();
    EXPECT_EQ(batch.pending(), 1);
    fso.GetFolder(path("Docs/Book")).Move(path("Docs/Moved"));
    EXPECT_EQ(batch.pending(), 0);
    EXPECT_EQ(read("Docs/Moved/Chapter/old.htm"), "newer");
}
