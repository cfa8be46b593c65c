#include "platform/FileSystem.h"

#include "platform/FileChangeObserver.h"
#include "platform/FileSystem_p.h"
#include "platform/HeldDocuments.h"
#include "platform/Posix.h"
#include "platform/Progress.h"
#include "platform/RuntimeError.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The saves of a thread held back as temporary files, made durable together and renamed
// over their targets at a commit; and what the layer does to see them as made.

namespace globalstab {

namespace fs {

thread_local WriteBatch::Private* t_batch = nullptr;
thread_local detail::HeldDocuments* t_held = nullptr;

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

} // namespace fs

using namespace fs;

namespace {

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
        const int fd = posix::open(path, O_RDONLY);
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
        const int fd = posix::open(path, O_RDONLY);
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
    fs::settle(nativePath);
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

void setHeldDocuments(HeldDocuments* held)
{
    t_held = held;
}

} // namespace detail

} // namespace globalstab
