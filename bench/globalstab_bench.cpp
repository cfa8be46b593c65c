// Speed of the work that grows with a project: documents with many books, trees of pages.
// Run: build/bench/globalstab_bench (not part of the tests).
#include "control/ctlGlobalsTab.h"
#include "platform/XmlDocument.h"
#include "services/DefaultServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace globalstab;

namespace {

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
        XmlDocument toc;
        toc.load(path);
        const XmlNodeList books = toc.getElementsByTagName(QStringLiteral("Book"));
        for (int i = 0; i < books.length(); ++i)
            books.item(i).selectSingleNode(QStringLiteral("Book_Key")).setText(QStringLiteral("Q"));
        toc.save(path);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TocRewrite)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The page-token walk over a project of many pages in nested folders.
void BM_PXUpdateFiles(benchmark::State& state)
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
    resetGlobalVariables();
    installServiceProvider(std::make_shared<DefaultServiceProvider>(dir.path(), 0));
    ctlGlobalsTab tab;
    globalVariables().gstrRootPath = dir.path() + QLatin1Char('/');
    globalVariables().gstrProjectName = QStringLiteral("Bench 1");
    for (auto _ : state)
        tab.PXUpdateFiles(project, QStringLiteral("Bench 1"), 0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    installServiceProvider(nullptr);
}
BENCHMARK(BM_PXUpdateFiles)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
