// Speed of the work that grows with a project: documents with many books, trees of pages.
// Run: build/bench/globalstab_bench (not part of the tests).
#include "documents/TableOfContents.h"
#include "platform/FileSystem.h"
#include "projectinfo/PageTokens.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace globalstab;

namespace {

// Errors would be reported; a benchmark has none to show.
class SilentFeedback : public Feedback
{
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

QByteArray tableOfContents(int books)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<PX_Master><PX><PX_Platform>P</PX_Platform>"
                     "<PX_Variation/><PX_ID/><PX_Categories/></PX><PX_Books>";
    for (int i = 0; i < books; ++i)
        xml += "<Book><Book_Name>Book " + QByteArray::number(i) + "</Book_Name><Book_Acro>B" +
               QByteArray::number(i) +
               "</Book_Acro><Book_Folder>F</Book_Folder><Book_File>b.XML</Book_File>"
               "<Book_Key>P</Book_Key><Book_Categories><Book_Category>C</Book_Category>"
               "</Book_Categories></Book>";
    return xml + "</PX_Books></PX_Master>";
}

// Load, change every book key and save: what a rename does to the table of contents.
void BM_TocRewrite(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PX_TOC.xml"));
    writeFile(path, tableOfContents(int(state.range(0))));
    for (auto _ : state) {
        TableOfContents toc;
        toc.load(path);
        toc.setBookKeys(QStringLiteral("Q"), [](const QString&, const QString&) {});
        toc.save(path);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TocRewrite)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The page-token walk over a project of many pages in nested folders.
void BM_PageTokens(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("Docs/Bench 1"));
    const QByteArray page = "<html><body><h1>**Bench 1**</h1>" + QByteArray(4000, 'x') +
                            "<p>**Bench 1**</p></body></html>";
    for (int i = 0; i < state.range(0); ++i) {
        const QString folder = project + QStringLiteral("/Book%1/Pages").arg(i % 20);
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/page%1.htm").arg(i), page);
    }
    SilentFeedback feedback;
    const PageTokenChange change{dir.path() + QLatin1Char('/'), QStringLiteral("Bench 1"),
                                 QStringLiteral("Bench 1"), 0};
    const Folder folder = FileSystem().GetFolder(project);
    for (auto _ : state)
        rewritePageTokens(folder, change, feedback);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PageTokens)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
