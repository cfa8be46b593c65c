#include "api/ChangePreview.h"

#include "core/Preview.h"
#include "documents/SelectionList.h"
#include "operations/CategoryChanges.h"
#include "operations/ProjectRename.h"
#include "platform/FileSystem.h"
#include "services/DefaultServices.h"
#include "text/TextChecks.h"

#include <QDir>

namespace globalstab {

namespace {

// Keeps the first message an operation would show: the refusal a preview reports.
class FirstMessage : public Feedback
{
public:
    MessageAnswer show(const Message& message) override
    {
        if (text.isEmpty())
            text = message.text;
        return MessageAnswer::Ok;
    }
    QString text;
};

ChangePreview previewOf(const Plan& plan, const QString& refusal)
{
    ChangePreview preview;
    preview.refusal = refusal;
    if (!refusal.isEmpty())
        return preview;
    for (const FileChange& change : plan)
        preview.changes.append(
            {change.action, FileSystem::resolve(change.path),
             change.from.isEmpty() ? QString() : FileSystem::resolve(change.from), change.summary});
    return preview;
}

QString rootOf(const QString& dataRoot)
{
    return QDir(dataRoot).absolutePath() + QLatin1Char('/');
}

} // namespace

ChangePreview previewProjectRename(const QString& dataRoot, const QString& projectName,
                                   qint32 installType, const QString& newName)
{
    const ProjectContext current{rootOf(dataRoot), projectName, installType};
    FirstMessage feedback;
    Plan plan;
    trap(feedback, "CmdProjectNameApply_click", [&] {
        SelectionList selection;
        selection.load(current.selectionListPath());
        const QString id = selection.projectId(projectName);
        const ProjectInfoCheck checked =
            checkProjectInfo(feedback, current, newName, id, selection.projectRank(projectName));
        // An accepted rank may come with a message of its own ("500" stored): not a refusal.
        if (checked.accepted) {
            plan = planRenameWithPages({current, newName, id, checked.rank});
            feedback.text.clear();
        }
    });
    return previewOf(plan, feedback.text);
}

ChangePreview previewCategoryChange(const QString& dataRoot, const QString& projectName,
                                    qint32 installType, const QString& name,
                                    const std::optional<QString>& newName)
{
    const ProjectContext current{rootOf(dataRoot), projectName, installType};
    FirstMessage feedback;
    Plan plan;
    trap(feedback, newName ? "cmdApplyAddEditCate_Click" : "cmdCategoryDelete_Click", [&] {
        DefaultServiceProvider services(current.dataRoot, installType);
        const QStringList listed = categories::listedCategories(current);
        feedback.text = categories::refuseCategoryChange(&services, current, listed, name, newName);
        if (!feedback.text.isEmpty())
            return;
        const bool found = !notListed(name, listed);
        plan = previewChanges(current.dataRoot, [&](const QString& copy) {
            const ProjectContext at{copy, projectName, installType};
            DefaultServiceProvider onCopy(copy, installType);
            if (newName)
                categories::renameCategory(feedback, &onCopy, at, name, trimBlanks(*newName));
            else
                categories::deleteCategory(feedback, &onCopy, at, trimBlanks(name), found);
        });
    });
    return previewOf(plan, feedback.text);
}

} // namespace globalstab
