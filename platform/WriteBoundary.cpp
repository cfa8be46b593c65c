#include "platform/FileSystem.h"

#include "platform/FileChangeObserver.h"
#include "platform/FileSystem_p.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <climits>

#include <sys/stat.h>
#include <unistd.h>

// Where the calling thread may write, and who is told before it does.

namespace globalstab {

namespace fs {

namespace {

thread_local const WriteBoundary* t_boundary = nullptr;
thread_local const ObservedFileChanges* t_observers = nullptr;

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

} // namespace

void requireInsideBoundary(const QString& nativePath)
{
    if (t_boundary && !t_boundary->allows(nativePath))
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' is outside the data root '%2'")
                       .arg(nativePath, t_boundary->root()));
}

WrittenFile writtenFileOf(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

} // namespace fs

using namespace fs;

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

// ---- observers of changes -----------------------------------------------------------

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

WrittenFile writtenFileAt(const QString& nativePath)
{
    struct stat info;
    if (::stat(encoded(nativePath).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return writtenFileOf(info);
}

} // namespace globalstab
