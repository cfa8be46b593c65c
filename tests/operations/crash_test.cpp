// A rename of 2,000 pages killed at 50 points: after the next start's recovery every run
// ends all-old, but for a page the author edited after the kill, which keeps the edit.
#include "core/Action.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QMap>
#include <QProcess>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = sampleProject();
constexpr int Pages = 2000;
constexpr int Points = 50;

// A run's own data root: hard links to the template's files, which every save replaces
// rather than writes into.
QString freshRoot(const QString& base, const QString& name, const QString& templateRoot)
{
    const QString root = base + "/" + name;
    EXPECT_EQ(QProcess::execute("cp", {"-al", templateRoot, root}), 0);
    return root;
}

// A page below the renamed folder that already carries the new name, relative to the root;
// empty when the kill came before any.
QString renamedPage(const QString& root)
{
    const QString folder = root + "/Docs/Nova 5";
    for (QDirIterator it(folder, {"*.htm"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        if (FileSystem().ReadAllText(path).contains("**Nova 5**"))
            return QDir(root).relativeFilePath(path);
    }
    return QString();
}

QString temporaryBase()
{
    // A file system in memory keeps 50 runs of 2,000 durable saves quick.
    return QFileInfo("/dev/shm").isWritable() ? QString("/dev/shm") : QDir::tempPath();
}

} // namespace

TEST(Crash, ARenameKilledAnywhereEndsAllOldOrAllNew)
{
    QTemporaryDir base(temporaryBase() + "/globalstab-crash-XXXXXX");
    ASSERT_TRUE(base.isValid());
    const QString templateRoot = base.filePath("template");
    ASSERT_TRUE(copyTree(samplesDir(), templateRoot));
    for (int i = 0; i < Pages; ++i) {
        const QString folder =
            templateRoot + QString("/Docs/%1/User Manual/Generated %2").arg(Orion).arg(i / 100);
        QDir().mkpath(folder);
        QFile page(folder + QString("/page%1.htm").arg(i));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<html><body><h1>**" + Orion.toUtf8() + "**</h1><p>Page " +
                   QByteArray::number(i) + "</p></body></html>\r\n");
    }
    const QString child = QStringLiteral(RENAME_CHILD);

    const auto before = snapshot(templateRoot, Orion);
    const QString whole = freshRoot(base.path(), "whole", templateRoot);
    QProcess run;
    run.start(child, {whole + "/", Orion, "Nova 5", "0"});
    ASSERT_TRUE(run.waitForFinished(300000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const int changes = run.readAllStandardOutput().trimmed().toInt();
    ASSERT_GT(changes, Pages);
    const auto after = snapshot(whole, "Nova 5");
    ASSERT_FALSE(after == before);

    int edits = 0;
    for (int point = 0; point < Points; ++point) {
        const int at = 1 + point * (changes - 1) / (Points - 1);
        const QString root = freshRoot(base.path(), QString("run%1").arg(point), templateRoot);
        QProcess killed;
        killed.start(child, {root + "/", Orion, "Nova 5", QString::number(at)});
        ASSERT_TRUE(killed.waitForFinished(300000));
        EXPECT_EQ(killed.exitStatus(), QProcess::CrashExit) << "killed at change " << at;
        // Every fifth run, the author edits a page the rename had already put in place
        // before the next start: that edit must survive the recovery.
        const QString edited = point % 5 == 4 ? renamedPage(root) : QString();
        if (!edited.isEmpty()) {
            FileSystem().WriteAllText(root + "/" + edited, "edited after the crash");
            ++edits;
        }
        const journal::Outcome outcome = Action::recover(root + "/");
        auto expected = before;
        if (!edited.isEmpty()) {
            EXPECT_EQ(outcome.kept, QStringList{edited}) << "killed at change " << at;
            QString moved = edited;
            moved.replace("Docs/Nova 5/", "Docs/<project>/");
            QFile file(root + "/" + QString(edited).replace("Nova 5", Orion));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            expected[moved] =
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
            EXPECT_TRUE(FileSystem().ReadAllText(file.fileName()) == "edited after the crash");
        }
        const bool old = snapshot(root, Orion) == expected;
        EXPECT_TRUE(old) << "killed at change " << at << " of " << changes;
        QDir(root).removeRecursively();
    }
    EXPECT_GE(edits, 3);
}
