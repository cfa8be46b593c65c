#include "core/JournalLog.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Posix.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Header-only: the hash is compiled in, and a host needs no library of it at run time.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace globalstab::journal::detail {

namespace {

// 3: states are XXH3 hashes (2 had BLAKE2b): a log of 2 no longer checks, so a cut-off one
// is set aside, never applied, and an ended one is pruned as a first-format log is.
constexpr QByteArrayView FormatVersion = "3";

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
}

quint64 checkOf(quint64 nonce, QByteArrayView head, QByteArrayView payload)
{
    quint64 hash = 14695981039346656037ull ^ nonce;
    for (QByteArrayView part : {head, payload})
        for (const char c : part) {
            hash ^= quint8(c);
            hash *= 1099511628211ull;
        }
    return hash;
}

QByteArray hex(quint64 value)
{
    return QByteArray::number(value, 16).rightJustified(16, '0');
}

[[noreturn]] void failed(const QString& path, int error)
{
    raiseError(error == ENOSPC || error == EDQUOT ? rt::DiskFull : rt::PathFileAccessError,
               QStringLiteral("%1: the journal '%2' cannot be written (%3)")
                   .arg(error == ENOSPC || error == EDQUOT
                            ? QStringLiteral("Disk full")
                            : QStringLiteral("Path/File access error"),
                        path, QString::fromLocal8Bit(std::strerror(error))));
}

void writeFully(int fd, QByteArrayView data, const QString& path)
{
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            failed(path, errno);
        at += written;
        left -= written;
    }
}

// A log's header line: false when it is cut short or malformed.
struct Header
{
    QByteArray kind;
    QList<QByteArray> fields;
    qsizetype length = -1;
    quint64 check = 0;
};

std::optional<Header> headerOf(QByteArrayView line)
{
    QList<QByteArray> fields = line.toByteArray().split('\t');
    if (fields.size() < 3)
        return std::nullopt;
    bool checkOk = false;
    bool lengthOk = false;
    Header header;
    header.check = fields.takeLast().toULongLong(&checkOk, 16);
    header.length = fields.takeLast().toLongLong(&lengthOk);
    if (!checkOk || !lengthOk || header.length < 0)
        return std::nullopt;
    header.kind = fields.takeFirst();
    header.fields = fields;
    return header;
}

} // namespace

ParsedLog parseLog(QByteArray bytes)
{
    ParsedLog log;
    log.bytes = std::move(bytes);
    const QByteArrayView data(log.bytes);
    quint64 nonce = 0;
    qsizetype at = 0;
    while (at < data.size()) {
        const qsizetype end = data.indexOf('\n', at);
        if (end < 0)
            break; // cut short while its header was written
        const QByteArrayView line = data.sliced(at, end - at);
        const std::optional<Header> header = headerOf(line);
        if (header && end + 1 + header->length > data.size())
            break; // cut short while its payload was written
        const QByteArrayView payload =
            header ? data.sliced(end + 1, header->length) : QByteArrayView();
        const qsizetype next = header ? end + 1 + header->length : end + 1;
        if (header && at == 0 && header->kind == "B" && header->fields.size() >= 3 &&
            header->fields.at(0) == FormatVersion)
            nonce = header->fields.at(1).toULongLong(nullptr, 16);
        const QByteArrayView head = line.first(line.lastIndexOf('\t') + 1);
        const bool checks = header && checkOf(nonce, head, payload) == header->check;
        if (!checks) {
            // Only the last record may be torn: a write that never finished before the crash.
            if (next >= data.size() && at > 0)
                break;
            log.problem = at == 0 ? QStringLiteral("it does not begin as a log of this version")
                                  : QStringLiteral("a record at byte %1 does not check").arg(at);
            log.records.clear();
            return log;
        }
        if (at == 0 && header->kind != "B") {
            log.problem = QStringLiteral("it does not begin with its action");
            return log;
        }
        log.records.append({header->kind, header->fields, payload});
        at = next;
    }
    if (log.records.isEmpty())
        log.problem = QStringLiteral("it holds no whole record");
    return log;
}

LogWriter::~LogWriter()
{
    close();
}

void LogWriter::create(const QString& folder, const QString& action)
{
    if (!QDir().mkpath(folder))
        failed(folder, errno ? errno : EACCES);
    const QStringList existing = logsNewestFirst(folder);
    int next = existing.isEmpty() ? 1 : QFileInfo(existing.first()).baseName().toInt() + 1;
    for (;; ++next) {
        m_path = paths::native::join(folder,
                                     QStringLiteral("%1.log").arg(next, 8, 10, QLatin1Char('0')));
        m_fd = posix::open(m_path, O_WRONLY | O_CREAT | O_EXCL | O_APPEND, 0644);
        if (m_fd >= 0 || errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        failed(m_path, errno);
    m_nonce = QRandomGenerator::system()->generate64();
    // Percent-encoded like the paths, so that no name can bring a tab or a line end into the
    // record's header.
    append("B", {FormatVersion.toByteArray(), hex(m_nonce), QUrl::toPercentEncoding(action, " ")});
}

void LogWriter::reopen(const QString& path, const ParsedLog& log)
{
    m_path = path;
    m_fd = posix::open(path, O_WRONLY | O_APPEND);
    if (m_fd < 0)
        failed(path, errno);
    m_nonce = log.records.first().fields.value(1).toULongLong(nullptr, 16);
}

void LogWriter::append(const QByteArray& kind, const QList<QByteArray>& fields,
                       QByteArrayView payload)
{
    QByteArray head = kind;
    for (const QByteArray& field : fields)
        head += '\t' + field;
    head += '\t' + QByteArray::number(payload.size()) + '\t';
    m_pending += head + hex(checkOf(m_nonce, head, payload)) + '\n';
    m_pending += payload;
    // A large payload (a file's bytes) is not kept in memory beside the file it came from.
    if (m_pending.size() > (1 << 20))
        push();
}

void LogWriter::push()
{
    if (m_pending.isEmpty())
        return;
    writeFully(m_fd, m_pending, m_path);
    m_pending.clear();
}

void LogWriter::sync()
{
    push();
    if (::fdatasync(m_fd) != 0)
        failed(m_path, errno);
}

void LogWriter::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

QByteArray encodedPath(const QString& relative)
{
    return QUrl::toPercentEncoding(relative, "/ ");
}

std::optional<QString> containedPath(const QString& dataRoot, const QByteArray& field)
{
    const QString relative = QUrl::fromPercentEncoding(field);
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ||
        relative.contains(QLatin1Char('\\')) || relative.contains(QChar(0)))
        return std::nullopt;
    for (const QString& part : relative.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    const QString root = FileSystem::resolve(dataRoot);
    const QString native = paths::native::join(root, relative);
    // Links on the way, planted or not, must not lead out of the root.
    if (!WriteBoundary(root).allows(native))
        return std::nullopt;
    return native;
}

QByteArray stateOfBytes(QByteArrayView bytes)
{
    // XXH3's 128 bits tell damage and later edits from what an action left, as a cryptographic
    // hash would against anything but a forger (who could plant a whole log anyway), and
    // they cost an action a tenth of a millisecond a megabyte instead of several.
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), size_t(bytes.size()));
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    return "xxh3-128-" +
           QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof(canonical.digest))
               .toHex();
}

bool exists(const QString& path)
{
    struct stat info;
    return ::lstat(nativeName(path).constData(), &info) == 0;
}

bool isFolder(const QString& path)
{
    struct stat info;
    return ::stat(nativeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raiseError(
            rt::PathFileAccessError,
            QStringLiteral("Path/File access error: '%1' (%2)").arg(path, file.errorString()));
    return data;
}

QByteArray stateOf(const QString& path)
{
    if (isFolder(path))
        return "folder";
    const std::optional<QByteArray> data = exists(path) ? readFile(path) : std::nullopt;
    return data ? stateOfBytes(*data) : QByteArray("absent");
}

void restoreFile(const QString& path, QByteArrayView data)
{
    QDir().mkpath(QFileInfo(path).path());
    const posix::TemporaryFile created = posix::createTemporary(QFileInfo(path).path(), 0644);
    const QString& temporary = created.path;
    const int fd = created.fd;
    if (fd < 0)
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' (%2)")
                       .arg(path, QString::fromLocal8Bit(std::strerror(created.error))));
    struct stat info;
    if (::stat(nativeName(path).constData(), &info) == 0)
        ::fchmod(fd, info.st_mode & 07777);
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(nativeName(temporary).constData());
        raiseError(error == ENOSPC ? rt::DiskFull : rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: '%1' cannot be put back (%2)")
                       .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    };
    try {
        writeFully(fd, data, path);
    } catch (...) {
        fail(errno ? errno : EIO);
    }
    if (::fsync(fd) != 0)
        fail(errno);
    ::close(fd);
    if (::rename(nativeName(temporary).constData(), nativeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(nativeName(temporary).constData());
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' (%2)")
                       .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
}

QString keptFolder(const QString& log)
{
    return log + QStringLiteral(".kept");
}

QStringList logsNewestFirst(const QString& folder)
{
    QStringList logs = QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    std::reverse(logs.begin(), logs.end());
    for (QString& log : logs)
        log = paths::native::join(folder, log);
    return logs;
}

QList<QByteArray> kindsOf(const QString& path)
{
    QList<QByteArray> kinds;
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return kinds;
    // A log of the first format has no check on its lines ("KIND\tfield...\tLENGTH"): its
    // kinds still tell whether its action ended, so that an upgrade prunes ended logs quietly.
    // One cut off is never applied: its paths were absolute.
    bool firstFormat = false;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        if (!line.endsWith('\n'))
            break;
        std::optional<Header> header;
        if (!firstFormat) {
            header = headerOf(QByteArrayView(line).chopped(1));
            firstFormat = !header && kinds.isEmpty() && line.startsWith("B\t");
        }
        if (firstFormat) {
            const QList<QByteArray> fields = line.chopped(1).split('\t');
            bool ok = false;
            const qint64 length = fields.size() >= 2 ? fields.last().toLongLong(&ok) : -1;
            if (ok && length >= 0)
                header = Header{fields.first(), {}, length, 0};
        }
        if (!header || !log.seek(log.pos() + header->length) || log.pos() > log.size())
            break;
        kinds.append(header->kind);
    }
    return kinds;
}

bool isChange(QByteArrayView kind)
{
    return kind == "R" || kind == "D" || kind == "L" || kind == "C" || kind == "M" || kind == "A";
}

bool isEnd(QByteArrayView kind)
{
    return kind == "E" || kind == "F";
}

bool endedByKinds(const QList<QByteArray>& kinds)
{
    for (auto it = kinds.crbegin(); it != kinds.crend(); ++it) {
        if (isEnd(*it))
            return true;
        if (isChange(*it))
            return false;
    }
    return true; // no change at all
}

void removeLog(const QString& log)
{
    QDir(keptFolder(log)).removeRecursively();
    QFile::remove(log);
}

void prune(const QString& folder, int keep)
{
    int ended = 0;
    for (const QString& log : logsNewestFirst(folder)) {
        const QList<QByteArray> kinds = kindsOf(log);
        if (kinds.contains("X")) {
            removeLog(log);
            continue;
        }
        // Only a log that ended after its last change is finished; one that goes on, or was
        // cut off, is left alone.
        if (kinds.isEmpty() || !endedByKinds(kinds))
            continue;
        if (ended < keep)
            ++ended;
        else
            removeLog(log);
    }
}

} // namespace globalstab::journal::detail
