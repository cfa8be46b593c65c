#pragma once

#include "core/Feedback.h"
#include "documents/ProjectContext.h"

#include <QList>
#include <QString>

#include <optional>

namespace globalstab::check {

// A place where the documents of a project disagree, as it can drift over years of edits by
// the tab, by hand and by other tools.
struct Finding
{
    enum class Kind
    {
        CategoryUnused,        // files books in the set, but no book of the contents lists it
        CategoryUnknown,       // listed by a book of the contents, missing from the set
        BookCategoriesDiffer,  // the contents and the book's own document disagree
        BookDocumentMissing,   // a book of the contents has no document
        GlobalDocumentMissing, // a global page links a document that is not there
        SelectionEntryMissing, // the project has no entry in the selection list
        SelectionEntryTwice,   // the selection list names the project more than once
        ProjectFolderMissing,  // the selection list names a project without a folder
        ForeignToken,          // a page carries the name token of another project
        UncategorisedNotFiled, // a book without a category is not under "Other Category"
        DocumentUnreadable,    // a document of the project is missing or does not load
        BookKeyDiffers,        // a book's document names another project or folder
        ContentsKeyDiffers,    // the contents' key, platform or variation is another project's
        CategoryNotInContents, // files books in the set, named nowhere in the contents
    };
    Finding(Kind kind, const QString& file, const QString& element, const QString& text,
            int line = 0, const QString& problem = QString())
        : kind(kind), file(file), element(element), text(text), line(line), problem(problem)
    {
    }

    Kind kind;
    QString file;    // the file that holds the drift
    QString element; // where in it
    QString text;    // the name, acronym or token concerned
    int line = 0;    // DocumentUnreadable: the line where the parser stopped; 0 when none
    QString problem; // DocumentUnreadable: the parser's message, or why the file did not open
};

// One line for a person: what drifted, in which file and element. Paths below relativeTo
// are given relative to it.
QString describe(const Finding& finding, const QString& relativeTo = QString());
// A stable name of the kind for scripts: "category-unused", "document-unreadable", ...
QString kindName(Finding::Kind kind);

// Why a document did not load, for a person: the parser's message and the line it stopped
// at, or the reason the file could not be opened.
struct ReadProblem
{
    int line = 0; // from 1; 0 when the file could not be opened
    QString message;
};
// nullopt when the XML document at path loads.
std::optional<ReadProblem> readProblem(const QString& path);

// Checks one project against its selection list entry, its category set, its table of
// contents, its books, its global book and its pages. Reads only.
QList<Finding> run(const ProjectContext& project);

// Mends what the tab's own rules can mend, through the file-system backed services: pages
// with another project's token get this project's, categories the contents list join the
// set with their books, categories no book lists are removed across the documents, books
// without a category are filed under "Other Category", and, when the selection list names
// the project once, book keys and paths get the project's name as a rename writes them.
// Errors go to feedback. Returns what is left: what only the author can decide (a missing
// or unreadable document, books whose own categories disagree with the contents, a category
// the set files books under that the contents do not name, a platform or variation, a
// selection list to correct). Writes nothing while a document of the project cannot be read:
// what it holds would be guessed.
QList<Finding> repair(Feedback& feedback, const ProjectContext& project);

} // namespace globalstab::check
