#pragma once

#include "documents/DocumentAccess.h"

#include <QStringList>

namespace globalstab {

// "PX_DefaultCategories.xml" of the data root: <DefaultCategories> holds <AllInstallTypes>
// and <InstallType value="N"> groups of <Category> names. Default categories cannot be
// renamed or deleted.
class DefaultCategories : public Document
{
public:
    // The names that apply to an install type, in document order, each once (trimmed,
    // compared without letter case). A missing file has none.
    static QStringList read(const QString& path, qint32 installType);
    QStringList names(qint32 installType) const;
    // The names of every group, whatever install type it is for.
    QStringList allNames() const;
};

} // namespace globalstab
