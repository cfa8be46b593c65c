#include "platform/FileSystem.h"

#include "platform/FileChanges.h"
#include "platform/HeldDocuments.h"
#include "platform/Paths.h"
#include "platform/Progress.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The classic file-system object on a POSIX file system.
//
// Paths: "\" and "/" both separate and runs of separators count as one. Each component is
// taken as written when an entry of exactly that name exists, else the first entry (in
// ordinal name order) that matches it without regard to letter case. From the first
// component that matches nothing on, the rest is kept as written, so a file created anew
// gets the name as the caller spelt it. A trailing separator is kept.
//
// Attributes:
//  - ReadOnly  = none of S_IWUSR, S_IWGRP, S_IWOTH. Setting it clears all three; clearing
//                it on a read-only entry gives back S_IWUSR. As root ignores permission
//                bits, every write, rename over and non-forced delete below checks the bits
//                itself first and fails with 70. A read-only folder takes no new,
//                renamed or removed entries, as for any user but root.
//  - Hidden    = the name starts with "."; reported, never set.
//  - System    = never reported, setting it is ignored.
//  - Directory = a folder.
//  - Archive   = S_ISVTX on a regular file (Linux gives it no meaning there); set and
//                cleared by SetAttributes.
//
// Text files are written as UTF-16LE with a byte-order mark, except that a text read as
// UTF-16 without one may be written back so. Reading goes by byte-order mark (UTF-16LE,
// UTF-16BE, UTF-8), else UTF-16 without a mark when every other byte is zero, else UTF-8
// when the bytes are valid UTF-8, else Windows-1252, the default code page of the tool's
// original platform.
//
// Files() and SubFolders() list entries sorted by name ignoring case (ties in ordinal
// order), the order the original platform lists a folder in. Symbolic links to folders are
// not followed by the walk.

namespace globalstab {

namespace {

constexpr int DiskFull = 61;
constexpr int InputPastEndOfFile = 62;

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString classicText(int number)
{
    switch (number) {
    case rt::FileNotFound:
        return QStringLiteral("File not found");
    case rt::FileAlreadyExists:
        return QStringLiteral("File already exists");
    case DiskFull:
        return QStringLiteral("Disk full");
    case InputPastEndOfFile:
        return QStringLiteral("Input past end of file");
    case rt::PermissionDenied:
        return QStringLiteral("Permission denied");
    case rt::PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Path/File access error");
    }
}

[[noreturn]] void fail(int number, const QString& path, const QString& detail = QString())
{
    QString description = QStringLiteral("%1: '%2'").arg(classicText(number), path);
    if (!detail.isEmpty())
        description += QStringLiteral(" (%1)").arg(detail);
    raiseError(number, description);
}

// Raises the classic error for a failed system call.
[[noreturn]] void failErrno(int error, const QString& path)
{
    int number = rt::PathFileAccessError;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        number = rt::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
        number = rt::PermissionDenied;
        break;
    case EEXIST:
    case ENOTEMPTY:
        number = rt::FileAlreadyExists;
        break;
    case ENOSPC:
    case EDQUOT:
        number = DiskFull;
        break;
    default:
        break;
    }
    fail(number, path, QString::fromLocal8Bit(std::strerror(error)));
}

// lstat/stat without exceptions; false when the entry does not exist.
bool statPath(const QString& path, struct stat& info, bool followLinks = true)
{
    const QByteArray name = encoded(path);
    return (followLinks ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) == 0;
}

bool isDirectory(const QString& path)
{
    struct stat info;
    return statPath(path, info) && S_ISDIR(info.st_mode);
}

bool isReadOnlyMode(mode_t mode)
{
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// Past resolve() every path is native, with "/" alone separating.
using paths::native::fileName;
using paths::native::join;
using paths::native::parentOf;
using paths::native::withoutTrailingSeparator;

thread_local const WriteBoundary* t_boundary = nullptr;

// The path as the system takes it: absolute, "." and ".." applied and every symbolic link
// followed, for as far as the path exists; what does not exist is taken as written. Empty
// when the links loop.
QString realTarget(const QString& path)
{
    QString absolute = path;
    if (!absolute.startsWith(QLatin1Char('/')))
        absolute = join(QDir::currentPath(), absolute);
    QStringList pending = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    std::reverse(pending.begin(), pending.end()); // the next part last
    QString resolved = QStringLiteral("/");
    int links = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeLast();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            resolved = parentOf(resolved);
            continue;
        }
        const QString next = join(resolved, part);
        struct stat info;
        if (!statPath(next, info, false) || !S_ISLNK(info.st_mode)) {
            resolved = next;
            continue;
        }
        char target[PATH_MAX];
        const ssize_t size = ::readlink(encoded(next).constData(), target, sizeof target);
        if (size < 0 || size == ssize_t(sizeof target) || ++links > 40)
            return QString();
        const QString link = QFile::decodeName(QByteArray(target, size));
        if (link.startsWith(QLatin1Char('/')))
            resolved = QStringLiteral("/");
        QStringList parts = link.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        std::reverse(parts.begin(), parts.end());
        pending += parts;
    }
    return resolved;
}

// Raises 70 when a boundary is set and nativePath resolves to a place outside it.
void requireInsideBoundary(const QString& nativePath)
{
    if (t_boundary && !t_boundary->allows(nativePath))
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' is outside the data root '%2'")
                       .arg(nativePath, t_boundary->root()));
}

struct DirEntry
{
    QString name;
    bool folder = false; // a real folder, not a link to one
    bool link = true;    // a link, or of a type the listing did not tell
};

// The entries of a folder; false when it cannot be listed (errno tells why).
bool listFolder(const QString& path, QList<DirEntry>& entries)
{
    DIR* dir = ::opendir(encoded(path).constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        // The entry's type comes with the listing on most file systems; a look-up per entry
        // made every listing of a big folder cost as many calls as it has entries.
        bool folder = entry->d_type == DT_DIR;
        bool link = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info;
            const bool found = statPath(join(path, name), info, false);
            folder = found && S_ISDIR(info.st_mode);
            link = !found || S_ISLNK(info.st_mode);
        }
        entries.append({name, folder, link});
    }
    ::closedir(dir);
    return true;
}

QList<DirEntry> sortedEntries(const QString& folderPath)
{
    QList<DirEntry> entries;
    if (!isDirectory(folderPath) || !listFolder(folderPath, entries))
        fail(rt::PathNotFound, folderPath);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
    return entries;
}

// The entry of folder that name stands for: itself when it exists, else the first entry in
// ordinal order equal to it ignoring case, else empty.
QString matchEntry(const QString& folder, const QString& name)
{
    struct stat info;
    if (statPath(join(folder, name), info, false))
        return name;
    QList<DirEntry> entries;
    if (!listFolder(folder.isEmpty() ? QStringLiteral(".") : folder, entries))
        return QString();
    QString best;
    for (const DirEntry& entry : entries)
        if (entry.name.compare(name, Qt::CaseInsensitive) == 0 &&
            (best.isEmpty() || entry.name < best))
            best = entry.name;
    return best;
}

void writeAll(int fd, const char* data, qsizetype size, const QString& path)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failErrno(errno, path);
        }
        data += written;
        size -= written;
    }
}

// A folder without write bits takes no new, renamed or removed entries, as for any user
// but root; the layer enforces it for root too.
void requireWritableFolder(const QString& folder, const QString& forPath)
{
    struct stat info;
    if (statPath(folder, info) && S_ISDIR(info.st_mode) && isReadOnlyMode(info.st_mode))
        fail(rt::PermissionDenied, forPath, QStringLiteral("its folder is read-only"));
}

// Temporary files are named apart from the target: a leftover of a crashed save must not
// look like a page or a document to a walk that goes by what a name contains.
const QLatin1StringView LeftoverPrefix(".globalstab-");
const QLatin1StringView LeftoverSuffix(".part");

// A temporary file beside a target, removed again unless committed.
class TempFile
{
public:
    explicit TempFile(const QString& target) : m_target(target)
    {
        const QString folder = parentOf(target);
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_path =
                join(folder, LeftoverPrefix +
                                 QString::number(QRandomGenerator::global()->generate64(), 36) +
                                 LeftoverSuffix);
            m_fd =
                ::open(encoded(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST)
                failErrno(errno, target);
        }
        if (m_fd < 0)
            fail(rt::PathFileAccessError, target, QStringLiteral("no free temporary name"));
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty())
            ::unlink(encoded(m_path).constData());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }

    // Closes the file unflushed and hands its path over: a batch renames it later.
    QString release()
    {
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0)
            failErrno(errno, m_target);
        return std::exchange(m_path, QString());
    }

    // Flushes the data to disk and renames the file over the target.
    void commit()
    {
        if (::fsync(m_fd) != 0)
            failErrno(errno, m_target);
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0)
            failErrno(errno, m_target);
        if (::rename(encoded(m_path).constData(), encoded(m_target).constData()) != 0)
            failErrno(errno, m_target);
        m_path.clear();
        // Make the rename itself durable; a failure here loses nothing already written.
        const int dir = ::open(encoded(parentOf(m_target)).constData(), O_RDONLY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    QString m_target;
    QString m_path;
    int m_fd = -1;
};

thread_local WriteBatch* t_batchScope = nullptr; // the outermost scope

// Makes files or folders durable: each one flushed when they are few, else one flush of each
// file system they are on (syncfs), where every flush of a file costs a flush of the disk
// cache. A few files are flushed one by one because syncfs also waits for whatever else waits
// on that file system. Where syncfs fails, each is flushed on its own. The first flush that
// failed to write (EIO, ENOSPC, EDQUOT) is answered with its error and path; a file system
// that cannot flush (EINVAL, EROFS) is taken as it is.
std::optional<std::pair<int, QString>> flushAll(const QStringList& paths);

// flushAll() for the files an action puts in place, which may take a while: where progress is
// observed, the flush runs on a thread of its own while this one keeps the progress (and with
// it the window) alive, at "none of total done yet". A stop is raised once the flush ended.
std::optional<std::pair<int, QString>> flushAllObserved(const QStringList& paths, int total)
{
    if (!progressObserved())
        return flushAll(paths);
    std::optional<std::pair<int, QString>> failure;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread flusher([&] {
        std::optional<std::pair<int, QString>> result;
        try {
            result = flushAll(paths);
        } catch (...) {
            result = std::make_pair(EIO, paths.value(0)); // not made durable
        }
        const std::lock_guard lock(mutex);
        failure = std::move(result);
        done = true;
        ended.notify_one();
    });
    bool stopped = false;
    std::unique_lock lock(mutex);
    while (!ended.wait_for(lock, std::chrono::milliseconds(30), [&] { return done; })) {
        lock.unlock();
        try {
            if (!stopped)
                reportProgress(0, total);
        } catch (const ActionCancelled&) {
            stopped = true;
        }
        lock.lock();
    }
    lock.unlock();
    flusher.join();
    if (stopped)
        throw ActionCancelled();
    return failure;
}

std::optional<std::pair<int, QString>> flushAll(const QStringList& paths)
{
    constexpr qsizetype FlushedOneByOne = 8;
    bool each = paths.size() <= FlushedOneByOne;
    QSet<dev_t> flushed;
    for (const QString& path : paths) {
        if (each)
            break;
        struct stat info;
        if (!statPath(path, info) || flushed.contains(info.st_dev))
            continue;
        flushed.insert(info.st_dev);
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::syncfs(fd) != 0)
            each = true;
        if (fd >= 0)
            ::close(fd);
    }
    if (!each)
        return std::nullopt;
    // Writeback starts for every file before the first flush waits: the file system then
    // writes them together instead of one after another.
    std::vector<int> fds;
    fds.reserve(size_t(paths.size()));
    for (const QString& path : paths) {
        const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        fds.push_back(fd);
    }
    std::optional<std::pair<int, QString>> failure;
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i] < 0)
            continue;
        if (::fsync(fds[i]) != 0 && !failure &&
            (errno == EIO || errno == ENOSPC || errno == EDQUOT))
            failure = std::make_pair(errno, paths.at(qsizetype(i)));
        ::close(fds[i]);
    }
    return failure;
}

} // namespace

struct WriteBatch::Private
{
    struct Waiting
    {
        QString tempName; // beside the target; the name alone keeps thousands of them small
        QString target;
        QString temp() const { return join(parentOf(target), tempName); }
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
            ::unlink(encoded(earlier.temp()).constData());
            earlier.tempName = fileName(temp);
            return;
        }
        index.insert(target, waiting.size());
        waiting.push_back({fileName(temp), target, created});
        targets.add(target, created);
    }

    bool waits(const QString& native) const { return index.contains(native); }

    QString newFileSpelt(const QString& native) const { return targets.createdSpelt(native); }

    // True when a file waits below folder; only new files count unless all is set.
    bool waitsBelow(const QString& folder, bool all) const
    {
        return !waiting.empty() &&
               targets.below(withoutTrailingSeparator(folder) + QLatin1Char('/'), all);
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
            ::unlink(encoded(waiting[i].temp()).constData());
        clear();
    }
};

namespace {

thread_local WriteBatch::Private* t_batch = nullptr; // the outermost scope's
thread_local detail::HeldDocuments* t_held = nullptr;

// Commits the batch first when the operation would see a file that waits in it.
void settle(const QString& native)
{
    const QString path = withoutTrailingSeparator(native);
    if (t_held && t_held->waits(path))
        t_held->writeOut();
    if (t_batch && t_batch->waits(path))
        t_batch->commit();
}

void settleBelow(const QString& folder, bool all)
{
    if (t_held && t_held->waitsBelow(folder, all))
        t_held->writeOut();
    if (t_batch && t_batch->waitsBelow(folder, all))
        t_batch->commit();
}

// The checks a replacement makes before it writes; answers the file as it will be written
// (through a link, the file it names) and whether it exists.
QString checkReplaceable(const QString& resolvedTarget, struct stat& info, bool& exists)
{
    QString target = withoutTrailingSeparator(resolvedTarget);
    requireInsideBoundary(target);
    exists = statPath(target, info);
    if (exists) {
        // Write through a link to the file it names, not over the link.
        char real[PATH_MAX];
        if (::realpath(encoded(target).constData(), real))
            target = QFile::decodeName(real);
        if (S_ISDIR(info.st_mode))
            fail(rt::PermissionDenied, target, QStringLiteral("it is a folder"));
        if (isReadOnlyMode(info.st_mode))
            fail(rt::PermissionDenied, target, QStringLiteral("the file is read-only"));
    }
    if (!isDirectory(parentOf(target)))
        fail(rt::PathNotFound, target);
    requireWritableFolder(parentOf(target), target);
    return target;
}

// Replaces target whole through a temporary file that fill writes; the target keeps its
// permission bits. The checks run before anything is written.
template <typename Fill> void replaceFile(const QString& resolvedTarget, Fill fill)
{
    struct stat info;
    bool exists = false;
    const QString target = checkReplaceable(resolvedTarget, info, exists);
    if (t_held)
        t_held->forget(target);

    notifyFileChange(DiskChange::Replace, target);
    TempFile temp(target);
    if (exists)
        ::fchmod(temp.fd(), info.st_mode & 07777);
    fill(temp.fd(), target);
    if (t_batch)
        t_batch->hold(temp.release(), target, !exists);
    else
        temp.commit();
}

QByteArray readWholeFile(const QString& path)
{
    settle(path);
    struct stat info;
    if (!statPath(path, info) || S_ISDIR(info.st_mode))
        fail(rt::FileNotFound, path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        failErrno(EACCES, path);
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(rt::PathFileAccessError, path, file.errorString());
    return data;
}

} // namespace

// ---- paths ---------------------------------------------------------------------------

QString FileSystem::asSpelt(const QString& path)
{
    // One pass, writing the native form as it goes: an inspection spells thousands of book
    // paths with "\\" separators. Repeated separators fold into one; "." and ".." refuse.
    QString spelt(path.size(), Qt::Uninitialized);
    QChar* out = spelt.data();
    QChar* const begin = out;
    qsizetype partStart = 0; // in the output, where the current part began
    bool anyPart = false;
    const auto endPart = [&]() {
        const QStringView part(begin + partStart, out - begin - partStart);
        if (part == u"." || part == u"..")
            return false;
        anyPart = anyPart || !part.isEmpty();
        return true;
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path.at(i);
        if (c != u'/' && c != u'\\') {
            *out++ = c;
            continue;
        }
        if (!endPart())
            return QString();
        // The leading separator stays; one after a part starts the next; others fold.
        if (out == begin || out[-1] != u'/')
            *out++ = u'/';
        partStart = out - begin;
    }
    if (!endPart() || !anyPart)
        return QString();
    if (out - begin > 1 && out[-1] == u'/')
        --out;
    spelt.truncate(out - begin);
    return spelt;
}

QString FileSystem::resolve(const QString& path)
{
    if (t_batch) {
        const auto found = t_batch->resolved.constFind(path);
        if (found != t_batch->resolved.cend())
            return *found;
    }
    const bool trailing = path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
    // Nearly every path is spelt as on disk: one look-up of the whole path settles that,
    // where matching part by part costs a look-up (or a listing) per folder.
    if (const QString exact = asSpelt(path); !exact.isEmpty()) {
        struct stat info;
        // A file whose save waits is taken as spelt as well: it is not on disk yet.
        const bool waiting = (t_batch && t_batch->waits(exact)) || (t_held && t_held->waits(exact));
        if (waiting || statPath(exact, info, false)) {
            const QString found = trailing ? exact + QLatin1Char('/') : exact;
            // Bounded: a walk of thousands of pages resolves each path once anyway.
            constexpr qsizetype MostResolved = 4096;
            if (t_batch && t_batch->resolved.size() < MostResolved)
                t_batch->resolved.insert(path, found);
            return found;
        }
    }
    QString unified = path;
    unified.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = unified.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString result = unified.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    bool matching = true; // the folder built so far exists
    for (const QString& part : parts) {
        QString name = part;
        if (matching) {
            const QString match = matchEntry(result, part);
            if (match.isEmpty())
                matching = false;
            else
                name = match;
        }
        result = join(result, name);
    }
    if (!matching && (t_batch || t_held)) {
        // A new file whose save waits is matched ignoring case, as it will be once written.
        QString waiting = t_batch ? t_batch->newFileSpelt(result) : QString();
        if (waiting.isEmpty() && t_held)
            waiting = t_held->newFileSpelt(result);
        if (!waiting.isEmpty())
            result = waiting;
    }
    if (!parts.isEmpty() && trailing)
        result += QLatin1Char('/');
    return result;
}

// ---- observers of changes -----------------------------------------------------------

namespace {
thread_local const ObservedFileChanges* t_observers = nullptr;
}

ObservedFileChanges::ObservedFileChanges(FileChangeObserver& observer)
    : m_observer(observer), m_outer(t_observers)
{
    t_observers = this;
}

ObservedFileChanges::~ObservedFileChanges()
{
    t_observers = m_outer;
}

void notifyFileChange(DiskChange change, const QString& path, const QString& target)
{
    // Only a removed or moved entry changes how a path found spelt as on disk resolves.
    if (t_batch && (change == DiskChange::Delete || change == DiskChange::MoveFolder))
        t_batch->resolved.clear();
    for (const ObservedFileChanges* observed = t_observers; observed; observed = observed->m_outer)
        observed->m_observer.aboutToChange(change, path, target);
}

void notifyCommit()
{
    for (const ObservedFileChanges* observed = t_observers; observed; observed = observed->m_outer)
        observed->m_observer.aboutToCommit();
}

void notifyWritten(const QString& path, const QByteArray& bytes, const WrittenFile& file)
{
    for (const ObservedFileChanges* observed = t_observers; observed; observed = observed->m_outer)
        observed->m_observer.written(path, bytes, file);
}

namespace {
WrittenFile writtenFileOf(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}
} // namespace

WrittenFile writtenFileAt(const QString& nativePath)
{
    struct stat info;
    if (::stat(encoded(nativePath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return writtenFileOf(info);
}

// ---- write boundary ------------------------------------------------------------------

WriteBoundary::WriteBoundary(const QString& root)
    : m_previous(t_boundary), m_root(root),
      m_realRoot(realTarget(withoutTrailingSeparator(FileSystem::resolve(root))))
{
    t_boundary = this;
}

WriteBoundary::~WriteBoundary()
{
    t_boundary = m_previous;
}

bool WriteBoundary::allows(const QString& nativePath) const
{
    const QString real = realTarget(nativePath);
    if (real.isEmpty() || m_realRoot.isEmpty())
        return false;
    return real == m_realRoot || m_realRoot == QLatin1String("/") ||
           real.startsWith(m_realRoot + QLatin1Char('/'));
}

QString FileSystem::writeBoundary()
{
    return t_boundary ? t_boundary->root() : QString();
}

// ---- Folder --------------------------------------------------------------------------

Folder::Folder(QString nativePath) : m_path(withoutTrailingSeparator(std::move(nativePath))) {}

QString Folder::Name() const
{
    return fileName(m_path);
}

QList<FileEntry> Folder::Files() const
{
    settleBelow(m_path, false);
    QList<FileEntry> files;
    for (const DirEntry& entry : sortedEntries(m_path)) {
        struct stat info;
        // Only a link may turn out to be a folder.
        if (!entry.folder &&
            !(entry.link && statPath(join(m_path, entry.name), info) && S_ISDIR(info.st_mode)))
            files.append({join(m_path, entry.name), entry.name});
    }
    return files;
}

QList<Folder> Folder::SubFolders() const
{
    settleBelow(m_path, false);
    QList<Folder> folders;
    for (const DirEntry& entry : sortedEntries(m_path))
        if (entry.folder)
            folders.append(Folder(join(m_path, entry.name)));
    return folders;
}

void Folder::Move(const QString& destination)
{
    if (!isDirectory(m_path))
        fail(rt::PathNotFound, m_path);
    // The last component is taken as written, so that a move may change letter case only.
    // A destination ending in a separator names the folder to move into.
    QString unified = destination;
    unified.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString target;
    if (unified.endsWith(QLatin1Char('/'))) {
        target = join(withoutTrailingSeparator(FileSystem::resolve(unified)), Name());
    } else {
        const QString parent = withoutTrailingSeparator(FileSystem::resolve(parentOf(unified)));
        target = join(unified.contains(QLatin1Char('/')) ? parent : QString(), fileName(unified));
    }
    requireInsideBoundary(m_path);
    requireInsideBoundary(target);
    if (target == m_path)
        return;
    if (t_held) {
        t_held->writeOut();
        t_held->forgetAll();
    }
    settleBelow(m_path, true);
    settleBelow(target, true);
    const QString parent = parentOf(target);
    const QString existing = matchEntry(parent, fileName(target));
    const bool caseOnly = parent == parentOf(m_path) && existing == Name();
    if (!existing.isEmpty() && !caseOnly)
        fail(rt::FileAlreadyExists, join(parent, existing));
    if (!isDirectory(parent))
        fail(rt::PathNotFound, parent);
    requireWritableFolder(parentOf(m_path), m_path);
    requireWritableFolder(parent, target);
    notifyFileChange(DiskChange::MoveFolder, m_path, target);
    if (::rename(encoded(m_path).constData(), encoded(target).constData()) != 0)
        failErrno(errno, m_path);
    m_path = target;
}

// ---- FileSystem ----------------------------------------------------------------------

QString FileSystem::GetFileName(const QString& path)
{
    return paths::fileName(path);
}

bool FileSystem::isLeftover(const QString& name)
{
    if (!name.startsWith(LeftoverPrefix) || !name.endsWith(LeftoverSuffix))
        return false;
    const QStringView random =
        QStringView(name).sliced(LeftoverPrefix.size()).chopped(LeftoverSuffix.size());
    return !random.isEmpty() && std::all_of(random.begin(), random.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    });
}

bool FileSystem::IsWithin(const QString& path, const QString& folder)
{
    const QString inner = QFileInfo(resolve(path)).canonicalFilePath();
    const QString outer = QFileInfo(resolve(folder)).canonicalFilePath();
    if (inner.isEmpty() || outer.isEmpty())
        return false;
    return inner == outer || inner.startsWith(outer + QLatin1Char('/'));
}

bool FileSystem::FileExists(const QString& path) const
{
    const QString native = resolve(path);
    if (t_held && t_held->deleted(native))
        return false;
    if ((t_batch && t_batch->waits(native)) || (t_held && t_held->waits(native)))
        return true;
    struct stat info;
    return statPath(native, info) && !S_ISDIR(info.st_mode);
}

bool FileSystem::FolderExists(const QString& path) const
{
    return isDirectory(resolve(path));
}

void FileSystem::CreateFolder(const QString& path) const
{
    const QString native = withoutTrailingSeparator(resolve(path));
    requireInsideBoundary(native);
    struct stat info;
    if (statPath(native, info, false))
        fail(rt::FileAlreadyExists, native);
    if (!isDirectory(parentOf(native)))
        fail(rt::PathNotFound, native);
    requireWritableFolder(parentOf(native), native);
    notifyFileChange(DiskChange::CreateFolder, native);
    if (::mkdir(encoded(native).constData(), 0777) != 0)
        failErrno(errno, native);
}

void FileSystem::CopyFile(const QString& source, const QString& destination, bool overwrite) const
{
    const QString from = resolve(source);
    settle(from);
    settle(resolve(destination));
    struct stat info;
    if (!statPath(from, info) || S_ISDIR(info.st_mode))
        fail(rt::FileNotFound, from);
    QString to = resolve(destination);
    if (to.endsWith(QLatin1Char('/')))
        to = join(to, fileName(from));
    requireInsideBoundary(to);
    if (statPath(to, info) && !S_ISDIR(info.st_mode) && !overwrite)
        fail(rt::FileAlreadyExists, to);

    replaceFile(to, [&](int fd, const QString& target) {
        QFile input(from);
        if (!input.open(QIODevice::ReadOnly))
            failErrno(EACCES, from);
        while (!input.atEnd()) {
            const QByteArray chunk = input.read(1 << 16);
            if (input.error() != QFileDevice::NoError)
                fail(rt::PathFileAccessError, from, input.errorString());
            writeAll(fd, chunk.constData(), chunk.size(), target);
        }
    });
}

void FileSystem::CopyFolder(const QString& source, const QString& destination) const
{
    // The source tree is listed whole before anything is written, so that a destination
    // inside the source is not copied into itself over and over. The walk follows no link to
    // a folder, so it ends on any tree, and it keeps no call per level.
    struct Step
    {
        QString destination;
        QList<FileEntry> files;
    };
    QList<Step> steps; // each folder before its subfolders, depth-first, in name order
    requireInsideBoundary(resolve(destination));
    QList<std::pair<Folder, QString>> pending{{GetFolder(source), destination}};
    while (!pending.isEmpty()) {
        const auto [folder, to] = pending.takeLast();
        steps.append({to, folder.Files()});
        const QList<Folder> subFolders = folder.SubFolders();
        for (auto sub = subFolders.rbegin(); sub != subFolders.rend(); ++sub)
            pending.append({*sub, join(withoutTrailingSeparator(to), sub->Name())});
    }
    for (const Step& step : steps) {
        if (!FolderExists(step.destination))
            CreateFolder(step.destination);
        const QString target = withoutTrailingSeparator(resolve(step.destination));
        for (const FileEntry& file : step.files)
            CopyFile(file.Path, join(target, file.Name), true);
    }
}

void FileSystem::DeleteFile(const QString& path, bool force) const
{
    const QString native = resolve(path);
    requireInsideBoundary(native);
    if (t_held) {
        if (t_held->deleted(native))
            fail(rt::FileNotFound, native);
        // A file whose first save still waits is deleted by dropping that save.
        const bool onlyWaiting = t_held->waits(native) && !(t_batch && t_batch->waits(native)) &&
                                 ::access(encoded(native).constData(), F_OK) != 0;
        t_held->forget(native);
        if (onlyWaiting)
            return;
    }
    settle(native);
    struct stat info;
    if (!statPath(native, info, false) || S_ISDIR(info.st_mode))
        fail(rt::FileNotFound, native);
    if (!force && !S_ISLNK(info.st_mode) && isReadOnlyMode(info.st_mode))
        fail(rt::PermissionDenied, native, QStringLiteral("the file is read-only"));
    requireWritableFolder(parentOf(native), native);
    // Held back, a deletion followed by a save of the same file becomes one replacement.
    if (t_held && !S_ISLNK(info.st_mode) && t_held->holdDeletion(native))
        return;
    notifyFileChange(DiskChange::Delete, native);
    if (::unlink(encoded(native).constData()) != 0)
        failErrno(errno, native);
}

int FileSystem::removeLeftovers(const QString& folder) const
{
    requireInsideBoundary(resolve(folder));
    WriteBatch::commitActive();
    const QString top = GetFolder(folder).Path();
    int removed = 0;
    QStringList pending{top};
    while (!pending.isEmpty()) {
        const QString current = pending.takeLast();
        QList<DirEntry> entries;
        if (!listFolder(current, entries))
            failErrno(errno, current);
        for (const DirEntry& entry : entries) {
            const QString path = join(current, entry.name);
            struct stat info;
            if (entry.folder) {
                pending.append(path);
            } else if (isLeftover(entry.name) && statPath(path, info, false) &&
                       S_ISREG(info.st_mode)) {
                if (::unlink(encoded(path).constData()) != 0)
                    failErrno(errno, path);
                ++removed;
            }
        }
    }
    return removed;
}

Folder FileSystem::GetFolder(const QString& path) const
{
    const QString native = withoutTrailingSeparator(resolve(path));
    if (!isDirectory(native))
        fail(rt::PathNotFound, native);
    return Folder(native);
}

int FileSystem::GetAttributes(const QString& path) const
{
    const QString native = resolve(path);
    // A waiting save keeps the bits of the file it replaces: only a file that is not on disk
    // yet must be written to be asked.
    if (::access(encoded(native).constData(), F_OK) != 0 || (t_held && t_held->deleted(native)))
        settle(native);
    struct stat info;
    if (!statPath(native, info))
        fail(rt::FileNotFound, native);
    int attributes = Normal;
    if (isReadOnlyMode(info.st_mode))
        attributes |= ReadOnly;
    if (fileName(native).startsWith(QLatin1Char('.')))
        attributes |= Hidden;
    if (S_ISDIR(info.st_mode))
        attributes |= Directory;
    else if (info.st_mode & S_ISVTX)
        attributes |= Archive;
    return attributes;
}

void FileSystem::SetAttributes(const QString& path, int attributes) const
{
    const QString native = resolve(path);
    requireInsideBoundary(native);
    settle(native);
    struct stat info;
    if (!statPath(native, info))
        fail(rt::FileNotFound, native);
    mode_t mode = info.st_mode & 07777;
    if (attributes & ReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (isReadOnlyMode(mode))
        mode |= S_IWUSR;
    if (S_ISREG(info.st_mode))
        mode = (attributes & Archive) ? (mode | S_ISVTX) : (mode & ~mode_t(S_ISVTX));
    notifyFileChange(DiskChange::SetAttributes, native);
    if (::chmod(encoded(native).constData(), mode) != 0)
        failErrno(errno, native);
}

QString FileSystem::ReadAllText(const QString& path, textCodec::Encoding* detected) const
{
    const QString native = resolve(path);
    const QByteArray data = readWholeFile(native);
    if (data.isEmpty())
        fail(InputPastEndOfFile, native);
    return textCodec::decodeText(data, detected);
}

void FileSystem::WriteAllText(const QString& path, const QString& text) const
{
    atomicWriteFile(resolve(path), textCodec::encodeUtf16le(text));
}

void FileSystem::WriteAllText(const QString& path, const QString& text,
                              textCodec::Encoding readAs) const
{
    atomicWriteFile(resolve(path), textCodec::encodeWrittenBack(text, readAs));
}

void atomicWriteFile(const QString& nativePath, const QByteArray& data)
{
    QString written;
    WrittenFile file;
    replaceFile(FileSystem::resolve(nativePath), [&](int fd, const QString& target) {
        writeAll(fd, data.constData(), data.size(), target);
        written = target;
        struct stat info;
        if (::fstat(fd, &info) == 0)
            file = writtenFileOf(info);
        // Before the rename: a journal records what the file will hold while the change can
        // still be told apart from a later edit.
        notifyWritten(written, data, file);
    });
}

bool fileHolds(const QString& nativePath, QByteArrayView bytes)
{
    const int fd = ::open(encoded(nativePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    bool same = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == bytes.size();
    std::vector<char> chunk(same ? size_t(std::min<qsizetype>(bytes.size(), 1 << 16)) : 0);
    for (qsizetype at = 0; same && at < bytes.size();) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        same = n > 0 && n <= bytes.size() - at &&
               std::memcmp(chunk.data(), bytes.data() + at, size_t(n)) == 0;
        at += std::max<ssize_t>(n, 0);
    }
    ::close(fd);
    return same;
}

// ---- write batch ----------------------------------------------------------------------

void WriteBatch::Private::commit()
{
    if (t_held)
        t_held->writeOut();
    if (waiting.empty())
        return;
    notifyCommit();

    QStringList temps;
    for (const Waiting& file : waiting)
        temps << file.temp();
    if (const std::optional<std::pair<int, QString>> failure =
            flushAllObserved(temps, int(waiting.size()))) {
        const QString target = waiting[size_t(temps.indexOf(failure->second))].target;
        drop(0);
        failErrno(failure->first, target);
    }

    QStringList folders;
    QSet<QString> seen;
    // A folder that fails to flush is not reported: the files are in place by then, and
    // there is nothing left to undo.
    const auto flushFolders = [&] { flushAll(folders); };
    for (size_t i = 0; i < waiting.size(); ++i) {
        const Waiting& file = waiting[i];
        if (::rename(encoded(file.temp()).constData(), encoded(file.target).constData()) != 0) {
            const int error = errno;
            const QString target = file.target;
            drop(i);
            flushFolders();
            failErrno(error, target);
        }
        const QString folder = parentOf(file.target);
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders << folder;
        }
        // A stop here is put back by the journal, which holds every file as it was.
        reportProgress(int(i + 1), int(waiting.size()));
    }
    clear();

    flushFolders();
}

WriteBatch::WriteBatch() : m_uncaught(std::uncaught_exceptions())
{
    if (t_batch) {
        m_joined = true;
        return;
    }
    d = std::make_unique<Private>();
    t_batch = d.get();
    t_batchScope = this;
}

WriteBatch::~WriteBatch()
{
    if (m_joined)
        return;
    t_batch = nullptr;
    t_batchScope = nullptr;
    if (std::uncaught_exceptions() > m_uncaught) {
        d->drop(0);
        return;
    }
    try {
        d->commit();
    } catch (const RuntimeError& error) {
        // A destructor has no one to tell: what waited is dropped and every target stays
        // whole. Whoever must know commits before the scope ends, as an Action does.
        d->drop(0);
        qWarning("globalstab: saves dropped at the end of a write batch: %s", error.what());
    }
}

void WriteBatch::commit()
{
    if (t_batch)
        t_batch->commit();
}

void WriteBatch::discard()
{
    if (t_batch)
        t_batch->drop(0);
}

int WriteBatch::pending() const
{
    return t_batch ? int(t_batch->waiting.size()) : 0;
}

WriteBatch* WriteBatch::active()
{
    return t_batchScope;
}

void WriteBatch::commitActive()
{
    if (t_batch)
        t_batch->commit();
}

void WriteBatch::settle(const QString& nativePath)
{
    globalstab::settle(nativePath);
}

bool WriteBatch::waits(const QString& nativePath)
{
    return t_batch && t_batch->waits(nativePath);
}

namespace detail {

void WaitingPaths::count(const QString& native, bool created, int step)
{
    for (qsizetype at = native.indexOf(QLatin1Char('/')); at >= 0;
         at = native.indexOf(QLatin1Char('/'), at + 1)) {
        const size_t folder = qHash(QStringView(native).first(at + 1));
        auto found = m_below.find(folder);
        if (found == m_below.end()) {
            if (step < 0)
                continue;
            found = m_below.insert(folder, Counts());
        }
        found->all += step;
        found->created += created ? step : 0;
        if (found->all <= 0)
            m_below.erase(found);
    }
}

void WaitingPaths::add(const QString& native, bool created)
{
    count(native, created, 1);
    if (created)
        m_created[native.toCaseFolded()].append(native);
}

void WaitingPaths::remove(const QString& native, bool created)
{
    count(native, created, -1);
    if (!created)
        return;
    const QString folded = native.toCaseFolded();
    const auto found = m_created.find(folded);
    if (found == m_created.end())
        return;
    found->removeOne(native);
    if (found->isEmpty())
        m_created.erase(found);
}

void WaitingPaths::clear()
{
    m_below.clear();
    m_created.clear();
}

QString WaitingPaths::createdSpelt(const QString& native) const
{
    if (m_created.isEmpty())
        return QString();
    const auto found = m_created.constFind(native.toCaseFolded());
    return found != m_created.cend() ? found->first() : QString();
}

bool WaitingPaths::below(const QString& prefix, bool all) const
{
    const auto found = m_below.constFind(qHash(QStringView(prefix)));
    return found != m_below.cend() && (all ? found->all : found->created) > 0;
}

HeldDocuments* heldDocuments()
{
    return t_held;
}

void setHeldDocuments(HeldDocuments* held)
{
    t_held = held;
}

void requireReplaceable(const QString& native)
{
    struct stat info;
    bool exists = false;
    checkReplaceable(FileSystem::resolve(native), info, exists);
}

} // namespace detail

} // namespace globalstab
