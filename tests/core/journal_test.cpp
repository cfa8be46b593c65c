// The journal on its own: what an action leaves for recovery and undo.
#include "core/Action.h"
#include "core/DataRootLock.h"
#include "core/Journal.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

// A bit of everything the tab does to files: replace, create, delete, move, make writable.
void changeEverything(const SampleDataRoot& data)
{
    const FileSystem fso;
    atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<changed/>");
    fso.CreateFolder(data.docs() + "New Folder");
    atomicWriteFile(data.docs() + "New Folder/new.xml", "<new/>");
    fso.DeleteFile(data.path("Docs/PX_DefaultCategories.xml"));
    fso.SetAttributes(data.path("Docs/Vega Toolkit 3/PX_TOC.xml"), FileSystem::ReadOnly);
    fso.GetFolder(data.docs() + sampleProject()).Move(data.docs() + "Renamed");
    atomicWriteFile(data.docs() + "Renamed/PX_TOC.xml", "<toc/>");
}

} // namespace

TEST(Journal, AnEndedActionIsUndoneWholeUnlessAFileChangedSince)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    {
        JournalScope action(data.root(), "everything");
        changeEverything(data);
    }
    const auto after = snapshot(data.root());
    EXPECT_TRUE(journal::recover(data.root()).empty()); // it ended: nothing to put back

    // Another change to one of its files keeps the undo from running.
    atomicWriteFile(data.docs() + "New Folder/new.xml", "<later/>");
    const auto refused = caught([&] { journal::undoLast(data.root()); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->number(), rt::PermissionDenied);
    EXPECT_TRUE(refused->description().contains("new.xml"));
    atomicWriteFile(data.docs() + "New Folder/new.xml", "<new/>");
    EXPECT_TRUE(snapshot(data.root()) == after);

    const journal::Outcome undone = journal::undoLast(data.root());
    EXPECT_EQ(undone.actions, QStringList{"everything"});
    EXPECT_TRUE(snapshot(data.root()) == before);
    EXPECT_EQ(caught([&] { journal::undoLast(data.root()); })->number(), rt::FileNotFound);
}

// A save that a batch holds back keeps the file it replaces by a second link beside the log,
// not by a copy in it; a file that has another link of its own is copied. Undo puts both
// back, and the links go with their log.
TEST(Journal, BatchedSavesKeepWhatTheyReplaceByALinkUnlessTheFileHasOthers)
{
    SampleDataRoot data;
    const QString toc = data.path("Docs/" + sampleProject() + "/PX_TOC.xml");
    const QString selection = data.path("Docs/PX_Selection.xml");
    const QString ownLink = data.root() + "selection-link.xml";
    ASSERT_EQ(
        ::link(QFile::encodeName(selection).constData(), QFile::encodeName(ownLink).constData()),
        0);
    const QByteArray tocBefore = data.read("Docs/" + sampleProject() + "/PX_TOC.xml");
    const auto before = snapshot(data.root());
    {
        JournalScope action(data.root(), "batched");
        WriteBatch batch;
        atomicWriteFile(toc, "<toc/>");
        atomicWriteFile(selection, "<selection/>");
    }
    const QDir logs(journal::folder(data.root()));
    const QString log = logs.filePath(logs.entryList({"*.log"}).value(0));
    const QDir keptFolder(log + ".kept");
    const QStringList kept = keptFolder.entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    QFile link(keptFolder.filePath(kept.first()));
    ASSERT_TRUE(link.open(QIODevice::ReadOnly));
    EXPECT_EQ(link.readAll(), tocBefore);
    EXPECT_LT(QFileInfo(log).size(), tocBefore.size()); // the log holds no copy of it

    EXPECT_EQ(journal::undoLast(data.root()).actions, QStringList{"batched"});
    EXPECT_TRUE(snapshot(data.root()) == before);
    {
        JournalScope later(data.root(), "later"); // ends by pruning what was undone
        atomicWriteFile(data.docs() + "later.xml", "<later/>");
    }
    EXPECT_FALSE(QFileInfo::exists(log));
    EXPECT_FALSE(keptFolder.exists());
}

TEST(Journal, AnActionCutShortIsPutBackByRecoveryUnlessItIsStillRunning)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    struct Cut
    {
    };
    try {
        JournalScope action(data.root(), "cut short");
        changeEverything(data);
        throw Cut();
    } catch (const Cut&) {
    }
    // A leftover of a save that was killed goes too.
    data.write("Docs/.globalstab-k3x9.part", "half");

    // While another writer holds the data root, its actions are its own: hands off.
    {
        const DataRootLock writer(data.root(), 0);
        const auto refused = caught([&] { Action::recover(data.root(), 0); });
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->description().contains(DataRootLock::path(data.root())));
        EXPECT_TRUE(QFileInfo::exists(data.path("Docs/.globalstab-k3x9.part")));
    }

    const journal::Outcome outcome = journal::recover(data.root());
    EXPECT_EQ(outcome.actions, QStringList{"cut short"});
    EXPECT_TRUE(snapshot(data.root()) == before);
    EXPECT_TRUE(journal::recover(data.root()).empty());
}

// An action that reported an error and went on ended as the tab's rules end it: what it
// saved stays saved, and only undo puts it back.
TEST(Journal, AnActionThatReportedAnErrorStaysAsItEnded)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    {
        JournalScope action(data.root(), "failed");
        atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<half/>");
        action.markFailed();
    }
    const auto after = snapshot(data.root());
    EXPECT_TRUE(Action::recover(data.root()).empty());
    EXPECT_TRUE(snapshot(data.root()) == after);
    EXPECT_EQ(Action::undoLast(data.root()).actions, QStringList{"failed"});
    EXPECT_TRUE(snapshot(data.root()) == before);
}

// A large file's end state is hashed while the action goes on, from the bytes written: it
// must still be the state of the file as the action leaves it, also when something else
// wrote the file after the action did.
TEST(Journal, TheEndStateOfALargeFileIsTheFileAsTheActionLeftIt)
{
    SampleDataRoot data;
    const QString toc = data.path("Docs/" + sampleProject() + "/PX_TOC.xml");
    const QString selection = data.path("Docs/PX_Selection.xml");
    const QByteArray large(300 * 1024, 'x');
    const auto before = snapshot(data.root());
    {
        JournalScope action(data.root(), "large");
        atomicWriteFile(toc, "<a>" + large + "</a>");
        atomicWriteFile(selection, "<b>" + large + "</b>");
        // Written past the journal, as another program would.
        QFile other(selection);
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("<b>" + large + "y</b>");
    }
    const journal::Outcome undone = journal::undoLast(data.root());
    EXPECT_EQ(undone.actions, QStringList{"large"});
    EXPECT_TRUE(snapshot(data.root()) == before);

    // A rewrite in place of the same length that keeps the time of modification goes
    // unseen at the end; the undo then refuses the file instead of writing over it.
    const QByteArray rewritten = "<a>" + QByteArray(large).replace(0, 1, "z") + "</a>";
    {
        JournalScope action(data.root(), "unseen");
        atomicWriteFile(toc, "<a>" + large + "</a>");
        struct stat written;
        ASSERT_EQ(::stat(QFile::encodeName(toc).constData(), &written), 0);
        QFile other(toc);
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
        other.write(rewritten);
        other.close();
        const struct timespec times[2] = {written.st_atim, written.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(toc).constData(), times, 0), 0);
    }
    EXPECT_EQ(caught([&] { journal::undoLast(data.root()); })->number(), rt::PermissionDenied);
    QFile after(toc);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), rewritten);
}
