#pragma once

#include <QByteArray>
#include <QString>

namespace globalstab {

// What the file-system layer is about to do to the disk.
enum class DiskChange
{
    Replace,       // a file is written whole (created or replaced)
    Delete,        // a file is removed
    CreateFolder,  // a folder is made
    MoveFolder,    // a folder is renamed or moved to target
    SetAttributes, // a file's or folder's permission bits change
};

// A file as a replacement wrote it. While the file at its path is still this one (the same
// inode, length and time of last modification), nothing replaced or rewrote it since, short
// of a rewrite of the same length within one tick of the file system's clock.
struct WrittenFile
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1; // -1: no file
    qint64 modifiedNs = 0;
    bool operator==(const WrittenFile&) const = default;
};

// The file now at nativePath, as a WrittenFile; size -1 when there is none.
WrittenFile writtenFileAt(const QString& nativePath);

// Told, on the calling thread, before every change the file-system layer makes, with the
// native path (and the destination of a move). An observer may throw to stop the change:
// the change is then not made. A journal records here what it needs to undo a change.
class FileChangeObserver
{
public:
    virtual ~FileChangeObserver() = default;
    virtual void aboutToChange(DiskChange change, const QString& path, const QString& target) = 0;
    // The saves a WriteBatch holds back are about to replace their targets: whatever was
    // recorded for them must be durable now.
    virtual void aboutToCommit() {}
    // The bytes a replacement of path writes, and the file it wrote them to, told once they
    // are written and before the file replaces its target (at once, or at a WriteBatch's
    // commit): what an observer derives from them is ready before the change is made.
    virtual void written(const QString& /*path*/, const QByteArray& /*bytes*/,
                         const WrittenFile& /*file*/)
    {
    }
};

// Installs an observer for the calling thread while it lives. Observers nest; the innermost
// is told first.
class ObservedFileChanges
{
public:
    explicit ObservedFileChanges(FileChangeObserver& observer);
    ~ObservedFileChanges();
    ObservedFileChanges(const ObservedFileChanges&) = delete;
    ObservedFileChanges& operator=(const ObservedFileChanges&) = delete;

private:
    FileChangeObserver& m_observer;
    const ObservedFileChanges* m_outer;
    friend void notifyFileChange(DiskChange, const QString&, const QString&);
    friend void notifyCommit();
    friend void notifyWritten(const QString&, const QByteArray&, const WrittenFile&);
};

// Tells the observers of the calling thread; used by the file-system layer.
void notifyFileChange(DiskChange change, const QString& path, const QString& target = QString());
void notifyCommit();
void notifyWritten(const QString& path, const QByteArray& bytes, const WrittenFile& file);

} // namespace globalstab
