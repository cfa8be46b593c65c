#include "platform/Progress.h"
#include "tests/platform/XmlFixture.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <sys/stat.h>

using namespace globalstab;
using namespace globalstab::test;

TEST_F(XmlTest, CachedDocumentsShareOneTreeAndAreWrittenOnceAtTheEnd)
{
    atomicWriteFile(file, abc);
    const QString other = dir.filePath("new.xml");
    {
        DocumentCache cache;
        XmlDocument first;
        ASSERT_TRUE(first.load(file));
        first.documentElement().appendChild(first.createElement("Cat"));
        first.save(file);
        XmlDocument second;
        ASSERT_TRUE(second.load(file));
        EXPECT_EQ(second.selectNodes("/Set/Cat").length(), 4); // the saved tree, not the disk
        EXPECT_EQ(read(), abc);

        // A new document waits too; deleting it before the end drops it.
        XmlDocument created;
        created.appendChild(created.createElement("New"));
        created.save(other);
        EXPECT_TRUE(FileSystem().FileExists(other));
        FileSystem().DeleteFile(other);
        EXPECT_FALSE(FileSystem().FileExists(other));

        // A read past the tree writes the waiting save first.
        EXPECT_EQ(FileSystem().ReadAllText(file).count("<Cat"), 4);
        // A read-only target is refused at the save, as without the cache.
        second.save(file);
        FileSystem().SetAttributes(file, FileSystem::ReadOnly);
        EXPECT_EQ(errorOf([&] { second.save(file); }), rt::PermissionDenied);
        FileSystem().SetAttributes(file, FileSystem::Normal);
    }
    EXPECT_FALSE(QFile::exists(other));

    XmlDocument after;
    ASSERT_TRUE(after.load(file));
    EXPECT_EQ(after.selectNodes("/Set/Cat").length(), 4);

    // A deletion waits too: the file is gone for the layer, and a save after it replaces the
    // file instead of creating it anew; a deletion alone is made at the end.
    const QString kept = dir.filePath("kept.xml");
    const QString gone = dir.filePath("gone.xml");
    atomicWriteFile(kept, abc);
    atomicWriteFile(gone, abc);
    {
        DocumentCache cache;
        FileSystem().DeleteFile(kept);
        FileSystem().DeleteFile(gone);
        EXPECT_FALSE(FileSystem().FileExists(kept));
        EXPECT_TRUE(QFile::exists(kept));
        XmlDocument missing;
        EXPECT_FALSE(missing.load(kept));
        EXPECT_EQ(errorOf([&] { FileSystem().DeleteFile(kept); }), rt::FileNotFound);
        XmlDocument anew;
        anew.appendChild(anew.createElement("New"));
        anew.save(kept);
        EXPECT_TRUE(FileSystem().FileExists(kept));
    }
    EXPECT_FALSE(QFile::exists(gone));
    EXPECT_TRUE(FileSystem().ReadAllText(kept).contains("<New"));
}

// The layer writes the waiting saves out before it walks a folder a new file waits in, at any
// depth, and finds a new file by any spelling; once a save is dropped it is found no more,
// and walks leave the other waiting saves where they are.
TEST_F(XmlTest, AWaitingNewDocumentIsSeenFromEveryFolderAboveItUntilDropped)
{
    atomicWriteFile(file, abc);
    QDir(dir.path()).mkpath("Sub/Deep");
    const QString created = dir.filePath("Sub/Deep/New.xml");
    const QString asTyped = dir.path() + "\\sub\\deep\\new.Xml";
    const auto saveNew = [](const QString& path) {
        XmlDocument doc;
        doc.appendChild(doc.createElement("New"));
        doc.save(path);
    };
    DocumentCache cache;
    XmlDocument changed;
    ASSERT_TRUE(changed.load(file));
    changed.documentElement().appendChild(changed.createElement("Cat"));
    changed.save(file);

    saveNew(created);
    EXPECT_EQ(FileSystem::resolve(asTyped), created);
    saveNew(asTyped); // the same file
    FileSystem().DeleteFile(asTyped);
    EXPECT_TRUE(FileSystem::resolve(asTyped).endsWith("/Sub/Deep/new.Xml"));
    EXPECT_FALSE(FileSystem().FileExists(asTyped));

    // Nothing new waits: the walks write nothing out.
    EXPECT_EQ(FileSystem().GetFolder(dir.path()).SubFolders().size(), 1);
    EXPECT_TRUE(FileSystem().GetFolder(dir.filePath("Sub/Deep")).Files().isEmpty());
    EXPECT_EQ(read(), abc);

    saveNew(created);
    // A walk of a folder far above the new file writes out every waiting save.
    EXPECT_EQ(FileSystem().GetFolder(dir.path()).SubFolders().size(), 1);
    EXPECT_NE(read(), abc);
    EXPECT_EQ(FileSystem().GetFolder(dir.filePath("Sub/Deep")).Files().size(), 1);
}

// An action that saves thousands of documents one after another keeps only the trees someone
// still holds: the others wait in the write batch as files, the targets untouched until the
// commit, and a later load of one reads what was saved.
TEST_F(XmlTest, SavedTreesNobodyHoldsWaitInTheBatchInsteadOfInMemory)
{
    constexpr int Count = 700;
    const auto pathOf = [&](int i) { return dir.filePath(QStringLiteral("b%1.xml").arg(i)); };
    for (int i = 0; i < Count; i += 2)
        atomicWriteFile(pathOf(i), "<Book><N>old</N></Book>");
    {
        WriteBatch batch;
        DocumentCache cache;
        XmlDocument kept; // held to the end: its later change must not be lost
        ASSERT_TRUE(kept.load(pathOf(0)));
        kept.documentElement().firstChildElement("N").setText("first");
        kept.save(pathOf(0));
        for (int i = 1; i < Count; ++i) {
            XmlDocument doc;
            if (i % 2 == 0) {
                ASSERT_TRUE(doc.load(pathOf(i)));
                doc.documentElement().firstChildElement("N").setText(QString::number(i));
            } else {
                doc.appendChild(doc.createElement("Book")).setText(QString::number(i));
            }
            doc.save(pathOf(i));
        }
        EXPECT_GT(batch.pending(), 0);
        QFile target(pathOf(2));
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        EXPECT_EQ(target.readAll(), "<Book><N>old</N></Book>");
        EXPECT_FALSE(QFile::exists(pathOf(3)));
        // A tree someone holds stays the one every load shares.
        XmlDocument shared;
        ASSERT_TRUE(shared.load(pathOf(0)));
        kept.documentElement().firstChildElement("N").setText("last");
        EXPECT_EQ(shared.documentElement().text(), "last");
        kept.save(pathOf(0));

        // Loaded again, a document written early is the one saved, and may change again.
        XmlDocument again;
        ASSERT_TRUE(again.load(pathOf(4)));
        EXPECT_EQ(again.documentElement().text(), "4");
        again.documentElement().firstChildElement("N").setText("changed");
        again.save(pathOf(4));
    }
    for (int i = 0; i < Count; ++i) {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(pathOf(i)));
        const QString expected = i == 0 ? "last" : i == 4 ? "changed" : QString::number(i);
        EXPECT_EQ(doc.documentElement().text(), expected) << i;
    }
    EXPECT_EQ(QDir(dir.path()).entryList({".globalstab-*"}, QDir::Files | QDir::Hidden).size(), 0);
}

// The documents an action saved are printed together at its end: each file gets the text of
// its own tree as it stood at the end, a tree saved under two names once for each.
TEST_F(XmlTest, EveryDocumentAnActionSavedIsWrittenWithItsLastText)
{
    QStringList paths;
    {
        WriteBatch batch;
        DocumentCache cache;
        for (int i = 0; i < 40; ++i) {
            paths << dir.filePath(QStringLiteral("doc%1.xml").arg(i));
            XmlDocument doc;
            doc.appendChild(doc.createElement("Doc")).setText(QString::number(i));
            doc.save(paths.last());
            if (i % 10 == 3) {
                doc.documentElement().setText(QStringLiteral("last %1").arg(i));
                doc.save(paths.last() + ".copy");
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        const QString text = i % 10 == 3 ? QStringLiteral("last %1").arg(i) : QString::number(i);
        XmlDocument doc;
        ASSERT_TRUE(doc.load(paths[i]));
        EXPECT_EQ(doc.text(), text);
        XmlDocument copy;
        EXPECT_EQ(copy.load(paths[i] + ".copy"), i % 10 == 3);
        if (i % 10 == 3) {
            EXPECT_EQ(copy.text(), text);
        }
    }
}

// A document an action saves but leaves as it was read is not written again: the file keeps
// its inode, and with it its links and times; one that changed, even to the same length, is.
TEST_F(XmlTest, AnActionRewritesOnlyTheDocumentsItChanged)
{
    const auto inode = [](const QString& path) {
        struct stat info;
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    };
    const QString same = dir.filePath("same.xml");
    const QString changed = dir.filePath("changed.xml");
    const QString created = dir.filePath("created.xml");
    const QString back = dir.filePath("back.xml");
    atomicWriteFile(back, "<Book>\n    <N>one</N>\n</Book>\n");
    atomicWriteFile(same, "<Book>\n    <N>one</N>\n</Book>\n");
    atomicWriteFile(changed, "<Book>\n    <N>one</N>\n</Book>\n");
    const auto before = std::make_pair(inode(same), inode(changed));
    {
        WriteBatch batch;
        DocumentCache cache;
        for (const QString& path : {same, changed}) {
            XmlDocument doc;
            ASSERT_TRUE(doc.load(path));
            doc.documentElement().firstChildElement("N").setText(path == same ? "one" : "two");
            doc.save(path);
        }
        XmlDocument fresh;
        ASSERT_TRUE(fresh.load(same));
        fresh.save(created);
        // Written out as changed, then changed back: the version that waits must not win.
        XmlDocument twice;
        ASSERT_TRUE(twice.load(back));
        twice.documentElement().firstChildElement("N").setText("two");
        twice.save(back);
        cache.writeOut();
        twice.documentElement().firstChildElement("N").setText("one");
        twice.save(back);
    }
    EXPECT_TRUE(FileSystem().ReadAllText(back).contains("<N>one</N>"));
    EXPECT_EQ(inode(same), before.first);
    EXPECT_NE(inode(changed), before.second);
    EXPECT_TRUE(FileSystem().ReadAllText(changed).contains("<N>two</N>"));
    EXPECT_EQ(FileSystem().ReadAllText(created), FileSystem().ReadAllText(same));
}

// Saves written out at the end of a long action report their progress, and a stop there
// must leave the cache able to drop what it holds: the action is put back from the disk.
TEST_F(XmlTest, AStopWhileSavesAreWrittenOutLeavesTheCacheAbleToDropThem)
{
    const QStringList paths{dir.filePath("a.xml"), dir.filePath("b.xml"), dir.filePath("c.xml")};
    for (const QString& path : paths)
        atomicWriteFile(path, "<Book>old</Book>");
    DocumentCache cache;
    for (const QString& path : paths) {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        doc.documentElement().setText("new");
        doc.save(path);
    }
    QList<int> reported;
    {
        const ObservedProgress progress([&](int done, int) {
            reported << done;
            return done == 1;
        });
        EXPECT_THROW(cache.writeOut(), ActionCancelled);
    }
    EXPECT_EQ(reported, (QList<int>{0, 1}));
    DocumentCache::discardActive();
    XmlDocument last;
    ASSERT_TRUE(last.load(paths[2]));
    EXPECT_EQ(last.documentElement().text(), "old");
}

// A large document an action read and left alone is not parsed again by the next action
// while its bytes stay the same: the tree comes back with what was derived from it.
TEST_F(XmlTest, ALargeTreeIsTakenAgainOnlyWhileTheFileHoldsTheBytesItWasParsedFrom)
{
    QByteArray large = "<Set>";
    for (int i = 0; i < 4000; ++i)
        large += "<Cat><N>Category " + QByteArray::number(i).rightJustified(5, '0') + "</N></Cat>";
    large += "</Set>";
    ASSERT_GT(large.size(), 64 * 1024);
    atomicWriteFile(file, large);
    constexpr int Key = 7;
    const auto action = [&](const std::function<void(XmlDocument&)>& body) {
        DocumentCache cache;
        XmlDocument doc;
        ASSERT_TRUE(doc.load(file));
        body(doc);
    };
    const auto keep = [&](XmlDocument& doc) { doc.keepDerived(Key, std::make_shared<int>(1)); };
    const auto reused = [&] {
        bool taken = false;
        action([&](XmlDocument& doc) { taken = doc.derived(Key) != nullptr; });
        return taken;
    };

    action(keep);
    EXPECT_TRUE(reused());
    EXPECT_TRUE(reused()); // given back unchanged, kept again
    DocumentCache::dropKeptTrees();
    EXPECT_FALSE(reused());

    // The same length, another byte: parsed anew, and the tree shows the disk.
    action(keep);
    QByteArray edited = large;
    edited.replace("Category 00007", "Category 0000X");
    ASSERT_EQ(edited.size(), large.size());
    atomicWriteFile(file, edited);
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectNodes("/Set/Cat[N='Category 0000X']").length(), 1);
        keep(doc);
    });

    // A tree an action changed is not kept, saved or not.
    action([&](XmlDocument& doc) { doc.selectSingleNode("/Set/Cat/N").setText("Unsaved"); });
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.selectSingleNode("/Set/Cat/N").text(), "Category 00000");
    });
    action([&](XmlDocument& doc) {
        doc.selectSingleNode("/Set/Cat/N").setText("Changed");
        doc.save(file);
    });
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectSingleNode("/Set/Cat/N").text(), "Changed");
        keep(doc);
    });

    // Nor one that outlives its action in other hands: a later action's change must not
    // reach it.
    XmlDocument holder;
    {
        DocumentCache cache;
        ASSERT_TRUE(holder.load(file));
    }
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        doc.selectSingleNode("/Set/Cat/N").setText("Again");
        doc.save(file);
    });
    EXPECT_EQ(holder.selectSingleNode("/Set/Cat/N").text(), "Changed");

    // A file gone is not found through a tree kept for it.
    action(keep);
    QFile::remove(file);
    DocumentCache cache;
    XmlDocument missing;
    EXPECT_FALSE(missing.load(file));
}

// A refresh deletes the category set and writes it anew; when it comes out as it was, the
// file is left alone and the tree read at the start stays the parse of it.
TEST_F(XmlTest, AFileDeletedAndWrittenAgainAsItWasKeepsTheTreeFirstReadFromIt)
{
    QByteArray large = "<Set>";
    for (int i = 0; i < 4000; ++i)
        large += "<Cat><N>Category " + QByteArray::number(i).rightJustified(5, '0') + "</N></Cat>";
    large += "</Set>";
    const QString copy = dir.filePath("copy.xml");
    constexpr int Key = 7;
    const auto rebuild = [&](const QByteArray& as) {
        atomicWriteFile(copy, as);
        DocumentCache cache;
        XmlDocument first;
        ASSERT_TRUE(first.load(file));
        first.keepDerived(Key, std::make_shared<int>(1));
        XmlDocument rebuilt;
        ASSERT_TRUE(rebuilt.load(copy));
        rebuilt.adoptFormat(first);
        FileSystem().DeleteFile(file);
        rebuilt.save(file);
    };
    const auto next = [&](const std::function<void(XmlDocument&)>& check) {
        DocumentCache cache;
        XmlDocument doc;
        ASSERT_TRUE(doc.load(file));
        check(doc);
    };

    atomicWriteFile(file, large);
    rebuild(large);
    EXPECT_EQ(read(), large);
    next([&](XmlDocument& doc) { EXPECT_NE(doc.derived(Key), nullptr); });

    // Written otherwise, the file is parsed anew.
    QByteArray other = large;
    other.replace("Category 00007", "Category 0000X");
    rebuild(other);
    next([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectNodes("/Set/Cat[N='Category 0000X']").length(), 1);
    });
    DocumentCache::dropKeptTrees();
}

// An inspection on several threads may answer only for a file whose disk bytes are what a
// load would see: one the action saved, or whose save waits, is left to the load, as is one
// that cannot be read, parsed or found as spelt, or whose test raises.
TEST_F(XmlTest, InspectionsAnswerOnlyForFilesTheDiskHoldsAsALoadWouldSeeThem)
{
    QStringList paths;
    for (int i = 0; i < 300; ++i) {
        // A few stand in a folder of their own, below the one the others share.
        paths << dir.filePath(
            QString::fromLatin1(i % 100 == 42 ? "sub/book%1.xml" : "book%1.xml").arg(i));
        QDir().mkpath(QFileInfo(paths.last()).path());
        atomicWriteFile(paths.last(), "<Book><N>" + QByteArray::number(i) + "</N></Book>");
    }
    atomicWriteFile(paths[150], "<Book><N>");
    atomicWriteFile(paths[151], "<Book/>");
    WriteBatch batch;
    DocumentCache cache;
    XmlDocument saved; // saved earlier in the action: the disk is behind
    ASSERT_TRUE(saved.load(paths[7]));
    saved.documentElement().firstChildElement("N").setText("8");
    saved.save(paths[7]);
    atomicWriteFile(paths[9], "<Book><N>10</N></Book>"); // waits in the batch
    const QStringList odd{dir.filePath("missing.xml"), dir.filePath("BOOK3.XML"),
                          dir.filePath("sub/../book4.xml"),
                          QString(paths[5]).replace(QLatin1Char('/'), QLatin1Char('\\'))};
    const auto found = DocumentCache::inspect(paths + odd, [](const XmlDocument& doc) {
        return doc.documentElement().firstChildElement("N").text().toInt() % 2 == 0;
    });
    ASSERT_EQ(found.size(), size_t(paths.size() + odd.size()));
    using Inspected = DocumentCache::Inspected;
    for (int i = 0; i < 300; ++i) {
        const bool left = i == 7 || i == 9 || i == 150 || i == 151;
        EXPECT_EQ(found[size_t(i)],
                  left ? Inspected::Left : (i % 2 ? Inspected::No : Inspected::Yes))
            << i;
    }
    EXPECT_EQ(found[300], Inspected::Left);
    EXPECT_EQ(found[301], Inspected::Left);
    EXPECT_EQ(found[302], Inspected::Left);
    EXPECT_EQ(found[303], Inspected::No); // "\\" separates as "/" does
    XmlDocument again;
    ASSERT_TRUE(again.load(paths[7]));
    EXPECT_EQ(again.documentElement().text(), "8");
}
