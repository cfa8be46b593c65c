// globalstab-gendata: writes a generated data root for trying the tab or the CLI at scale.
#include "bench/DataGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace globalstab::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a data root shaped like the samples, with one generated project."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("root"), QStringLiteral("Folder to write into."));
    const DataShape defaults;
    const QCommandLineOption project(QStringLiteral("project"), QStringLiteral("Project name."),
                                     QStringLiteral("name"), defaults.projectName);
    const QCommandLineOption categories(QStringLiteral("categories"),
                                        QStringLiteral("Categories besides the defaults."),
                                        QStringLiteral("n"), QString::number(defaults.categories));
    const QCommandLineOption books(QStringLiteral("books"), QStringLiteral("Books."),
                                   QStringLiteral("n"), QString::number(defaults.books));
    const QCommandLineOption pages(QStringLiteral("pages"), QStringLiteral("Pages."),
                                   QStringLiteral("n"), QString::number(defaults.pages));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("n"), QString::number(defaults.seed));
    parser.addOptions({project, categories, books, pages, seed});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    DataShape shape;
    shape.projectName = parser.value(project);
    shape.categories = parser.value(categories).toInt();
    shape.books = parser.value(books).toInt();
    shape.pages = parser.value(pages).toInt();
    shape.seed = parser.value(seed).toUInt();
    if (shape.categories < 0 || shape.books < 0 || shape.pages < 0 ||
        shape.projectName.trimmed().isEmpty()) {
        std::fprintf(stderr, "globalstab-gendata: counts cannot be negative\n");
        return 2;
    }
    const QString root = parser.positionalArguments().first();
    if (!generateDataRoot(root, shape)) {
        std::fprintf(stderr, "globalstab-gendata: could not write %s\n", qPrintable(root));
        return 1;
    }
    std::printf("Wrote %s: %d categories, %d books, %d pages of \"%s\".\n", qPrintable(root),
                shape.categories, shape.books, shape.pages, qPrintable(shape.projectName));
    return 0;
}
