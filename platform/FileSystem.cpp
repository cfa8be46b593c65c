#include "platform/FileSystem.h"

#include "platform/FileChangeObserver.h"
#include "platform/FileSystem_p.h"
#include "platform/HeldDocuments.h"
#include "platform/Paths.h"
#include "platform/Posix.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <dirent.h>
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

namespace fs {

namespace {

constexpr int DiskFull = 61;
constexpr int InputPastEndOfFile = 62;

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

} // namespace

void fail(int number, const QString& path, const QString& detail)
{
    QString description = QStringLiteral("%1: '%2'").arg(classicText(number), path);
    if (!detail.isEmpty())
        description += QStringLiteral(" (%1)").arg(detail);
    raiseError(number, description);
}

void failErrno(int error, const QString& path)
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

bool statPath(const QString& path, struct stat& info, bool followLinks)
{
    const QByteArray name = encoded(path);
    return (followLinks ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) == 0;
}

bool isDirectory(const QString& path)
{
    struct stat info;
    return statPath(path, info) && S_ISDIR(info.st_mode);
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

void requireWritableFolder(const QString& folder, const QString& forPath)
{
    struct stat info;
    if (statPath(folder, info) && S_ISDIR(info.st_mode) && isReadOnlyMode(info.st_mode))
        fail(rt::PermissionDenied, forPath, QStringLiteral("its folder is read-only"));
}

} // namespace fs

using namespace fs;

namespace {

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
    return posix::isTemporaryName(name);
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

} // namespace globalstab
