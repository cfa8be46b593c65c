#pragma once

#include <globalstab/globalstab_export.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What a host reads from a data root beside the tab, and the undo of its last change. Each
// function reads the documents, or undoes, through the same code as the tab, so a host sees
// what the tab sees. dataRoot is the folder that holds "Docs"; names of documents and folders
// below it are matched without regard to letter case, as the tab matches them.

namespace globalstab {

// The projects of Docs/PX_Selection.XML, in document order; nullopt when the selection list
// is missing or cannot be read.
GLOBALSTAB_EXPORT std::optional<QStringList> projectNames(const QString& dataRoot);

// One category of a project's category set and the books filed under it.
struct CategoryBooks
{
    QString name;
    QStringList bookAcros; // in the order of the set
    // Each book's name from the table of contents, or its acronym where the contents name
    // none; as long as bookAcros.
    QStringList bookNames;
};

// The categories of the project's PX_BookCategories.xml, in its order; nullopt when the set is
// missing or cannot be read. A missing or unreadable PX_TOC.xml only leaves the books unnamed.
GLOBALSTAB_EXPORT std::optional<QList<CategoryBooks>> projectCategories(const QString& dataRoot,
                                                                        const QString& project);

// The categories the tab's category panel lists for the project: those of its set without
// "Other Category"; empty when the set is missing.
GLOBALSTAB_EXPORT QStringList listedCategories(const QString& dataRoot, const QString& project,
                                               qint32 installType);

// Checks the project for drift between its documents (the selection list, the category set,
// the table of contents, the books, the global book, the pages) and answers one line per
// finding, for a person; empty when the project is consistent. Reads only.
GLOBALSTAB_EXPORT QStringList checkProject(const QString& dataRoot, const QString& project,
                                           qint32 installType);

// What an undo put back.
struct UndoOutcome
{
    QStringList actions; // the actions undone, named as their procedures are
    int files = 0;       // files and folders put back
};

// Puts back the last change made below the data root, by the tab or any other front end,
// under the same lock and journal as the change itself. Throws RuntimeError
// (<globalstab/RuntimeError.h>): rt::FileNotFound when there is nothing to undo; another
// number, its description saying why, when the change cannot be put back (a file of it was
// changed since, its journal cannot be trusted, another writer holds the data root).
GLOBALSTAB_EXPORT UndoOutcome undoLastChange(const QString& dataRoot);

// How many of the last changes of each data root are kept so that they can be undone; set for
// the whole process.
GLOBALSTAB_EXPORT int changesKeptForUndo();
GLOBALSTAB_EXPORT void setChangesKeptForUndo(int changes);

// The path of a file or folder below Docs as the tab finds it on disk, each existing part
// matched without regard to letter case: resolveDocsPath(root, "Orion/px_toc.XML") may answer
// "<root>/Docs/Orion/PX_TOC.xml". Parts that do not exist keep their spelling.
GLOBALSTAB_EXPORT QString resolveDocsPath(const QString& dataRoot, const QString& relative);

} // namespace globalstab
