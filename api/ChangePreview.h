#pragma once

#include <globalstab/FileChange.h>
#include <globalstab/globalstab_export.h>

#include <QList>
#include <QString>

#include <optional>

namespace globalstab {

// What an operation of the tab would change, computed before it is made: nothing is
// written. When the tab would refuse the operation, refusal holds its message and changes
// is empty. The plans are computed with the default services on the data root, as the tab
// runs them without a provider of the host's own.
struct ChangePreview
{
    QString refusal;
    // Native paths, found as the file system spells them.
    QList<FileChange> changes;
};

// Renaming the project to newName, its id and rank kept, as the project panel applies it:
// the folder, the selection list, the table of contents, each book and each page file.
GLOBALSTAB_EXPORT ChangePreview previewProjectRename(const QString& dataRoot,
                                                     const QString& projectName, qint32 installType,
                                                     const QString& newName);
// Renaming the category `name` to newName, or deleting it when newName is nullopt, as the
// category panel does: the category set, the table of contents and the books.
GLOBALSTAB_EXPORT ChangePreview previewCategoryChange(const QString& dataRoot,
                                                      const QString& projectName,
                                                      qint32 installType, const QString& name,
                                                      const std::optional<QString>& newName);

} // namespace globalstab
