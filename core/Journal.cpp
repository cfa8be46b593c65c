#include "core/Journal.h"

#include "platform/FileSystem.h"
#include "platform/Parallel.h"
#include "platform/Paths.h"
#include "platform/RuntimeError.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <future>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// A log is a sequence of records, each a header line "KIND\tfield\tfield\tLENGTH\n" followed
// by LENGTH bytes. Paths are percent-encoded. A record is flushed before the change it
// describes is made, so a record torn by a crash describes a change that never happened.
//
//   B action           the action began
//   R path n  bytes    a file is replaced; its bytes before (n = -1: there was none)
//   D path n  bytes    a file is deleted; its bytes before
//   L path name        a file is replaced; its bytes before are in the file name (relative
//                      to the log's folder), a second link to the file as it was, kept in
//                      the folder of the log's name with ".kept" added
//   C path             a folder is created
//   M from to          a folder is moved
//   A path mode        permission bits change; the bits before
//   H path state       the state the action left (a hash, "absent" or "folder")
//   E / F              the action ended / ended with an error reported
//   U / X              an undo began / the action was put back

namespace globalstab {

namespace {

std::atomic<int> g_keep{5};

QByteArray encodedPath(const QString& path)
{
    return QUrl::toPercentEncoding(path, "/ ");
}

QString decodedPath(const QByteArray& field)
{
    return QUrl::fromPercentEncoding(field);
}

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
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

// A file's state is a hash of its bytes: BLAKE2b, several times faster than SHA-256 on a
// large table of contents. A log written before names SHA-256 states by their bare hex;
// `like` is the state to compare with, so that such a log still compares.
QByteArray stateOfBytes(const QByteArray& data)
{
    return "blake2b-" + QCryptographicHash::hash(data, QCryptographicHash::Blake2b_256).toHex();
}

QByteArray stateOf(const QString& path, const QByteArray& like = QByteArray())
{
    if (isFolder(path))
        return "folder";
    const std::optional<QByteArray> data = exists(path) ? readFile(path) : std::nullopt;
    if (!data)
        return "absent";
    if (like.size() == 64 && !like.startsWith("blake2b-"))
        return QCryptographicHash::hash(*data, QCryptographicHash::Sha256).toHex();
    return stateOfBytes(*data);
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
            raiseError(rt::PathFileAccessError,
                       QStringLiteral("Path/File access error: '%1' (%2)")
                           .arg(path, QString::fromLocal8Bit(strerror(errno))));
        at += written;
        left -= written;
    }
}

// Puts bytes back in place whole: a temporary file beside the target, renamed over it.
void restoreFile(const QString& path, QByteArrayView data)
{
    QDir().mkpath(QFileInfo(path).path());
    const QString temporary = paths::native::join(
        QFileInfo(path).path(),
        QStringLiteral(".globalstab-%1.part").arg(QRandomGenerator::global()->generate64(), 0, 36));
    const int fd = ::open(nativeName(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        raiseError(rt::PermissionDenied, QStringLiteral("Permission denied: '%1'").arg(path));
    struct stat info;
    if (::stat(nativeName(path).constData(), &info) == 0)
        ::fchmod(fd, info.st_mode & 07777);
    try {
        writeFully(fd, data, path);
    } catch (...) {
        ::close(fd);
        ::unlink(nativeName(temporary).constData());
        throw;
    }
    ::fsync(fd);
    ::close(fd);
    if (::rename(nativeName(temporary).constData(), nativeName(path).constData()) != 0) {
        ::unlink(nativeName(temporary).constData());
        raiseError(rt::PermissionDenied, QStringLiteral("Permission denied: '%1'").arg(path));
    }
}

struct Record
{
    QByteArray kind;
    QList<QByteArray> fields;
    QByteArrayView payload; // into the log as read, which outlives the records
};

QList<Record> parseLog(const QByteArray& log)
{
    QList<Record> records;
    qsizetype at = 0;
    while (at < log.size()) {
        const qsizetype end = log.indexOf('\n', at);
        if (end < 0)
            break;
        QList<QByteArray> fields = log.mid(at, end - at).split('\t');
        bool ok = false;
        const qsizetype length = fields.size() >= 2 ? fields.takeLast().toLongLong(&ok) : -1;
        if (!ok || length < 0 || end + 1 + length > log.size())
            break; // torn at the end: that change was never made
        Record record{fields.takeFirst(), fields, QByteArrayView(log).sliced(end + 1, length)};
        records.append(record);
        at = end + 1 + length;
    }
    return records;
}

QByteArray header(const QByteArray& kind, const QList<QByteArray>& fields, qsizetype length)
{
    QByteArray line = kind;
    for (const QByteArray& field : fields)
        line += '\t' + field;
    return line + '\t' + QByteArray::number(length) + '\n';
}

void flushLog(int fd, const QString& path)
{
    if (::fdatasync(fd) != 0)
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: '%1' could not be flushed").arg(path));
}

enum class Flush
{
    Now,
    Later, // the caller flushes before the change the record describes is made
};

// Appends one record and flushes it; the file stays open (and locked) while the action runs.
void append(int fd, const QString& path, const QByteArray& kind, const QList<QByteArray>& fields,
            const QByteArray& payload = QByteArray(), Flush flush = Flush::Now)
{
    // A large payload (the bytes a file had) is not copied behind its header first.
    const QByteArray head = header(kind, fields, payload.size());
    if (payload.size() < 4096) {
        writeFully(fd, head + payload, path);
    } else {
        writeFully(fd, head, path);
        writeFully(fd, payload, path);
    }
    if (flush == Flush::Now)
        flushLog(fd, path);
}

bool hasKind(const QList<Record>& records, const char* kind)
{
    return std::any_of(records.begin(), records.end(),
                       [&](const Record& record) { return record.kind == kind; });
}

QString actionOf(const QList<Record>& records)
{
    for (const Record& record : records)
        if (record.kind == "B" && !record.fields.isEmpty())
            return QString::fromUtf8(record.fields.first());
    return QString();
}

// Puts every change of a log back, newest first. Each step is safe to repeat, so an undo
// interrupted by a crash is simply done again.
int rollBack(const QList<Record>& records, const QString& logFolder)
{
    int files = 0;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const Record& record = *it;
        if (record.fields.isEmpty())
            continue;
        const QString path = decodedPath(record.fields.first());
        if (record.kind == "R" || record.kind == "D") {
            const bool absent = record.fields.value(1) == "-1";
            if (absent) {
                if (exists(path) && !isFolder(path))
                    ::unlink(nativeName(path).constData());
            } else if (readFile(path).value_or(QByteArray()) != record.payload || !exists(path)) {
                // A file still as it was (a save of the action never made) is left alone.
                restoreFile(path, record.payload);
            }
            ++files;
        } else if (record.kind == "L") {
            // A save renames a new file over the old one and never writes into it: the file
            // the link keeps still holds the bytes of before.
            const QString kept =
                paths::native::join(logFolder, decodedPath(record.fields.value(1)));
            const std::optional<QByteArray> before = exists(kept) ? readFile(kept) : std::nullopt;
            if (before && (readFile(path).value_or(QByteArray()) != *before || !exists(path)))
                restoreFile(path, *before);
            ++files;
        } else if (record.kind == "C") {
            if (isFolder(path) && ::rmdir(nativeName(path).constData()) == 0)
                ++files;
        } else if (record.kind == "M") {
            const QString to = decodedPath(record.fields.value(1));
            if (exists(to) && !exists(path) &&
                ::rename(nativeName(to).constData(), nativeName(path).constData()) == 0)
                ++files;
        } else if (record.kind == "A") {
            bool ok = false;
            const mode_t mode = mode_t(record.fields.value(1).toUInt(&ok, 8));
            if (ok && exists(path))
                ::chmod(nativeName(path).constData(), mode);
        }
    }
    return files;
}

// The paths an action left its mark on, with the state it left there.
QList<std::pair<QString, QByteArray>> leftStates(const QList<Record>& records)
{
    QList<std::pair<QString, QByteArray>> states;
    for (const Record& record : records)
        if (record.kind == "H" && record.fields.size() >= 2)
            states.append({decodedPath(record.fields.at(0)), record.fields.at(1)});
    return states;
}

// The first path whose state is no longer the one the action left; empty when none.
QString changedSince(const QList<Record>& records)
{
    for (const auto& [path, state] : leftStates(records))
        if (stateOf(path, state) != state)
            return path;
    return QString();
}

struct LogFile
{
    QString path;
    int fd = -1;

    LogFile() = default;
    explicit LogFile(QString logPath) : path(std::move(logPath)) {}
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { close(); }
    // Closing releases the lock.
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Opens a log and takes its lock; false when another process holds it (that action is
// still running).
bool lockLog(LogFile& log)
{
    log.fd = ::open(nativeName(log.path).constData(), O_RDWR | O_APPEND);
    if (log.fd < 0)
        return false;
    return ::flock(log.fd, LOCK_EX | LOCK_NB) == 0;
}

// Where a log keeps files by a link: a folder of its own, so that the folder of the logs
// stays small after an action that kept thousands.
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

// The kinds of the records of a log, read header by header: a log holds the bytes of every
// file its action replaced, which pruning has no need to read.
QSet<QByteArray> kindsOf(const QString& path)
{
    QSet<QByteArray> kinds;
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return kinds;
    while (!log.atEnd()) {
        const QByteArray line = log.readLine();
        if (!line.endsWith('\n'))
            break; // torn at the end
        const QList<QByteArray> fields = line.chopped(1).split('\t');
        bool ok = false;
        const qint64 length = fields.size() >= 2 ? fields.last().toLongLong(&ok) : -1;
        if (!ok || length < 0 || !log.seek(log.pos() + length) || log.pos() > log.size())
            break;
        kinds.insert(fields.first());
    }
    return kinds;
}

// A log and the folder of the files it keeps by a link.
void removeLog(const QString& log)
{
    QDir(keptFolder(log)).removeRecursively();
    QFile::remove(log);
}

void prune(const QString& folder)
{
    int ended = 0;
    for (const QString& log : logsNewestFirst(folder)) {
        const QSet<QByteArray> kinds = kindsOf(log);
        const bool done = kinds.contains("E") || kinds.contains("X") || kinds.contains("F");
        if (!done)
            continue;
        if (kinds.contains("E") && !kinds.contains("X") && ended < g_keep)
            ++ended;
        else if (!kinds.contains("F") || kinds.contains("X"))
            removeLog(log);
    }
}

thread_local JournalScope* t_active = nullptr;

} // namespace

namespace journal {

QString folder(const QString& dataRoot)
{
    return FileSystem::resolve(dataRoot + QStringLiteral("/Docs/.globalstab/journal"));
}

int keep()
{
    return g_keep;
}

void setKeep(int actions)
{
    g_keep = std::max(0, actions);
}

Outcome recover(const QString& dataRoot)
{
    Outcome outcome;
    const QString logs = folder(dataRoot);
    for (const QString& path : logsNewestFirst(logs)) {
        LogFile log(path);
        if (!lockLog(log))
            continue;
        const std::optional<QByteArray> data = readFile(path);
        if (!data)
            continue;
        const QList<Record> records = parseLog(*data);
        if (hasKind(records, "X") || (hasKind(records, "E") && !hasKind(records, "U")))
            continue;
        // An action that ended with an error is put back only while its files are as it
        // left them: later work on them must not be undone with it.
        if (hasKind(records, "F") && !hasKind(records, "U") && !changedSince(records).isEmpty())
            continue;
        outcome.files += rollBack(records, logs);
        outcome.actions << actionOf(records);
        append(log.fd, path, "X", {});
    }
    const QString docs = FileSystem::resolve(dataRoot + QStringLiteral("/Docs"));
    if (isFolder(docs))
        FileSystem().removeLeftovers(docs);
    return outcome;
}

Outcome undoLast(const QString& dataRoot)
{
    for (const QString& path : logsNewestFirst(folder(dataRoot))) {
        LogFile log(path);
        if (!lockLog(log))
            continue;
        const std::optional<QByteArray> data = readFile(path);
        if (!data)
            continue;
        const QList<Record> records = parseLog(*data);
        if (!hasKind(records, "E") || hasKind(records, "X"))
            continue;
        const QString changed = changedSince(records);
        if (!changed.isEmpty())
            raiseError(rt::PermissionDenied,
                       QStringLiteral("Cannot undo \"%1\": '%2' was changed since")
                           .arg(actionOf(records), changed));
        append(log.fd, path, "U", {});
        Outcome outcome;
        outcome.files = rollBack(records, QFileInfo(path).path());
        outcome.actions << actionOf(records);
        append(log.fd, path, "X", {});
        return outcome;
    }
    raiseError(rt::FileNotFound, QStringLiteral("File not found: there is no change to undo"));
}

} // namespace journal

struct JournalScope::Private
{
    QString dataRoot;
    QString action;
    bool joined = false; // an outer scope records the action
    bool failed = false;
    bool putBack = false; // rolled back while running
    bool named = false;   // the log's name is durable
    LogFile log;
    QSet<QString> recorded;
    QStringList touched;        // in the order first met
    int links = 0;              // files kept by a link, named 1 to links
    int durableLinks = 0;       // of them, those made durable
    bool keptFolderNew = false; // made since the log was last made durable
    std::optional<ObservedFileChanges> observing;
    int uncaught = 0;
    // The states of large files the action wrote, hashed on a thread of their own while the
    // action goes on, each with the file it was written to: the end takes a state only while
    // that file is still the one at its path. Where a rewrite escapes that check, the state
    // recorded is that of the bytes the action wrote, which the rewritten file does not hold:
    // an undo then refuses the file, and nothing is put back over the rewrite.
    struct EarlyState
    {
        WrittenFile file;
        std::shared_future<QByteArray> state;
    };
    QHash<QString, EarlyState> early;
    qsizetype earlyBytes = 0;

    void open()
    {
        const QString logs = journal::folder(dataRoot);
        if (!QDir().mkpath(logs))
            raiseError(
                rt::PermissionDenied,
                QStringLiteral("Permission denied: the journal '%1' cannot be made").arg(logs));
        const QStringList existing = logsNewestFirst(logs);
        int next = existing.isEmpty() ? 1 : QFileInfo(existing.first()).baseName().toInt() + 1;
        for (;; ++next) {
            log.path = paths::native::join(
                logs, QStringLiteral("%1.log").arg(next, 8, 10, QLatin1Char('0')));
            log.fd = ::open(nativeName(log.path).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
            if (log.fd >= 0 || errno != EEXIST)
                break;
        }
        if (log.fd < 0 || ::flock(log.fd, LOCK_EX) != 0)
            raiseError(rt::PermissionDenied,
                       QStringLiteral("Permission denied: the journal '%1' cannot be written")
                           .arg(log.path));
        // Flushed with the first record of a change, before that change is made.
        append(log.fd, log.path, "B", {action.toUtf8()}, {}, Flush::Later);
    }

    // The log and its name, and the files it keeps by a link, survive a crash from here on.
    void makeDurable()
    {
        const int unflushed = links - durableLinks;
        // Many kept files are made durable by one flush of their file system, which a link
        // shares with its log, so that it makes the log durable too; a few one by one after
        // the log, then the folder that names them.
        const bool flushed = unflushed > 8 && ::syncfs(log.fd) == 0;
        if (!flushed)
            flushLog(log.fd, log.path);
        if (named && unflushed == 0)
            return;
        if (!flushed && unflushed > 0) {
            const QString folder = keptFolder(log.path);
            for (int link = durableLinks + 1; link <= links; ++link)
                flushFile(folder + QLatin1Char('/') + QString::number(link));
            flushFile(folder);
        }
        durableLinks = links;
        if (!flushed && (!named || keptFolderNew))
            flushFile(QFileInfo(log.path).path());
        keptFolderNew = false;
        named = true;
    }

    static void flushFile(const QString& path)
    {
        const int fd = ::open(nativeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const bool flushed = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        // A folder that cannot be flushed names its entries no less durably than before.
        if (!flushed && !isFolder(path))
            raiseError(
                rt::PathFileAccessError,
                QStringLiteral("Path/File access error: '%1' could not be flushed").arg(path));
    }

    // Keeps the file as it is by a second link in the log's folder of kept files, where that
    // is possible: a plain file with no other link, on the log's file system. Saves replace
    // files, so the link goes on holding the bytes of before. Answers the link's name
    // relative to the folder of the logs.
    std::optional<QString> keepByLink(const QString& path)
    {
        struct stat info;
        if (::lstat(nativeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_nlink != 1)
            return std::nullopt;
        const QString folder = keptFolder(log.path);
        if (links == 0) {
            if (::mkdir(nativeName(folder).constData(), 0755) != 0 && errno != EEXIST)
                return std::nullopt;
            keptFolderNew = true;
        }
        const QString name = QString::number(links + 1);
        const QString link = folder + QLatin1Char('/') + name;
        if (::link(nativeName(path).constData(), nativeName(link).constData()) != 0)
            return std::nullopt;
        ++links;
        return QFileInfo(folder).fileName() + QLatin1Char('/') + name;
    }

    bool first(const QString& path)
    {
        if (recorded.contains(path))
            return false;
        recorded.insert(path);
        touched << path;
        return true;
    }

    void finish()
    {
        // A rename touches thousands of files: their states are read and hashed on every
        // core, then recorded in order; the first failure is raised as it would be alone.
        std::vector<QByteArray> states(size_t(touched.size()));
        std::vector<std::exception_ptr> failures(states.size());
        forEachInParallel(states.size(), 16, [&](size_t i) {
            try {
                const QString& path = touched.at(qsizetype(i));
                const auto found = early.constFind(path);
                states[i] = found != early.cend() && writtenFileAt(path) == found->file
                                ? found->state.get()
                                : stateOf(path);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
        // The states need no flush of their own: without the end record after them they
        // are not read.
        for (size_t i = 0; i < states.size(); ++i)
            append(log.fd, log.path, "H", {encodedPath(touched.at(qsizetype(i))), states[i]}, {},
                   Flush::Later);
        append(log.fd, log.path, failed ? "F" : "E", {});
    }
};

JournalScope::JournalScope(const QString& dataRoot, const QString& action)
    : d(std::make_unique<Private>())
{
    d->dataRoot = dataRoot;
    d->action = action;
    d->uncaught = std::uncaught_exceptions();
    if (t_active || dataRoot.isEmpty()) {
        d->joined = true;
        return;
    }
    t_active = this;
    d->observing.emplace(*this);
}

JournalScope::~JournalScope()
{
    if (d->joined)
        return;
    d->observing.reset();
    t_active = nullptr;
    // Unwinding means the action was cut short: it stays unfinished for the next recovery.
    if (d->log.fd < 0 || std::uncaught_exceptions() > d->uncaught)
        return;
    if (d->putBack) {
        d->log.close();
        prune(QFileInfo(d->log.path).path());
        return;
    }
    try {
        d->finish();
        d->log.close();
        prune(QFileInfo(d->log.path).path());
    } catch (const RuntimeError&) {
        // Without its end the action is put back at the next start: nothing is lost.
    }
}

int JournalScope::rollBackNow()
{
    JournalScope* owner = d->joined ? t_active : this;
    if (!owner || owner->d->log.fd < 0 || owner->d->putBack)
        return 0;
    Private& log = *owner->d;
    const std::optional<QByteArray> data = readFile(log.log.path);
    if (!data)
        return 0;
    append(log.log.fd, log.log.path, "U", {});
    const int files = rollBack(parseLog(*data), QFileInfo(log.log.path).path());
    append(log.log.fd, log.log.path, "X", {});
    log.putBack = true;
    return files;
}

void JournalScope::aboutToCommit()
{
    if (!d->joined && d->log.fd >= 0)
        d->makeDurable();
}

void JournalScope::written(const QString& path, const QByteArray& bytes, const WrittenFile& file)
{
    // Small files hash quickly at the end; the large ones hashed early stay bounded.
    constexpr qsizetype Large = 256 * 1024;
    constexpr qsizetype MostKept = 32 * 1024 * 1024;
    if (d->joined || bytes.size() < Large)
        return;
    if (const auto found = d->early.constFind(path); found != d->early.cend())
        d->earlyBytes -= found->file.size;
    if (d->earlyBytes + bytes.size() > MostKept || file.size != bytes.size()) {
        d->early.remove(path);
        return;
    }
    d->earlyBytes += bytes.size();
    d->early.insert(path, {file, std::async(std::launch::async, [bytes] {
                                     return stateOfBytes(bytes);
                                 }).share()});
}

JournalScope* JournalScope::active()
{
    return t_active;
}

void JournalScope::markFailed()
{
    d->failed = true;
}

void JournalScope::aboutToChange(DiskChange change, const QString& path, const QString& target)
{
    if (d->joined)
        return;
    if (d->log.fd < 0)
        d->open();
    switch (change) {
    case DiskChange::Replace:
    case DiskChange::Delete: {
        if (!d->first(path))
            return;
        // A batch replaces its files only after aboutToCommit(), which flushes the log.
        const bool held = change == DiskChange::Replace && WriteBatch::active();
        // A change made at once would pay for flushing a link on its own: only the saves a
        // batch holds back, made durable together, keep their file by a link.
        if (const std::optional<QString> link = held ? d->keepByLink(path) : std::nullopt) {
            append(d->log.fd, d->log.path, "L", {encodedPath(path), encodedPath(*link)}, {},
                   Flush::Later);
        } else {
            const std::optional<QByteArray> before = exists(path) ? readFile(path) : std::nullopt;
            append(d->log.fd, d->log.path, change == DiskChange::Replace ? "R" : "D",
                   {encodedPath(path), before ? QByteArray::number(before->size()) : "-1"},
                   before.value_or(QByteArray()), Flush::Later);
        }
        if (!held)
            d->makeDurable();
        break;
    }
    case DiskChange::CreateFolder:
        if (d->first(path)) {
            append(d->log.fd, d->log.path, "C", {encodedPath(path)}, {}, Flush::Later);
            d->makeDurable();
        }
        break;
    case DiskChange::MoveFolder:
        d->first(target);
        append(d->log.fd, d->log.path, "M", {encodedPath(path), encodedPath(target)}, {},
               Flush::Later);
        d->makeDurable();
        break;
    case DiskChange::SetAttributes: {
        struct stat info;
        if (::stat(nativeName(path).constData(), &info) != 0)
            break;
        append(d->log.fd, d->log.path, "A",
               {encodedPath(path), QByteArray::number(info.st_mode & 07777, 8)}, {}, Flush::Later);
        d->makeDurable();
        break;
    }
    }
}

} // namespace globalstab
