#pragma once

#include "core/Feedback.h"
#include "core/FileChange.h"
#include "documents/ProjectContext.h"

#include <functional>
#include <memory>

namespace globalstab {

// New project information for the project named in project.projectName.
struct ProjectInfoChange
{
    ProjectContext project; // data root, the current (old) name, install type
    QString newName;
    QString id;
    QString rank;
};

// The carrying of new project information into the project folder, the selection list, the
// table of contents and every book document. Constructing it reads what it needs and writes
// nothing; apply() then writes in the order folder, selection list, each book, table of
// contents, so that a true result means every document carries the new name.
class ProjectRename
{
public:
    explicit ProjectRename(const ProjectInfoChange& change);
    ~ProjectRename();
    ProjectRename(const ProjectRename&) = delete;
    ProjectRename& operator=(const ProjectRename&) = delete;

    // The files and the folder the apply will change.
    Plan plan() const;
    // Messages and errors go to feedback: an unmovable folder (124), a missing selection
    // list (140) or table of contents (125), and errors of the selection list and the books
    // under their own procedure names. An error of the table of contents is raised.
    bool apply(Feedback& feedback) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// An accepted apply of new project information, as every front end makes it: the folder,
// the selection list, the books and the table of contents ("UpdatePXTocWithProdInfo"), then
// the name token in the pages below the renamed folder. documentsDone runs between the two,
// whatever the first gave. False when the documents were not renamed (already reported): the
// pages are then left alone. An error of the page walk is raised; a stop asked through the
// progress raises ActionCancelled.
bool renameProject(Feedback& feedback, const ProjectInfoChange& change,
                   const std::function<void()>& documentsDone = {});

// The platform and the variation a project name stands for: a numeric last word is the
// variation, and the platform is what stands before its first occurrence, blank included.
struct PlatformVariation
{
    QString platform;
    QString variation;
};
PlatformVariation splitProjectName(const QString& name);

// The plan of the whole rename as the tab makes it: the plan above, then each page whose
// name token the rewrite after the move replaces, named where it will be.
Plan planRenameWithPages(const ProjectInfoChange& change);

// What the checks of new project information decided, in the order the tab makes them.
struct ProjectInfoCheck
{
    enum class Field
    {
        None,
        Name,
        Id
    };
    bool accepted = false;
    Field focus = Field::None;      // the box a refusal concerns
    bool charactersRefused = false; // refused for characters, each already reported
    QString rank;                   // accepted: the rank to store ("500" after a message)
};

// Checks new project information as the tab does, showing each refusal through feedback:
// a blank name or ID, an ID with blanks, the name ".", refused characters in either, a name
// another project of the selection list bears, and a rank that is not 1 to 32000 (then 500,
// after a message). A rank beyond 32 bits raises overflow.
ProjectInfoCheck checkProjectInfo(Feedback& feedback, const ProjectContext& current,
                                  const QString& name, const QString& id, const QString& rankText);

// The rank as stored: the whole number's decimal text, or empty when it is not accepted
// (1 to 32000, no separators). A numeric text beyond 32 bits raises overflow.
QString acceptedRank(const QString& typed);

} // namespace globalstab
