#include "control/ctlGlobalsTab.h"

namespace globalstab {

QString ctlGlobalsTab::strParseFile(const QString& strPath)
{
    QString result;
    Trap("strParseFile", [&] {
        FileSystem fso;
        result = fso.ReadAllText(strPath);
    });
    return result;
}

void ctlGlobalsTab::EnterToFile(const QString& strPath, const QString& strText)
{
    Trap("EnterToFile", [&] {
        FileSystem fso;
        // Only a plain read-only file is made writable; with archive, hidden or system set
        // as well it stays protected and the write below fails.
        if (fso.FileExists(strPath) && fso.GetAttributes(strPath) == FileSystem::ReadOnly)
            fso.SetAttributes(strPath, fso.GetAttributes(strPath) & ~FileSystem::ReadOnly);
        fso.WriteAllText(strPath, strText);
    });
}

} // namespace globalstab
