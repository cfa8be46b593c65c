#pragma once

#include <QString>

namespace globalstab {

// The one writer of a data root, across threads, processes and machines: an exclusive record
// lock on "Docs/.globalstab/lock". Open-file-description locks (fcntl F_OFD_SETLK) conflict
// between two opens of one process too, and NFS and SMB mounts carry them between machines,
// where flock() and lock files made with O_EXCL are not safe. The lock goes with the process:
// a killed writer leaves nothing to clean up.
class DataRootLock
{
public:
    // Takes the lock, waiting up to waitMs for another writer to finish. Raises run-time error
    // 70 naming the lock file when another writer keeps it, or when the journal folder cannot
    // be written (a read-only data root or journal).
    DataRootLock(const QString& dataRoot, int waitMs);
    ~DataRootLock();
    DataRootLock(const DataRootLock&) = delete;
    DataRootLock& operator=(const DataRootLock&) = delete;

    // Tries once, without waiting: false when another writer holds the lock.
    static bool isFree(const QString& dataRoot);
    // The lock file of a data root.
    static QString path(const QString& dataRoot);

private:
    int m_fd = -1;
};

} // namespace globalstab
