#pragma once

// A change of a document told in words ("category "Security" added") rather than in bytes.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace globalstab::cli {

// What a file holds, as far as telling its change needs: for the documents the tab writes,
// what each says (a category and its books, a book's key, a page's tokens and encoding).
struct Fact
{
    QString what;      // "category \"X\"", "book AR categories", ...
    QString value;     // in words
    QStringList items; // a list's entries, which a change is told by
    bool list = false;
};

struct FileFacts
{
    bool exists = false;
    qint64 size = -1;
    QByteArray hash;
    QList<Fact> said;
    QStringList order; // the category set's categories, in order
};

// Reads the file at native; relativePath (relative to the data root) tells what it is.
FileFacts factsOf(const QString& relativePath, const QString& native);

// What changed from before to after, in words; empty when nothing that is told changed.
QStringList changesBetween(const FileFacts& before, const FileFacts& after);

} // namespace globalstab::cli
