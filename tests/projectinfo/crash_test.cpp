// A rename of 2,000 pages killed at 50 points: after the next start's recovery every run
// ends all-old, or all-new when the kill came after the rename's last change.
#include "core/Journal.h"
#include "tests/support/CoreSupport.h"

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

    for (int point = 0; point < Points; ++point) {
        const int at = 1 + point * (changes - 1) / (Points - 1);
        const QString root = freshRoot(base.path(), QString("run%1").arg(point), templateRoot);
        QProcess killed;
        killed.start(child, {root + "/", Orion, "Nova 5", QString::number(at)});
        ASSERT_TRUE(killed.waitForFinished(300000));
        EXPECT_EQ(killed.exitStatus(), QProcess::CrashExit) << "killed at change " << at;
        journal::recover(root + "/");
        const bool old = snapshot(root, Orion) == before;
        EXPECT_TRUE(old) << "killed at change " << at << " of " << changes;
        QDir(root).removeRecursively();
    }
}
