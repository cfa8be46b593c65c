// Speed of the work that grows with a project: documents with many books, trees of pages.
// Run: build/bench/globalstab_bench (not part of the tests).
#include "core/Journal.h"
#include "documents/BookDocument.h"
#include "documents/CategorySet.h"
#include "documents/TableOfContents.h"
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <filesystem>

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

// A table of contents shaped as a large project has it: each book filed under three of
// 300 categories, one book in ten under none.
QByteArray categorisedContents(int books)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\r\n<PX_Master>\r\n  <PX><PX_Platform>P</PX_Platform>"
                     "<PX_Categories/></PX>\r\n  <PX_Books>\r\n";
    for (int i = 0; i < books; ++i) {
        xml += "    <Book>\r\n      <Book_Name>Book " + QByteArray::number(i) +
               "</Book_Name>\r\n      <Book_Acro>B" + QByteArray::number(i) +
               "</Book_Acro>\r\n      <Book_Folder>Book " + QByteArray::number(i) +
               "</Book_Folder>\r\n      <Book_File>B" + QByteArray::number(i) +
               "_Book.XML</Book_File>\r\n      <Book_Key>P</Book_Key>\r\n      <Book_Categories>";
        if (i % 10 != 9)
            for (int c = 0; c < 3; ++c)
                xml += "\r\n        <Book_Category>Category " +
                       QByteArray::number((i * 7 + c * 101) % 300) + "</Book_Category>";
        xml += "\r\n      </Book_Categories>\r\n    </Book>\r\n";
    }
    return xml + "  </PX_Books>\r\n</PX_Master>\r\n";
}

QStringList categoryNames()
{
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QStringLiteral("Category %1").arg(i);
    return names;
}

// The walks a category action makes over the table of contents of 3,000 books, each on a
// tree just read (the reading is not timed): the books of every category, as a refresh asks
// for them; the removal of one category; the books under none.
void BM_TocCategoryWalks(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PX_TOC.xml"));
    writeFile(path, categorisedContents(3000));
    const QStringList names = categoryNames();
    for (auto _ : state) {
        state.PauseTiming();
        TableOfContents toc;
        toc.load(path);
        state.ResumeTiming();
        switch (state.range(0)) {
        case 0:
            for (const QString& name : names)
                benchmark::DoNotOptimize(toc.categoryBooks(name));
            break;
        case 1:
            benchmark::DoNotOptimize(toc.removeCategory(QStringLiteral("Category 151")));
            break;
        default:
            benchmark::DoNotOptimize(toc.uncategorisedBookAcros());
            benchmark::DoNotOptimize(toc.booksWithoutCategory());
        }
    }
}
BENCHMARK(BM_TocCategoryWalks)
    ->ArgName("books-of-all/remove/uncategorised")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond);

// A category set written anew: 300 categories, each given its ten books.
void BM_CategorySetFill(benchmark::State& state)
{
    const QStringList names = categoryNames();
    QStringList acros;
    for (int i = 0; i < 10; ++i)
        acros << QStringLiteral("B%1").arg(i * 37);
    const QString path = QStringLiteral("PX_BookCategories.xml");
    for (auto _ : state) {
        CategorySet set;
        set.create({}, {});
        for (const QString& name : names) {
            set.add(name, path);
            set.setBooks(name, acros, path);
        }
        benchmark::DoNotOptimize(set);
    }
}
BENCHMARK(BM_CategorySetFill)->Unit(benchmark::kMillisecond);

// The question a category deletion asks of 3,000 book documents (half of them UTF-16, as
// the generated projects have them): which ones hold the category.
void BM_InspectBooks(benchmark::State& state)
{
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 3000; ++i) {
        const QString folder = dir.filePath(QStringLiteral("Book %1").arg(i));
        QDir().mkpath(folder);
        const QString text =
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"%1\"?>\r\n<Book_Master>\r\n  <Book>\r\n"
                "    <Book_Name>Book %2</Book_Name>\r\n    <Book_Acro>B%2</Book_Acro>\r\n"
                "    <BookSet_Categories>\r\n      <BookSet_Category>Category %3"
                "</BookSet_Category>\r\n      <BookSet_Category>Category %4"
                "</BookSet_Category>\r\n    </BookSet_Categories>\r\n  </Book>\r\n"
                "</Book_Master>\r\n")
                .arg(i % 2 ? QStringLiteral("UTF-16") : QStringLiteral("UTF-8"))
                .arg(i)
                .arg(i % 300)
                .arg((i * 7) % 300);
        QByteArray bytes;
        if (i % 2) {
            bytes = QByteArray("\xff\xfe", 2);
            bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        } else {
            bytes = text.toUtf8();
        }
        paths << folder + QStringLiteral("/B%1_Book.XML").arg(i);
        writeFile(paths.last(), bytes);
    }
    const access::NameInAnyCase name(QStringLiteral("Category 151"));
    for (auto _ : state)
        benchmark::DoNotOptimize(DocumentCache::inspect(paths, [&](const XmlDocument& book) {
            return BookDocument::holdsCategory(book, name);
        }));
    state.SetItemsProcessed(state.iterations() * paths.size());
}
BENCHMARK(BM_InspectBooks)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// The samples with 2,000 generated pages in the first project, made once for both rename
// benchmarks so that they measure the same project.
const QString RenamedProject = QStringLiteral("Orion Suite 2024");

const QString& generatedProject()
{
    static QTemporaryDir dir;
    static const QString root = [] {
        const QString path = dir.filePath(QStringLiteral("template"));
        std::filesystem::copy(GLOBALSTAB_SAMPLES, path.toStdString(),
                              std::filesystem::copy_options::recursive);
        for (int i = 0; i < 2000; ++i) {
            const QString folder = path + QStringLiteral("/Docs/%1/User Manual/Generated %2")
                                              .arg(RenamedProject)
                                              .arg(i / 100);
            QDir().mkpath(folder);
            writeFile(folder + QStringLiteral("/page%1.htm").arg(i),
                      "<html><body><h1>**" + RenamedProject.toUtf8() + "**</h1><p>Page " +
                          QByteArray::number(i) + "</p>" + QByteArray(2000, 'x') +
                          "</body></html>\r\n");
        }
        return path + QLatin1Char('/');
    }();
    return root;
}

ProjectInfoChange renameOf(const QString& root)
{
    return {{root, RenamedProject, 0},
            QStringLiteral("Nova 5"),
            QStringLiteral("NV"),
            QStringLiteral("10")};
}

// Computing what a project rename would change: the documents and every page, read only.
void BM_RenamePlan(benchmark::State& state)
{
    const QString root = generatedProject();
    const ProjectInfoChange change = renameOf(root);
    const Folder pages = FileSystem().GetFolder(change.project.projectFolder());
    for (auto _ : state) {
        Plan plan = ProjectRename(change).plan();
        plan += planPageTokens(pages, {root, RenamedProject, change.newName, 0});
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(BM_RenamePlan)->Unit(benchmark::kMillisecond);

// The rename itself, as the tab applies it: journalled, durable saves, on a fresh copy each
// time (the copy is not timed).
void BM_RenameApply(benchmark::State& state)
{
    const QString base = generatedProject();
    QTemporaryDir dir;
    SilentFeedback feedback;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString root = dir.filePath(QStringLiteral("run%1").arg(run++));
        std::filesystem::copy(base.toStdString(), root.toStdString(),
                              std::filesystem::copy_options::recursive);
        const ProjectInfoChange change = renameOf(root + QLatin1Char('/'));
        state.ResumeTiming();
        {
            const WriteBoundary boundary(root + QLatin1Char('/'));
            JournalScope action(root + QLatin1Char('/'),
                                QStringLiteral("CmdProjectNameApply_click"));
            if (ProjectRename(change).apply(feedback))
                rewritePageTokens(
                    FileSystem().GetFolder(change.project.docsFolder() + change.newName),
                    {root + QLatin1Char('/'), RenamedProject, change.newName, 0}, feedback);
        }
        state.PauseTiming();
        QDir(root).removeRecursively();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RenameApply)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
