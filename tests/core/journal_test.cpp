// The journal on its own: what an action leaves for recovery and undo.
#include "core/Action.h"
#include "core/DataRootLock.h"
#include "core/Journal.h"
#include "core/JournalLog.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <optional>

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
        // A name with a tab and a line end stays one field of the log's first record.
        JournalScope action(data.root(), "batched\tsaves\n");
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

    EXPECT_EQ(journal::undoLast(data.root()).actions, QStringList{"batched\tsaves\n"});
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

namespace {

// An action cut short, as a crash leaves it: changes made, no end recorded.
template <typename Changes> void cutShort(const SampleDataRoot& data, Changes changes)
{
    struct Cut
    {
    };
    try {
        JournalScope action(data.root(), "cut short");
        changes();
        throw Cut();
    } catch (const Cut&) {
    }
}

QString firstLog(const SampleDataRoot& data)
{
    return journal::folder(data.root()) + "/00000001.log";
}

} // namespace

// A log is read as untrusted input: one that names a path outside the data root (climbing,
// absolute, or through a link inside it), that does not begin as a log, or whose records do
// not check, is set aside whole and reported; nothing of it is applied, nowhere.
TEST(Journal, LogsThatCannotBeTrustedAreSetAsideAndNothingOutsideTheRootIsWritten)
{
    SampleDataRoot data;
    QTemporaryDir outside;
    const QString victim = outside.path() + "/victim.xml";
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<precious/>");
    file.close();
    ASSERT_TRUE(QFile::link(outside.path(), data.path("Docs/escape")));
    const QString logs = journal::folder(data.root());
    ASSERT_TRUE(QDir().mkpath(logs));
    const QString climbing = QDir(data.root()).relativeFilePath(victim);
    for (const QString& path : {climbing, victim, QString("Docs/escape/victim.xml")}) {
        journal::detail::LogWriter log;
        log.create(logs, "planted");
        log.append("R", {journal::detail::encodedPath(path), "4"}, "evil");
        log.sync();
    }
    QFile garbage(logs + "/00000004.log");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("hello\tthere\t0\t0000000000000000\nR\tDocs/PX_Selection.xml\t4\tbad\n");
    garbage.close();

    const auto before = snapshot(data.root());
    const journal::Outcome outcome = Action::recover(data.root());
    EXPECT_TRUE(outcome.actions.isEmpty());
    EXPECT_EQ(outcome.setAside.size(), 4);
    EXPECT_TRUE(outcome.setAside.filter("not a path inside the data root").size() == 3);
    EXPECT_TRUE(Action::describeRecovery(outcome).contains("00000004.log.bad"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "<precious/>");
    EXPECT_TRUE(snapshot(data.root()) == before);
    EXPECT_TRUE(journal::detail::logsNewestFirst(logs).isEmpty());

    // A record flipped in the middle of a real log: none of it is put back, not even the
    // records before the flip.
    cutShort(data, [&] {
        atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<one/>");
        atomicWriteFile(data.path("Docs/PX_DefaultCategories.xml"), "<two/>");
    });
    const QStringList written = journal::detail::logsNewestFirst(logs);
    ASSERT_EQ(written.size(), 1);
    QFile flipped(written.first());
    ASSERT_TRUE(flipped.open(QIODevice::ReadWrite));
    QByteArray bytes = flipped.readAll();
    ASSERT_GT(bytes.size(), 100);
    const qsizetype middle = bytes.size() / 3; // in the bytes the first record keeps
    bytes[middle] = bytes[middle] ^ 0x20;
    flipped.seek(0);
    flipped.write(bytes);
    flipped.close();
    const journal::Outcome damaged = Action::recover(data.root());
    EXPECT_TRUE(damaged.actions.isEmpty());
    ASSERT_EQ(damaged.setAside.size(), 1);
    EXPECT_TRUE(damaged.setAside.first().contains("does not check"));
    EXPECT_EQ(data.read("Docs/PX_Selection.xml"), "<one/>");
}

// Paths in a log are relative to the data root: a root moved or restored elsewhere after a
// crash is put back where it is now, and its old place is not touched.
TEST(Journal, AMovedDataRootIsPutBackWhereItIsNow)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    cutShort(data, [&] { changeEverything(data); });
    const QString moved = QDir(data.root()).absolutePath() + "-moved";
    ASSERT_TRUE(QDir().rename(data.root(), moved));
    const journal::Outcome outcome = Action::recover(moved);
    EXPECT_EQ(outcome.actions, QStringList{"cut short"});
    EXPECT_TRUE(snapshot(moved) == before);
    EXPECT_FALSE(QFileInfo::exists(data.root()));
    ASSERT_TRUE(QDir().rename(moved, data.root()));
}

// Recovery never writes over a file someone changed after the action was cut off: that file
// is kept and named. A kept copy that no longer checks is not put back either.
TEST(Journal, RecoveryKeepsFilesChangedSinceAndDamagedCopies)
{
    for (const bool batched : {false, true}) {
        SCOPED_TRACE(batched ? "batched" : "at once");
        SampleDataRoot data;
        const QString selection = "Docs/PX_Selection.xml";
        const QString toc = "Docs/" + sampleProject() + "/PX_TOC.xml";
        const QByteArray selectionBefore = data.read(selection);
        cutShort(data, [&] {
            std::optional<WriteBatch> batch;
            if (batched)
                batch.emplace();
            atomicWriteFile(data.path(selection), "<one/>");
            atomicWriteFile(data.path(toc), "<two/>");
            if (batch)
                batch->commit();
        });
        atomicWriteFile(data.path(toc), "<edited by the user/>");
        const journal::Outcome outcome = Action::recover(data.root());
        EXPECT_EQ(outcome.actions, QStringList{"cut short"});
        EXPECT_EQ(outcome.kept, QStringList{toc});
        EXPECT_TRUE(Action::describeRecovery(outcome).contains("changed since"));
        EXPECT_EQ(data.read(selection), selectionBefore);
        EXPECT_EQ(data.read(toc), "<edited by the user/>");
    }

    SampleDataRoot data;
    const QString toc = "Docs/" + sampleProject() + "/PX_TOC.xml";
    cutShort(data, [&] {
        WriteBatch batch;
        atomicWriteFile(data.path(toc), "<new/>");
        batch.commit();
    });
    QFile kept(firstLog(data) + ".kept/1");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("<damaged/>");
    kept.close();
    const journal::Outcome outcome = Action::recover(data.root());
    EXPECT_EQ(outcome.kept, QStringList{toc + " (its kept copy is damaged)"});
    EXPECT_EQ(data.read(toc), "<new/>");
}

// One writer per data root: a second action waits briefly, then is refused before it reads
// or writes anything, naming the lock; it runs once the first has finished.
TEST(Journal, ASecondWriterOfADataRootIsRefusedBeforeItChangesAnything)
{
    SampleDataRoot data;
    const auto before = snapshot(data.root());
    {
        const DataRootLock first(data.root(), 0);
        const auto refused = caught([&] {
            Action second(data.root(), "second", {.waitMs = 50});
            atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<second/>");
        });
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->number(), rt::PermissionDenied);
        EXPECT_TRUE(refused->description().contains(DataRootLock::path(data.root())));
        EXPECT_TRUE(snapshot(data.root()) == before);
    }
    {
        Action second(data.root(), "second");
        atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<second/>");
    }
    EXPECT_EQ(data.read("Docs/PX_Selection.xml"), "<second/>");
}

// A document noted as skipped after the action's end leaves the action ended: nothing to put
// back, and the log is pruned like any other.
TEST(Journal, ANoteAfterTheEndKeepsTheActionEnded)
{
    SampleDataRoot data;
    journal::setKeep(0);
    {
        JournalScope action(data.root(), "noted");
        atomicWriteFile(data.path("Docs/PX_Selection.xml"), "<one/>");
        action.recordEnd();
        action.noteSkipped(data.path("Docs/PX_DefaultCategories.xml"), "unreadable");
    }
    journal::setKeep(5);
    EXPECT_FALSE(journal::interrupted(data.root()));
    EXPECT_TRUE(journal::detail::logsNewestFirst(journal::folder(data.root())).isEmpty());
}

// Logs of the first format, without checks and with absolute paths: an ended one is left to
// pruning without a word; one cut off is reported and set aside, never applied.
TEST(Journal, LogsOfTheFirstFormatAreNeverApplied)
{
    SampleDataRoot data;
    const QString logs = journal::folder(data.root());
    ASSERT_TRUE(QDir().mkpath(logs));
    const QByteArray victim = QFile::encodeName(data.path("Docs/PX_Selection.xml"));
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile log(logs + "/" + name);
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write(bytes);
    };
    write("00000001.log", "B\tdone\t0\nR\t" + victim + "\t3\t3\nold" + "E\t0\n");
    EXPECT_FALSE(journal::interrupted(data.root()));
    write("00000002.log", "B\tcut\t0\nR\t" + victim + "\t3\t3\nold");
    const QByteArray before = data.read("Docs/PX_Selection.xml");
    const journal::Outcome outcome = Action::recover(data.root());
    EXPECT_TRUE(outcome.actions.isEmpty());
    ASSERT_EQ(outcome.setAside.size(), 1);
    EXPECT_TRUE(outcome.setAside.first().startsWith("00000002.log.bad"));
    EXPECT_EQ(data.read("Docs/PX_Selection.xml"), before);
    EXPECT_TRUE(QFileInfo::exists(logs + "/00000001.log"));
}
