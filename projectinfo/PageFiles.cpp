#include "control/ctlGlobalsTab.h"

namespace globalstab {

namespace {
const QString TokenMark = QStringLiteral("**");

// The tab writes only below the data root, whatever folder a host hands in.
void requireBelowDataRoot(const Folder& folder)
{
    const QString root = globalVariables().gstrRootPath;
    if (root.isEmpty() || !FileSystem::IsWithin(folder.Path(), root))
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' is not below the data root '%2'")
                       .arg(folder.Path(), root));
}
} // namespace

// Files of a folder first, then each subfolder depth-first. Only the top call may delete
// the server archive: subfolders are always walked with type 0.
void ctlGlobalsTab::PXUpdateFiles(const Folder& objFolder, const QString& vstrProductName,
                                  qint16 vintType)
{
    Trap("PXUpdateFiles", [&] {
        requireBelowDataRoot(objFolder);
        const FileSystem fso;
        const QString oldToken = TokenMark + vstrProductName + TokenMark;
        const QString newToken = TokenMark + globalVariables().gstrProjectName + TokenMark;
        const QString archive =
            QStringLiteral("PX") + vstrProductName + QStringLiteral("_Server.Zip");
        for (const FileEntry& file : objFolder.Files()) {
            if (file.Path.contains(QStringLiteral(".HTM"), Qt::CaseInsensitive)) {
                QString text = strParseFile(file.Path);
                // A page that could not be read comes back empty (strParseFile has reported
                // it); writing that back would empty the page, so the page is skipped and
                // the walk goes on. A page that reads as empty has no token to rewrite.
                if (!text.isEmpty()) {
                    text.replace(oldToken, newToken, Qt::CaseSensitive);
                    EnterToFile(file.Path, text);
                }
            }
            if (vintType == 1 && file.Path.contains(archive, Qt::CaseInsensitive))
                fso.DeleteFile(file.Path, false);
        }
        for (const Folder& subFolder : objFolder.SubFolders())
            PXUpdateFiles(subFolder, vstrProductName, 0);
    });
}

// For hosts that hold a path rather than a folder object.
void ctlGlobalsTab::PXUpdateFiles(const QString& folderPath, const QString& vstrProductName,
                                  qint16 vintType)
{
    Trap("PXUpdateFiles", [&] {
        FileSystem fso;
        const Folder folder = fso.GetFolder(folderPath);
        PXUpdateFiles(folder, vstrProductName, vintType);
    });
}

} // namespace globalstab
