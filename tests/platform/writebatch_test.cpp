// The write batch: saves wait until the commit, and the layer sees them meanwhile.
#include "tests/platform/FileSystemFixture.h"
#include "tests/support/SaveFaults.h"

#include <gtest/gtest.h>

using namespace globalstab;
using globalstab::test::errorOf;
using globalstab::test::FileSystemTest;

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
