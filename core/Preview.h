#pragma once

#include "core/FileChange.h"

#include <QString>

#include <functional>

namespace globalstab {

// The plan of any operation, computed by running it on a copy of the data root's Docs folder
// and noting every change the file-system layer makes there: the files and folders it
// would create, replace, move or delete, with their sizes before and after. The data root
// itself is only read. operation gets the copy's root (ending with "/") to work on.
Plan previewChanges(const QString& dataRoot,
                    const std::function<void(const QString& copyRoot)>& operation);

} // namespace globalstab
