#include "core/DataRootLock.h"

#include "platform/FileSystem.h"
#include "platform/Posix.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace globalstab {

namespace {

// 0 when taken, else the errno of the failure; EAGAIN (or EACCES) while another holds it.
int tryLock(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return 0;
    if (errno == EINVAL) {
        // A kernel or file system without them: a process-wide record lock still keeps other
        // processes and machines out; the threads of one process are kept apart by nesting.
        if (::fcntl(fd, F_SETLK, &lock) == 0)
            return 0;
    }
    return errno;
}

int openLockFile(const QString& file, const QString& dataRoot)
{
    const QString folder = QFileInfo(file).path();
    if (!QDir().mkpath(folder))
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: the journal folder '%1' cannot be made; "
                                  "the data root '%2' cannot be changed")
                       .arg(folder, dataRoot));
    const int fd = posix::open(file, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: the journal folder '%1' cannot be written "
                                  "(%2); the data root '%3' cannot be changed")
                       .arg(folder, QString::fromLocal8Bit(std::strerror(errno)), dataRoot));
    return fd;
}

} // namespace

QString DataRootLock::path(const QString& dataRoot)
{
    return FileSystem::resolve(dataRoot + QStringLiteral("/Docs/.globalstab/lock"));
}

DataRootLock::DataRootLock(const QString& dataRoot, int waitMs)
{
    const QString file = path(dataRoot);
    m_fd = openLockFile(file, dataRoot);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int error = tryLock(m_fd);
        if (error == 0)
            return;
        if ((error != EAGAIN && error != EACCES) || waited.elapsed() >= waitMs) {
            ::close(m_fd);
            m_fd = -1;
            if (error != EAGAIN && error != EACCES)
                raiseError(rt::PermissionDenied,
                           QStringLiteral("Permission denied: the lock '%1' cannot be taken (%2)")
                               .arg(file, QString::fromLocal8Bit(std::strerror(error))));
            raiseError(rt::PermissionDenied,
                       QStringLiteral("Permission denied: another program is changing the data "
                                      "root '%1' (it holds '%2'); try again when it has finished")
                           .arg(dataRoot, file));
        }
        QThread::msleep(20);
    }
}

DataRootLock::~DataRootLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool DataRootLock::isFree(const QString& dataRoot)
{
    const int fd = posix::open(path(dataRoot), O_RDWR);
    if (fd < 0)
        return true;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    bool free = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type == F_UNLCK;
    ::close(fd);
    return free;
}

} // namespace globalstab
