#pragma once

#include <QString>

namespace globalstab {

// Where a project's documents are. Paths are plain concatenations with "\" separators, the
// form hosts and services see; the file-system layer maps them onto the disk.
struct ProjectContext
{
    QString dataRoot; // ends with a separator
    QString projectName;
    qint32 installType = 0;

    QString docsFolder() const { return dataRoot + QStringLiteral("Docs\\"); }
    QString projectFolder() const { return docsFolder() + projectName; }
    QString globalFolder() const
    {
        return projectFolder() + QStringLiteral("\\_Global Information\\");
    }
    QString globalBookPath() const { return globalFolder() + QStringLiteral("Book_Global.xml"); }
    QString selectionListPath() const { return docsFolder() + QStringLiteral("PX_Selection.XML"); }
    QString defaultCategoriesPath() const
    {
        return docsFolder() + QStringLiteral("PX_DefaultCategories.xml");
    }
    QString tocPath() const
    {
        return projectFolder() + QStringLiteral("\\") + QStringLiteral("PX_TOC.xml");
    }
    QString bookCategoriesPath() const
    {
        return projectFolder() + QStringLiteral("\\") + QStringLiteral("PX_BookCategories.xml");
    }
    // A book document as the table of contents names it.
    QString bookPath(const QString& folder, const QString& file) const
    {
        return projectFolder() + QStringLiteral("\\") + folder + QStringLiteral("\\") + file;
    }

    ProjectContext withProject(const QString& name) const
    {
        ProjectContext other = *this;
        other.projectName = name;
        return other;
    }
};

} // namespace globalstab
