#pragma once

// What the files of the file-system layer share. Internal to the library.

#include "platform/FileChangeObserver.h"
#include "platform/FileSystem.h"
#include "platform/HeldDocuments.h"
#include "platform/Paths.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace globalstab {

namespace fs {

// Past resolve() every path is native, with "/" alone separating.
using paths::native::fileName;
using paths::native::join;
using paths::native::parentOf;
using paths::native::withoutTrailingSeparator;

inline QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Raises the classic error number for path, with its classic text (FileSystem.cpp).
[[noreturn]] void fail(int number, const QString& path, const QString& detail = QString());
// Raises the classic error for a failed system call.
[[noreturn]] void failErrno(int error, const QString& path);
// lstat/stat without exceptions; false when the entry does not exist.
bool statPath(const QString& path, struct stat& info, bool followLinks = true);
bool isDirectory(const QString& path);
inline bool isReadOnlyMode(mode_t mode)
{
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
// A folder without write bits takes no new, renamed or removed entries, as for any user
// but root; the layer enforces it for root too.
void requireWritableFolder(const QString& folder, const QString& forPath);
void writeAll(int fd, const char* data, qsizetype size, const QString& path);

// Raises 70 when a boundary is set and nativePath resolves to a place outside it
// (WriteBoundary.cpp).
void requireInsideBoundary(const QString& nativePath);
WrittenFile writtenFileOf(const struct stat& info);

// Replaces target whole through a temporary file that fill writes; the target keeps its
// permission bits. The checks run before anything is written (AtomicWrite.cpp).
void replaceFile(const QString& resolvedTarget,
                 const std::function<void(int fd, const QString& target)>& fill);

} // namespace fs

struct WriteBatch::Private
{
    struct Waiting
    {
        QString tempName; // beside the target; the name alone keeps thousands of them small
        QString target;
        QString temp() const { return fs::join(fs::parentOf(target), tempName); }
        bool created = false; // the target did not exist before
    };
    std::vector<Waiting> waiting; // in the order first saved
    QHash<QString, size_t> index; // target -> position in waiting
    detail::WaitingPaths targets;
    // Paths found spelt as on disk during the action, until an entry is made, moved or removed.
    QHash<QString, QString> resolved;

    void hold(const QString& temp, const QString& target, bool created)
    {
        if (const auto found = index.constFind(target); found != index.cend()) {
            Waiting& earlier = waiting[*found];
            ::unlink(fs::encoded(earlier.temp()).constData());
            earlier.tempName = fs::fileName(temp);
            return;
        }
        index.insert(target, waiting.size());
        waiting.push_back({fs::fileName(temp), target, created});
        targets.add(target, created);
    }

    bool waits(const QString& native) const { return index.contains(native); }

    QString newFileSpelt(const QString& native) const { return targets.createdSpelt(native); }

    // True when a file waits below folder; only new files count unless all is set.
    bool waitsBelow(const QString& folder, bool all) const
    {
        return !waiting.empty() &&
               targets.below(fs::withoutTrailingSeparator(folder) + QLatin1Char('/'), all);
    }

    void clear()
    {
        waiting.clear();
        index.clear();
        targets.clear();
    }

    // Hidden: the class is exported for its scope, its insides are not.
    __attribute__((visibility("hidden"))) void commit();

    void drop(size_t from)
    {
        for (size_t i = from; i < waiting.size(); ++i)
            ::unlink(fs::encoded(waiting[i].temp()).constData());
        clear();
    }
};

namespace fs {

// What the calling thread holds back (WriteBatch.cpp): the saves of its write batch (the
// outermost scope's), and above them the documents of a DocumentCache. Null when none.
extern thread_local WriteBatch::Private* t_batch;
extern thread_local detail::HeldDocuments* t_held;

// Writes out what waits for native, the held documents and then the batch, before an
// operation looks at the file; settleBelow() before a walk of folder, for a new file waiting
// anywhere below it (any waiting file, when all is set).
void settle(const QString& native);
void settleBelow(const QString& folder, bool all);

} // namespace fs

} // namespace globalstab
