#pragma once

#include "core/Feedback.h"
#include "documents/ProjectContext.h"
#include "services/DeveloperServices.h"

#include <QStringList>

#include <optional>

// Category changes across the category set, the table of contents and the book documents.
// Each function that is a procedure of its own traps its errors and reports them under its
// name, so the caller carries on, as the tab always has.

namespace globalstab::categories {

// The names a refresh lists: the names already listed, then each name of the set that is not
// listed yet (in any letter case), leaving out "Other Category", which only collects the
// books without a category and is never offered for editing.
QStringList mergeNames(const QStringList& listed, const QStringList& fromSet);

// Why a category name typed for adding or renaming is refused, checked in the panel's order:
// for an add, the typed text itself already listed (5556); then, of the name without its
// outer blanks, blank (2004), longer than maxLength (2005), listed in any letter case (2003)
// or holding a markup character (2004). raisesEvent: the refusal still tells the host,
// which refreshes its tree.
struct NameRefusal
{
    int stringId = 0;
    bool raisesEvent = false;
};
std::optional<NameRefusal> refuseCategoryName(const QString& typed, const QStringList& listed,
                                              bool adding, int maxLength);

// The category set's paths and the install type the rebuild works with.
struct SetLocation
{
    QString docsFolder;
    QString setPath;
    QString tocPath;
    QString defaultsPath;
    qint32 installType = 0;
};

// Deletes the set and has the category service write it anew: the defaults first, then each
// listed name that is not a default, each with the books the table of contents files
// under it.
void rebuildSet(BookCategoryService& service, const SetLocation& where, const QStringList& names);

// "DelCateFromXml": removes the category from the set, gives its books to the service (which
// files them again where they belong) and removes it from the table of contents and books.
void removeFromSet(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                   const QString& setPath, const QString& name);
// "DelCateinPXTOC": removes the category from the table of contents, then from each book
// document kept as ".XML" (that spelling).
void removeFromToc(Feedback& feedback, const ProjectContext& project, const QString& tocPath,
                   const QString& name);
// "delCateinBookXML"
void removeFromBook(Feedback& feedback, const QString& bookPath, const QString& name);
// "EditBookCateinPXTOC": the table of contents is saved after each renamed entry.
void renameInToc(Feedback& feedback, const QString& tocPath, const QString& newName,
                 const QString& oldName);
// "GetBookAcroValue": files the books without a category under "Other Category".
void fileUncategorisedBooks(Feedback& feedback, ServiceProvider* services,
                            const ProjectContext& project, const QString& setPath);

// The categories the panel lists for the project: those of its set, without "Other
// Category"; none when the set is missing.
QStringList listedCategories(const ProjectContext& project);
// What the panel says instead of renaming name to newName, or of deleting name when newName
// is nullopt: a default category (its name, then 9027 or 9028), a blank name to delete
// (2006) or a refused new name. Empty when the change may go ahead.
QString refuseCategoryChange(ServiceProvider* services, const ProjectContext& project,
                             const QStringList& listed, const QString& name,
                             const std::optional<QString>& newName);

// The category panel's OK once its checks passed, for the panel and every other front end:
// name added to the set at setPath, or, with oldName, the category renamed in the set
// through the category service given, then in the table of contents at tocPath. Nothing when the
// set is missing.
void applyCategoryChange(Feedback& feedback, BookCategoryService& service, const QString& setPath,
                         const QString& tocPath, const QString& name,
                         const std::optional<QString>& oldName);

// The category panel's rename and delete as operations of their own, for a front end without
// the panel (the command line, a preview): the rename goes into the set through the category
// service, then into the table of contents; the delete removes a listed category across the
// documents, then files the books left without a category under "Other Category".
void renameCategory(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                    const QString& oldName, const QString& newName);
void deleteCategory(Feedback& feedback, ServiceProvider* services, const ProjectContext& project,
                    const QString& name, bool listed);

// Swaps the category (by its escaped name) with its neighbour and saves the set. A name
// holding markup characters does not match its stored text, so such a category stays where
// it is; a set that cannot be read stays as it is, unreported.
void moveCategory(const QString& setPath, const QString& escapedName, bool up);

} // namespace globalstab::categories
