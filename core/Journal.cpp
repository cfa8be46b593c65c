#include "core/Journal.h"

#include "platform/FileSystem.h"
#include "platform/Parallel.h"
#include "platform/Paths.h"
#include "platform/Posix.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <exception>
#include <optional>
#include <vector>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace globalstab {

using namespace journal::detail;

namespace {

std::atomic<int> g_keep{5};

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString realPathOf(const QString& path)
{
    char real[PATH_MAX];
    return ::realpath(nativeName(path).constData(), real) ? QFile::decodeName(real) : QString();
}

void flushEntry(const QString& path)
{
    // A folder that cannot be flushed names its entries no less durably than before.
    if (!posix::flush(path) && !isFolder(path))
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: '%1' could not be flushed").arg(path));
}

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

} // namespace journal

struct JournalScope::Private
{
    QString dataRoot;
    QString action;
    QString rootNative; // the data root as paths below it are spelt
    QString rootReal;   // and with every link followed
    bool failed = false;
    bool putBack = false;
    bool ended = false; // nothing changed since the end was last recorded
    bool named = false; // the log's name is durable
    LogWriter log;
    QSet<QString> recorded;
    QStringList touched; // in the order first met
    QStringList dirty;   // touched paths changed since the end was last recorded
    QSet<QString> dirtySet;
    QHash<QString, QByteArray> endStates; // the states the last end recorded
    struct Written
    {
        WrittenFile file;
        QByteArray state;
    };
    QHash<QString, Written> written; // what the action last wrote to each path
    int links = 0;                   // files kept by a link, named 1 to links
    int checkedLinks = 0;            // of them, those whose K record is written
    bool keptFolderNew = false;
    std::optional<ObservedFileChanges> observing;
    int uncaught = 0;

    QString logs() const { return journal::folder(dataRoot); }

    // The path as the log names it: relative to the data root. A change outside it is
    // refused: the log could not put it back, and the write boundary forbids it anyway.
    QByteArray relative(const QString& native) const
    {
        for (const QString& root : {rootNative, rootReal})
            if (!root.isEmpty() && native.startsWith(root + QLatin1Char('/')))
                return encodedPath(native.mid(root.size() + 1));
        const QString real = realPathOf(QFileInfo(native).path());
        if (!rootReal.isEmpty() && real.startsWith(rootReal + QLatin1Char('/')))
            return encodedPath(real.mid(rootReal.size() + 1) + QLatin1Char('/') +
                               QFileInfo(native).fileName());
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' is outside the data root '%2'")
                       .arg(native, dataRoot));
    }

    void open()
    {
        log.create(logs(), action);
        named = false;
    }

    // The log, and what it keeps by links, survive a crash from here on.
    void makeDurable()
    {
        checkKeptLinks();
        log.sync();
        if (keptFolderNew || links > 0)
            flushEntry(keptFolder(log.path()));
        if (!named || keptFolderNew)
            flushEntry(logs());
        keptFolderNew = false;
        named = true;
    }

    // What each new link holds, so that a damaged copy is never put back; read on every core.
    void checkKeptLinks()
    {
        const int from = checkedLinks;
        if (from == links)
            return;
        const QString folder = keptFolder(log.path());
        std::vector<std::pair<qint64, QByteArray>> states(size_t(links - from));
        std::vector<std::exception_ptr> failures(states.size());
        forEachInParallel(states.size(), 8, [&](size_t i) {
            try {
                const std::optional<QByteArray> bytes =
                    readFile(folder + QLatin1Char('/') + QString::number(from + int(i) + 1));
                states[i] = bytes ? std::pair(qint64(bytes->size()), stateOfBytes(*bytes))
                                  : std::pair(qint64(-1), QByteArray("absent"));
            } catch (...) {
                failures[i] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
        for (size_t i = 0; i < states.size(); ++i)
            log.append("K", {linkName(from + int(i) + 1), QByteArray::number(states[i].first),
                             states[i].second});
        checkedLinks = links;
    }

    QByteArray linkName(int link) const
    {
        return encodedPath(QFileInfo(keptFolder(log.path())).fileName() + QLatin1Char('/') +
                           QString::number(link));
    }

    // Keeps the file as it is by a second link in the log's folder of kept files, where that
    // is possible: a plain file with no other link, on the log's file system. Saves replace
    // files, so the link goes on holding the bytes of before.
    std::optional<QByteArray> keepByLink(const QString& path)
    {
        struct stat info;
        if (::lstat(nativeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_nlink != 1)
            return std::nullopt;
        const QString folder = keptFolder(log.path());
        if (links == 0) {
            if (::mkdir(nativeName(folder).constData(), 0755) != 0 && errno != EEXIST)
                return std::nullopt;
            keptFolderNew = true;
        }
        const QString link = folder + QLatin1Char('/') + QString::number(links + 1);
        if (::link(nativeName(path).constData(), nativeName(link).constData()) != 0)
            return std::nullopt;
        ++links;
        return linkName(links);
    }

    bool first(const QString& path)
    {
        markDirty(path);
        if (recorded.contains(path))
            return false;
        recorded.insert(path);
        touched << path;
        return true;
    }

    void markDirty(const QString& path)
    {
        if (!dirtySet.contains(path)) {
            dirtySet.insert(path);
            dirty << path;
        }
    }

    void recordEnd()
    {
        if (!log.isOpen() || ended)
            return;
        // Each end records only what changed since the last one, so that an action telling
        // the user many things does not read its files again each time. A rename touches
        // thousands of files: what the action wrote is known already, and only a file
        // rewritten since by other means is read again, on every core.
        std::vector<QByteArray> states(size_t(dirty.size()));
        std::vector<std::exception_ptr> failures(states.size());
        forEachInParallel(states.size(), 16, [&](size_t i) {
            try {
                const QString& path = dirty.at(qsizetype(i));
                const auto found = written.constFind(path);
                states[i] = found != written.cend() && writtenFileAt(path) == found->file
                                ? found->state
                                : stateOf(path);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
        checkKeptLinks();
        for (size_t i = 0; i < states.size(); ++i) {
            const QString& path = dirty.at(qsizetype(i));
            QByteArray& last = endStates[path];
            if (last != states[i])
                log.append("H", {relative(path), states[i]});
            last = states[i];
        }
        log.append(failed ? "F" : "E", {});
        log.sync();
        if (!named)
            flushEntry(logs());
        named = true;
        ended = true;
        dirty.clear();
        dirtySet.clear();
    }

    void recordWritten(const QString& path, const QByteArray& bytes, const WrittenFile& file);
    void recordChange(DiskChange change, const QString& path, const QString& target);

    void changing()
    {
        if (!log.isOpen())
            open();
        ended = false;
    }
};

JournalScope::JournalScope(const QString& dataRoot, const QString& action)
    : d(std::make_unique<Private>())
{
    d->dataRoot = dataRoot;
    d->action = action;
    d->rootNative = withoutTrailingSlash(FileSystem::resolve(dataRoot));
    d->rootReal = realPathOf(d->rootNative);
    d->uncaught = std::uncaught_exceptions();
    d->observing.emplace(*this);
}

JournalScope::~JournalScope()
{
    d->observing.reset();
    if (!d->log.isOpen())
        return;
    // Unwinding means the action was cut short: it stays unfinished for the next recovery.
    if (std::uncaught_exceptions() > d->uncaught)
        return;
    try {
        if (!d->putBack)
            d->recordEnd();
        d->log.close();
        prune(d->logs(), g_keep);
    } catch (const RuntimeError&) {
        // Without its end the action is put back at the next start: nothing is lost.
    }
}

void JournalScope::markFailed()
{
    d->failed = true;
}

void JournalScope::recordEnd()
{
    if (!d->putBack)
        d->recordEnd();
}

void JournalScope::abandonLog()
{
    if (!d->log.isOpen())
        return;
    const QString path = d->log.path();
    d->log.close();
    removeLog(path);
    d->putBack = true; // nothing more is recorded
}

int JournalScope::rollBackNow()
{
    if (!d->log.isOpen() || d->putBack)
        return 0;
    d->log.sync();
    const QString path = d->log.path();
    d->log.close();
    d->putBack = true;
    LogWriter log;
    const std::optional<QByteArray> bytes = readFile(path);
    const ParsedLog parsed = parseLog(bytes.value_or(QByteArray()));
    if (!parsed.trusted())
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: the journal '%1' cannot be read (%2)")
                       .arg(path, parsed.problem));
    log.reopen(path, parsed);
    log.append("U", {});
    log.sync();
    const int files = journal::detail::rollBackAll(d->dataRoot, path);
    log.append("X", {});
    log.sync();
    return files;
}

void JournalScope::noteSkipped(const QString& nativePath, const QString& reason)
{
    if (d->log.isOpen() && !d->putBack)
        d->log.append("S", {d->relative(nativePath), reason.toUtf8().toPercentEncoding(" ")});
}

namespace {
// Runs a step of the recorder; whatever stops it stops the change as a JournalFailure.
template <typename Step> void recording(Step step)
{
    try {
        step();
    } catch (const JournalFailure&) {
        throw;
    } catch (const RuntimeError& error) {
        throw JournalFailure(error.number(), error.description());
    }
}
} // namespace

void JournalScope::aboutToCommit()
{
    recording([&] {
        if (d->log.isOpen() && !d->putBack)
            d->makeDurable();
    });
}

void JournalScope::written(const QString& path, const QByteArray& bytes, const WrittenFile& file)
{
    recording([&] { d->recordWritten(path, bytes, file); });
}

void JournalScope::aboutToChange(DiskChange change, const QString& path, const QString& target)
{
    recording([&] { d->recordChange(change, path, target); });
}

void JournalScope::Private::recordWritten(const QString& path, const QByteArray& bytes,
                                          const WrittenFile& file)
{
    if (!log.isOpen() || putBack)
        return;
    const QByteArray state = stateOfBytes(bytes);
    written.insert(path, {file, state});
    markDirty(path);
    log.append("W", {relative(path), state});
    // A save made at once takes its place as soon as this returns.
    if (!WriteBatch::active())
        log.push();
}

void JournalScope::Private::recordChange(DiskChange change, const QString& path,
                                         const QString& target)
{
    if (putBack)
        return;
    const QByteArray name = relative(path);
    changing();
    switch (change) {
    case DiskChange::Replace:
    case DiskChange::Delete: {
        if (!first(path))
            return;
        // A batch replaces its files only after aboutToCommit(), which makes the log durable.
        const bool held = change == DiskChange::Replace && WriteBatch::active();
        // A change made at once would pay for flushing a link on its own: only the saves a
        // batch holds back, made durable together, keep their file by a link.
        if (const std::optional<QByteArray> link = held ? keepByLink(path) : std::nullopt) {
            log.append("L", {name, *link});
        } else {
            const std::optional<QByteArray> before = exists(path) ? readFile(path) : std::nullopt;
            log.append(change == DiskChange::Replace ? "R" : "D",
                       {name, before ? QByteArray::number(before->size()) : "-1"},
                       before.value_or(QByteArray()));
        }
        if (!held)
            makeDurable();
        break;
    }
    case DiskChange::CreateFolder:
        if (first(path)) {
            log.append("C", {name});
            makeDurable();
        }
        break;
    case DiskChange::MoveFolder: {
        // Whatever was recorded below either end now names something else.
        const QString from = path + QLatin1Char('/');
        const QString to = target + QLatin1Char('/');
        for (const QString& earlier : std::as_const(touched))
            if (earlier.startsWith(from) || earlier.startsWith(to))
                markDirty(earlier);
        markDirty(path);
        first(target);
        log.append("M", {name, relative(target)});
        makeDurable();
        break;
    }
    case DiskChange::SetAttributes: {
        markDirty(path);
        struct stat info;
        if (::stat(nativeName(path).constData(), &info) != 0)
            break;
        log.append("A", {name, QByteArray::number(info.st_mode & 07777, 8)});
        makeDurable();
        break;
    }
    }
}

} // namespace globalstab
