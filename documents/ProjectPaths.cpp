#include "control/ctlGlobalsTab.h"

namespace globalstab {

// Paths are plain concatenations with "\" separators; the file-system layer maps them.

QString ctlGlobalsTab::DocsFolder() const
{
    return globalVariables().gstrRootPath + QStringLiteral("Docs\\");
}

QString ctlGlobalsTab::ProjectFolder() const
{
    return DocsFolder() + globalVariables().gstrProjectName;
}

QString ctlGlobalsTab::GlobalFolder() const
{
    return ProjectFolder() + QStringLiteral("\\_Global Information\\");
}

QString ctlGlobalsTab::GlobalBookPath() const
{
    return GlobalFolder() + QStringLiteral("Book_Global.xml");
}

QString ctlGlobalsTab::SelectionListPath() const
{
    return DocsFolder() + QStringLiteral("PX_Selection.XML");
}

QString ctlGlobalsTab::TocPath() const
{
    return ProjectFolder() + QStringLiteral("\\") + QStringLiteral("PX_TOC.xml");
}

QString ctlGlobalsTab::BookCategoriesPath() const
{
    return ProjectFolder() + QStringLiteral("\\") + QStringLiteral("PX_BookCategories.xml");
}

} // namespace globalstab
