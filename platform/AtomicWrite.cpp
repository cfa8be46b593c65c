#include "platform/FileSystem.h"

#include "platform/FileChangeObserver.h"
#include "platform/FileSystem_p.h"
#include "platform/HeldDocuments.h"
#include "platform/Posix.h"
#include "platform/RuntimeError.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Replacing a file whole: written to a temporary file beside it and renamed over it, at once
// or at the commit of the calling thread's write batch.

namespace globalstab {

namespace fs {

namespace {

// A temporary file beside a target, removed again unless committed.
class TempFile
{
public:
    explicit TempFile(const QString& target) : m_target(target)
    {
        posix::TemporaryFile file = posix::createTemporary(parentOf(target), 0666);
        if (file.fd < 0 && file.error != EEXIST)
            failErrno(file.error, target);
        if (file.fd < 0)
            fail(rt::PathFileAccessError, target, QStringLiteral("no free temporary name"));
        m_path = std::move(file.path);
        m_fd = file.fd;
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
        posix::flush(parentOf(m_target));
    }

private:
    QString m_target;
    QString m_path;
    int m_fd = -1;
};

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

} // namespace

void replaceFile(const QString& resolvedTarget,
                 const std::function<void(int fd, const QString& target)>& fill)
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

} // namespace fs

using namespace fs;

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
    const int fd = posix::open(nativePath, O_RDONLY);
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

void detail::requireReplaceable(const QString& native)
{
    struct stat info;
    bool exists = false;
    checkReplaceable(FileSystem::resolve(native), info, exists);
}

} // namespace globalstab
