#pragma once

#include "core/Feedback.h"
#include "core/FileChange.h"
#include "documents/ProjectContext.h"

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

// The platform and the variation a project name stands for: a numeric last word is the
// variation, and the platform is what stands before its first occurrence, blank included.
struct PlatformVariation
{
    QString platform;
    QString variation;
};
PlatformVariation splitProjectName(const QString& name);

// The rank as stored: the whole number's decimal text, or empty when it is not accepted
// (1 to 32000, no separators). A numeric text beyond 32 bits raises overflow.
QString acceptedRank(const QString& typed);

} // namespace globalstab
