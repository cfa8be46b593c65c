// Recovery and undo: reading logs back, as untrusted input, and putting their changes back.
#include "core/Journal.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <filesystem>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace globalstab {

using namespace journal::detail;

namespace {

QByteArray nativeName(const QString& path)
{
    return QFile::encodeName(path);
}

QString actionOf(const ParsedLog& log)
{
    return QUrl::fromPercentEncoding(log.records.first().fields.value(2));
}

// A log whose every path is checked: plain, relative, and inside the data root.
struct CheckedLog
{
    ParsedLog log;
    QString path;
    QHash<QByteArray, QString> natives;                    // path field -> native path
    QHash<QByteArray, QSet<QByteArray>> leftStates;        // states the action wrote or left
    QHash<QByteArray, std::pair<qint64, QByteArray>> kept; // link -> size and state
    QString problem;
};

CheckedLog checkLog(const QString& dataRoot, const QString& path)
{
    CheckedLog checked;
    checked.path = path;
    std::optional<QByteArray> bytes;
    try {
        bytes = readFile(path);
    } catch (const RuntimeError& error) {
        checked.problem = error.description();
        return checked;
    }
    checked.log = parseLog(bytes.value_or(QByteArray()));
    if (!checked.log.trusted()) {
        checked.problem = checked.log.problem;
        return checked;
    }
    const QRegularExpression linkName(
        QStringLiteral("^%1\\.kept/[0-9]+$")
            .arg(QRegularExpression::escape(QFileInfo(path).fileName())));
    const auto pathField = [&](const QByteArray& field) {
        if (checked.natives.contains(field))
            return true;
        const std::optional<QString> native = containedPath(dataRoot, field);
        if (!native) {
            checked.problem = QStringLiteral("it names '%1', which is not a path inside the "
                                             "data root")
                                  .arg(QString::fromUtf8(field));
            return false;
        }
        checked.natives.insert(field, *native);
        return true;
    };
    const auto linkField = [&](const QByteArray& field) {
        if (linkName.match(QString::fromUtf8(QByteArray::fromPercentEncoding(field))).hasMatch())
            return true;
        checked.problem =
            QStringLiteral("it names '%1' as a kept copy").arg(QString::fromUtf8(field));
        return false;
    };
    for (const Record& record : checked.log.records) {
        const QByteArray& kind = record.kind;
        const auto needs = [&](qsizetype count) {
            if (record.fields.size() >= count)
                return true;
            checked.problem =
                QStringLiteral("a record '%1' is incomplete").arg(QString::fromUtf8(kind));
            return false;
        };
        bool ok = true;
        if (kind == "R" || kind == "D" || kind == "W" || kind == "A" || kind == "H" || kind == "S")
            ok = needs(2) && pathField(record.fields.at(0));
        else if (kind == "C")
            ok = needs(1) && pathField(record.fields.at(0));
        else if (kind == "M")
            ok = needs(2) && pathField(record.fields.at(0)) && pathField(record.fields.at(1));
        else if (kind == "L")
            ok = needs(2) && pathField(record.fields.at(0)) && linkField(record.fields.at(1));
        else if (kind == "K")
            ok = needs(3) && linkField(record.fields.at(0));
        if (!ok)
            return checked;
        if (kind == "W" || kind == "H")
            checked.leftStates[record.fields.at(0)].insert(record.fields.at(1));
        else if (kind == "D")
            checked.leftStates[record.fields.at(0)].insert("absent");
        else if (kind == "K")
            checked.kept.insert(record.fields.at(0),
                                {record.fields.at(1).toLongLong(), record.fields.at(2)});
    }
    return checked;
}

// Puts back the changes of records [from, end) newest first. Each step is safe to repeat, so
// a putting back cut short is simply done again. With `guard`, a file that holds neither what
// it held before nor anything the action left there was changed by someone since: it stays.
int rollBack(const CheckedLog& log, qsizetype from, bool guard, journal::Outcome& outcome,
             const QString& dataRoot)
{
    const QString logs = QFileInfo(log.path).path();
    const QString root = FileSystem::resolve(dataRoot);
    const auto relativeName = [&](const QString& native) {
        return QDir(root).relativeFilePath(native);
    };
    int files = 0;
    const QList<Record>& records = log.log.records;
    for (qsizetype i = records.size() - 1; i >= from; --i) {
        const Record& record = records.at(i);
        if (!isChange(record.kind))
            continue;
        const QByteArray field = record.fields.at(0);
        const QString path = log.natives.value(field);
        const QSet<QByteArray> left = log.leftStates.value(field);
        // Without a record of what the action wrote (a copy), what is there is taken as its.
        const auto changedSince = [&](const QByteArray& now) {
            return guard && !left.isEmpty() && !left.contains(now);
        };
        if (record.kind == "R" || record.kind == "D") {
            const bool absent = record.fields.value(1) == "-1";
            const QByteArray before = absent ? QByteArray("absent") : stateOfBytes(record.payload);
            const QByteArray now = stateOf(path);
            ++files;
            if (now == before)
                continue;
            if (now == "folder" || changedSince(now)) {
                outcome.kept << relativeName(path);
                continue;
            }
            if (absent)
                ::unlink(nativeName(path).constData());
            else
                restoreFile(path, record.payload);
        } else if (record.kind == "L") {
            const auto found = log.kept.constFind(record.fields.at(1));
            if (found == log.kept.cend())
                continue; // the file was never replaced: its link was not yet checked
            ++files;
            const QString keptPath = paths::native::join(
                logs, QString::fromUtf8(QByteArray::fromPercentEncoding(record.fields.at(1))));
            const std::optional<QByteArray> bytes =
                exists(keptPath) ? readFile(keptPath) : std::nullopt;
            const QByteArray now = stateOf(path);
            if (now == found->second)
                continue;
            if (!bytes || bytes->size() != found->first || stateOfBytes(*bytes) != found->second) {
                outcome.kept << relativeName(path) + QStringLiteral(" (its kept copy is damaged)");
                continue;
            }
            if (now == "folder" || changedSince(now)) {
                outcome.kept << relativeName(path);
                continue;
            }
            restoreFile(path, *bytes);
        } else if (record.kind == "C") {
            if (isFolder(path) && ::rmdir(nativeName(path).constData()) == 0)
                ++files;
        } else if (record.kind == "M") {
            const QString to = log.natives.value(record.fields.value(1));
            if (exists(to) && !exists(path) &&
                ::rename(nativeName(to).constData(), nativeName(path).constData()) == 0)
                ++files;
        } else if (record.kind == "A") {
            bool ok = false;
            const mode_t mode = mode_t(record.fields.value(1).toUInt(&ok, 8));
            if (ok && exists(path))
                ::chmod(nativeName(path).constData(), mode & 07777);
        }
    }
    return files;
}

// A log that cannot be trusted is moved out of the way, so that nothing reads it again.
QString setAside(const QString& path, const QString& problem)
{
    QString aside = path + QStringLiteral(".bad");
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".bad%1").arg(n);
    QFile::rename(path, aside);
    return QStringLiteral("%1 (%2)").arg(QFileInfo(aside).fileName(), problem);
}

// The states the action left in every file it touched, after recovery put back its last part.
void recordEndAgain(const CheckedLog& log, LogWriter& writer)
{
    QSet<QByteArray> seen;
    for (const Record& record : log.log.records) {
        if (!isChange(record.kind))
            continue;
        for (const QByteArray& field :
             record.kind == "M" ? record.fields.mid(0, 2) : record.fields.mid(0, 1)) {
            if (seen.contains(field))
                continue;
            seen.insert(field);
            writer.append("H", {field, stateOf(log.natives.value(field))});
        }
    }
    writer.append(log.log.records.last().kind == "F" ? "F" : "E", {});
}

} // namespace

namespace journal {

namespace detail {

int rollBackAll(const QString& dataRoot, const QString& logPath)
{
    CheckedLog checked = checkLog(dataRoot, logPath);
    if (!checked.problem.isEmpty())
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: the journal '%1' cannot be used (%2)")
                       .arg(logPath, checked.problem));
    Outcome ignored;
    return rollBack(checked, 0, false, ignored, dataRoot);
}

} // namespace detail

Outcome recover(const QString& dataRoot)
{
    Outcome outcome;
    for (const QString& path : logsNewestFirst(folder(dataRoot))) {
        // Ended logs, put back or not, wait for undo and pruning; only the others are read.
        const QList<QByteArray> kinds = kindsOf(path);
        if (!kinds.isEmpty() && kinds.first() == "B" &&
            (kinds.contains("X") || (!kinds.contains("U") && endedByKinds(kinds))))
            continue;
        const CheckedLog log = checkLog(dataRoot, path);
        if (!log.problem.isEmpty()) {
            outcome.setAside << setAside(path, log.problem);
            continue;
        }
        const QList<Record>& records = log.log.records;
        qsizetype lastEnd = -1;
        bool putBack = false;
        bool undoing = false;
        for (qsizetype i = 0; i < records.size(); ++i) {
            if (isEnd(records.at(i).kind))
                lastEnd = i;
            putBack = putBack || records.at(i).kind == "X";
            undoing = undoing || records.at(i).kind == "U";
        }
        if (putBack)
            continue;
        // An undo cut short is done again, whole; an action, from its last recorded end.
        const qsizetype from = undoing ? 0 : lastEnd + 1;
        const bool changed =
            std::any_of(records.begin() + from, records.end(),
                        [](const Record& record) { return isChange(record.kind); });
        if (!changed)
            continue;
        outcome.files += rollBack(log, from, !undoing, outcome, dataRoot);
        outcome.actions << actionOf(log.log);
        LogWriter writer;
        writer.reopen(path, log.log);
        if (from == 0)
            writer.append("X", {});
        else
            recordEndAgain(log, writer);
        writer.sync();
    }
    sweepLeftovers(dataRoot);
    prune(folder(dataRoot), keep());
    return outcome;
}

Outcome undoLast(const QString& dataRoot)
{
    for (const QString& path : logsNewestFirst(folder(dataRoot))) {
        const CheckedLog log = checkLog(dataRoot, path);
        if (!log.problem.isEmpty())
            raiseError(rt::PermissionDenied,
                       QStringLiteral("Cannot undo: the journal '%1' cannot be trusted (%2)")
                           .arg(path, log.problem));
        const QList<Record>& records = log.log.records;
        const bool putBack = std::any_of(records.begin(), records.end(),
                                         [](const Record& record) { return record.kind == "X"; });
        QList<QByteArray> kinds;
        for (const Record& record : records)
            kinds << record.kind;
        if (putBack || !endedByKinds(kinds))
            continue;
        // The latest state each file was left in must still be there.
        QHash<QByteArray, QByteArray> leftLast;
        for (const Record& record : records)
            if (record.kind == "H")
                leftLast.insert(record.fields.at(0), record.fields.at(1));
        for (auto it = leftLast.cbegin(); it != leftLast.cend(); ++it)
            if (stateOf(log.natives.value(it.key())) != it.value())
                raiseError(rt::PermissionDenied,
                           QStringLiteral("Cannot undo \"%1\": '%2' was changed since")
                               .arg(actionOf(log.log), log.natives.value(it.key())));
        LogWriter writer;
        writer.reopen(path, log.log);
        writer.append("U", {});
        writer.sync();
        Outcome outcome;
        outcome.files = rollBack(log, 0, false, outcome, dataRoot);
        outcome.actions << actionOf(log.log);
        writer.append("X", {});
        writer.sync();
        return outcome;
    }
    raiseError(rt::FileNotFound, QStringLiteral("File not found: there is no change to undo"));
}

bool interrupted(const QString& dataRoot)
{
    for (const QString& path : logsNewestFirst(folder(dataRoot))) {
        const QList<QByteArray> kinds = kindsOf(path);
        if (kinds.isEmpty() || kinds.first() != "B")
            return true;
        if (kinds.contains("X"))
            continue;
        if (!endedByKinds(kinds))
            return true;
    }
    return false;
}

int sweepLeftovers(const QString& dataRoot)
{
    namespace fs = std::filesystem;
    const fs::path docs(
        nativeName(FileSystem::resolve(dataRoot + QStringLiteral("/Docs"))).toStdString());
    std::error_code error;
    fs::recursive_directory_iterator it(docs, fs::directory_options::skip_permission_denied, error);
    int removed = 0;
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const QString name = QFile::decodeName(it->path().filename().c_str());
        std::error_code ignored;
        if (FileSystem::isLeftover(name) && it->is_regular_file(ignored) &&
            !it->is_symlink(ignored) && fs::remove(it->path(), ignored))
            ++removed;
    }
    return removed;
}

} // namespace journal

} // namespace globalstab
