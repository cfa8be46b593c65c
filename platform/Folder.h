#pragma once

#include <globalstab/globalstab_export.h>

#include <QList>
#include <QString>

namespace globalstab {

// A file found in a folder walk.
struct FileEntry
{
    QString Path; // native path
    QString Name;
};

// A folder of the file system: its path, files and subfolders.
class GLOBALSTAB_EXPORT Folder
{
public:
    Folder() = default;
    explicit Folder(QString nativePath);

    bool isNull() const { return m_path.isEmpty(); }
    QString Path() const { return m_path; }
    QString Name() const;
    // Files and subfolders, sorted by name so that walks are repeatable.
    // Raises 76 when the folder is gone.
    QList<FileEntry> Files() const;
    QList<Folder> SubFolders() const;
    // Renames or moves the folder. Moving onto its own path succeeds and changes nothing;
    // a move that only changes letter case renames it; an existing destination raises 58.
    void Move(const QString& destination);

private:
    QString m_path;
};

} // namespace globalstab
