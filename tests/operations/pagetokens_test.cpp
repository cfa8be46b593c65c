// Rewriting the product-name token in the page files below a folder.
#include "operations/PageTokens.h"
#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"
#include "tests/support/SaveFaults.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

namespace {

const QString Orion = sampleProject();
const QString Project = "Docs/" + Orion + "/";

// The sample project's pages given the token of "Nova 1" (or of project).
struct PageHarness
{
    void run(const QString& product = Orion, qint16 type = 0, const QString& folder = Project)
    {
        const Folder walked = FileSystem().GetFolder(data.root() + folder);
        rewritePageTokens(walked, {data.root(), product, project, type}, feedback);
    }
    // A rewritten page: UTF-16LE after a byte-order mark.
    QString page(const QString& relative) const
    {
        const QByteArray bytes = data.read(Project + relative);
        EXPECT_TRUE(bytes.startsWith("\xFF\xFE")) << relative.toStdString();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    }

    SampleDataRoot data;
    RecordingFeedback feedback;
    QString project = QStringLiteral("Nova 1");
};

} // namespace

TEST(PageFiles, EveryPageBelowTheFolderGetsTheNewTokenAndNothingElseChanges)
{
    PageHarness h;
    h.data.write(Project + "Twice.htm", "**Orion Suite 2024** and **Orion Suite 2024**, not "
                                        "**orion suite 2024**");
    h.data.write(Project + "Old.HTM.d/notes.txt", "see **Orion Suite 2024**");
    h.run();

    EXPECT_TRUE(h.feedback.messages.isEmpty());
    EXPECT_EQ(h.page("Twice.htm"), "**Nova 1** and **Nova 1**, not **orion suite 2024**");
    EXPECT_EQ(h.page("Old.HTM.d/notes.txt"), "see **Nova 1**");
    int pages = 0;
    for (QDirIterator it(h.data.docs() + Orion, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next().mid(h.data.root().size());
        QFile sample(samplesDir() + "/" + path);
        if (path.contains(".htm", Qt::CaseInsensitive)) {
            pages += h.page(path.mid(Project.size())).contains("**Nova 1**");
        } else if (sample.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(h.data.read(path), sample.readAll()) << path.toStdString();
        }
    }
    EXPECT_EQ(pages, 14); // the sample's twelve and the two above
}

TEST(PageFiles, AccentedLettersSurviveTwoRunsInEveryEncoding)
{
    PageHarness h;
    h.data.write(Project + "Utf8.htm", QStringLiteral("**Orion Suite 2024**: Größe").toUtf8());
    h.run();
    h.project = QStringLiteral("Nova 2");
    h.run(QStringLiteral("Nova 1"));

    EXPECT_TRUE(h.feedback.messages.isEmpty());
    const QString windows1252 = h.page("Installation Guide/Setup/Installing.htm");
    for (const char* kept : {"setup of **Nova 2** and", "française : sélectionnez « Français »",
                             "„Deutsch“ – Größe", "Café, naïve, coöperate, résumé — all"})
        EXPECT_TRUE(windows1252.contains(QString::fromUtf8(kept))) << kept;
    EXPECT_TRUE(h.page("User Manual/Getting_Started.htm")
                    .contains(QStringLiteral("**Nova 2** opens with the start page. Choose a "
                                             "project to begin.</p>\r\n<p>Tip: the café menu – "
                                             "“Recent Projects” – lists")));
    EXPECT_EQ(h.page("Utf8.htm"), QStringLiteral("**Nova 2**: Größe"));
}

TEST(PageFiles, ServerArchiveGoesOnlyWithTypeOneAndOnlyFromTheTopFolder)
{
    const QString top = Project + "PXOrion Suite 2024_server.zip";
    const QString nested = Project + "Admin Reference/PXOrion Suite 2024_Server.Zip";
    const QString other = Project + "PXVega Toolkit 3_Server.Zip";
    for (const int type : {0, 1, 2}) {
        PageHarness h;
        for (const QString& archive : {top, nested, other})
            h.data.write(archive, "zip");
        const bool readOnly = type == 2; // deleting it fails and ends the top folder's walk
        if (readOnly)
            FileSystem().SetAttributes(h.data.path(top), FileSystem::ReadOnly);
        const QByteArray page = h.data.read(Project + "Admin Reference/Users.htm");
        h.run(Orion, qint16(readOnly ? 1 : type));
        EXPECT_EQ(h.feedback.reports(), readOnly ? QStringList{"PXUpdateFiles"} : QStringList());
        EXPECT_EQ(QFile::exists(h.data.path(top)), type != 1);
        EXPECT_TRUE(QFile::exists(h.data.path(nested)) && QFile::exists(h.data.path(other)));
        EXPECT_EQ(h.data.read(Project + "Admin Reference/Users.htm") == page, readOnly);
    }
}

TEST(PageFiles, PagesThatCannotBeReadOrWrittenAreNeverEmptiedOrHalfWritten)
{
    PageHarness h;
    const QString locked = Project + "Admin Reference/Permissions.htm";
    const QByteArray lockedBytes = h.data.read(locked);
    FileSystem fso;
    // A plain read-only flag is cleared for the rewrite; with another flag the page stays.
    fso.SetAttributes(h.data.path(Project + "Admin Reference/Users.htm"), FileSystem::ReadOnly);
    fso.SetAttributes(h.data.path(locked), FileSystem::ReadOnly | FileSystem::Archive);
    h.data.write(Project + "z.htm", "");        // a top-folder file, met before any subfolder
    h.data.write(Project + "zz/Empty.htm", ""); // the last subfolder
    const QString link = h.data.docs() + Orion + "/Broken.htm";
    ASSERT_TRUE(QFile::link(h.data.docs() + "no such page.htm", link));

    h.run();

    EXPECT_EQ(h.feedback.reports(),
              QStringList({"strParseFile", "strParseFile", "EnterToFile", "strParseFile"}));
    EXPECT_TRUE(h.feedback.texts()[1].contains("z.htm"));
    EXPECT_TRUE(h.page("Admin Reference/Users.htm").contains("**Nova 1**"));
    EXPECT_EQ(h.data.read(locked), lockedBytes);
    EXPECT_EQ(h.data.read(Project + "z.htm") + h.data.read(Project + "zz/Empty.htm"), "");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(h.page("Release Notes/Whats_New.htm").contains("**Nova 1**"));

    // A folder outside the data root is refused before anything is read or written.
    QTemporaryDir outside;
    const QString foreign = outside.filePath("page.htm");
    {
        QFile page(foreign);
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("**Orion Suite 2024**");
    }
    h.feedback.clear();
    rewritePageTokens(FileSystem().GetFolder(outside.path()), {h.data.root(), Orion, "Nova 1", 0},
                      h.feedback);
    EXPECT_EQ(h.feedback.reports(), QStringList{"PXUpdateFiles"});
    EXPECT_TRUE(h.feedback.texts()[0].startsWith("Error (70 ):"));
    QFile page(foreign);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), "**Orion Suite 2024**");
}

TEST(PageFiles, LeftoversOfACrashedSaveAreNoPagesAndAreCleanedAlone)
{
    PageHarness h;
    // Every file below this folder has ".HTM" in its path, the leftover too.
    h.data.write(Project + "Old.HTM.d/notes.txt", "see **Orion Suite 2024**");
    const QString notes = h.data.path(Project + "Old.HTM.d/notes.txt");
    globalstab::testing::crashNextSave();
    ASSERT_TRUE(caught([&] { FileSystem().WriteAllText(notes, "**Orion Suite 2024** half"); }));
    const QStringList leftovers =
        QDir(QFileInfo(notes).path()).entryList({".globalstab-*"}, QDir::Files | QDir::Hidden);
    ASSERT_EQ(leftovers.size(), 1);
    const QString leftover = "Old.HTM.d/" + leftovers[0];
    const QByteArray crashed = h.data.read(Project + leftover);
    // Near misses of the temporary name are the user's files.
    const QStringList kept = {".globalstab-.part", "globalstab-x7f.part",
                              ".globalstab-x7f.part.htm", ".globalstab-X7F.part"};
    for (const QString& name : kept)
        h.data.write(Project + name, "**Orion Suite 2024**");

    h.run();
    EXPECT_TRUE(h.feedback.messages.isEmpty());
    EXPECT_EQ(h.data.read(Project + leftover), crashed);
    EXPECT_EQ(h.page("Old.HTM.d/notes.txt"), "see **Nova 1**");
    EXPECT_TRUE(h.page(".globalstab-x7f.part.htm").contains("**Nova 1**"));

    EXPECT_EQ(FileSystem().removeLeftovers(h.data.docs()), 1);
    EXPECT_FALSE(QFile::exists(h.data.path(Project + leftover)));
    for (const QString& name : kept)
        EXPECT_TRUE(QFile::exists(h.data.path(Project + name))) << name.toStdString();
    EXPECT_EQ(FileSystem().removeLeftovers(h.data.root()), 0);
}

TEST(PageFiles, UnicodePagesWithoutAMarkKeepTheirFormAndByteOrder)
{
    PageHarness h;
    const auto page = [](const QString& product) {
        return QStringLiteral("<p>**%1** caf\u00e9 \u20ac</p>\r\n").arg(product);
    };
    QStringEncoder bigEndian(QStringEncoder::Utf16BE);
    QStringEncoder littleEndian(QStringEncoder::Utf16LE);
    h.data.write(Project + "Le.htm", littleEndian(page(Orion)));
    h.data.write(Project + "Be.htm", bigEndian(page(Orion)));
    h.run();
    EXPECT_TRUE(h.feedback.messages.isEmpty());
    EXPECT_EQ(h.data.read(Project + "Le.htm"), QByteArray(littleEndian(page("Nova 1"))));
    EXPECT_EQ(h.data.read(Project + "Be.htm"), QByteArray(bigEndian(page("Nova 1"))));
}
