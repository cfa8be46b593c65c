#pragma once

#include <QString>

namespace globalstab::bench {

// What to generate: one project below Docs/ with its documents, book folders and pages.
struct DataShape
{
    QString projectName = QStringLiteral("Scale Project 1");
    int categories = 30; // besides the default ones
    int books = 300;
    int pages = 0; // spread over the books' folders
    unsigned seed = 1;
};

// Writes a data root shaped like the samples into root (created when missing): the selection
// list, the default categories, and the project with its table of contents, category set,
// book documents and pages. Each book is filed under a few categories, every 50th under none;
// pages are half UTF-16LE with a byte-order mark, a quarter UTF-8 and a quarter Windows-1252,
// all with CRLF line ends. The same shape and seed give the same bytes. False when a file
// could not be written.
bool generateDataRoot(const QString& root, const DataShape& shape);

// The name of generated category i (0-based), as it appears in the documents.
QString categoryName(int i);

} // namespace globalstab::bench
