#pragma once

#include "documents/ProjectContext.h"
#include "services/DeveloperServices.h"

#include <QString>

#include <optional>

namespace globalstab {

// Why a global page cannot be saved: the string id of the message, and whether the page
// name (rather than the linked document) is at fault.
struct PageRefusal
{
    int stringId = 0;
    bool nameAtFault = false;
};

// The checks of a page's name and linked document after its characters passed: a name that
// is blank, numeric or over 100 characters; a missing link, one of another type than XML,
// TXT, XLS, HTM, HTML, DOC or PDF (found anywhere in the upper-cased path), or the project's
// own "Book_Global.xml". nullopt when the page may be saved.
std::optional<PageRefusal> refusePage(const QString& name, const QString& source);

// Copies the linked document into the global folder, when it exists: web pages and XML
// documents through the copy service, which knows their companion files, others directly.
// A source that is gone is not an error: the page may name a document the author brings in
// later.
void copyLinkedDocument(const QString& source, const QString& globalFolder,
                        FileCopyService& copier);

// The global page panel's save, in its two steps. First the linked document is copied into
// the project's global folder and the global book created when it is missing; then the page
// is added (editedPage nullopt) or replaces editedPage. The second step answers the string id
// of the message the panel shows: 114 added, 145 not added, 115 edited, 142 not edited. The
// caller then lists the global book in the table of contents, whatever the answer.
struct PageServices
{
    GlobalBookService& book;
    FileCopyService& copier;
    BookEntryService& entries;
};
void prepareGlobalFolder(const PageServices& services, const ProjectContext& project,
                         const QString& source);
int saveGlobalPage(const PageServices& services, const ProjectContext& project,
                   const QString& escapedName, const QString& source,
                   const std::optional<QString>& editedPage);

} // namespace globalstab
