#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The format of a journal log and the file operations its recorder and its recovery share.
// Internal to the core library.
//
// A log is a sequence of records, each a header line "KIND\tfield...\tLENGTH\tCHECK\n" and
// LENGTH bytes of payload. CHECK is a 64-bit FNV-1a hash of the header line before it and of
// the payload, seeded by the random nonce that the first record, "B\t3\tNONCE\taction",
// carries: a record of another log, a torn write or a flipped byte does not check. Paths are
// relative to the data root and percent-encoded; a log names nothing outside its data root.
//
//   B 3 nonce action   the action began (format 3)
//   R path n  bytes    a file is replaced; its bytes before (n = -1: there was none)
//   D path n  bytes    a file is deleted; its bytes before
//   L path link        a file is replaced; its bytes before are kept by a second link (a
//                      name relative to the folder of the logs: "<log>.kept/<number>")
//   K link size state  what a kept link holds, recorded before the file is replaced
//   W path state       what the action wrote to path, recorded before the file takes its place
//   C path             a folder is created
//   M from to          a folder is moved
//   A path mode        permission bits change; the bits before
//   S path reason      a document the action left as it was, because it could not be read
//   H path state       the state the action left (a hash, "absent" or "folder")
//   E / F              the action ended / ended with an error reported; changes may follow
//                      when the action went on after a message (the end is recorded again)
//   U / X              an undo began / the action was put back

namespace globalstab::journal::detail {

struct Record
{
    QByteArray kind;
    QList<QByteArray> fields;
    QByteArrayView payload; // into the log's bytes, which outlive the records
};

struct ParsedLog
{
    QByteArray bytes;
    QList<Record> records;
    QString problem; // why the log cannot be trusted; empty when it can
    bool trusted() const { return problem.isEmpty(); }
};

// Reads the records of a log. A record cut short at the end (a crash while it was written)
// ends the log: the change it described was never made. Anything else that does not check
// makes the whole log untrusted.
ParsedLog parseLog(QByteArray bytes);

// Appends records to a log; what is appended reaches the file at push() or sync().
class LogWriter
{
public:
    LogWriter() = default;
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Creates a new log in folder with the next free number and records its beginning.
    void create(const QString& folder, const QString& action);
    // Opens an existing log to append to it, with the nonce its first record carries.
    void reopen(const QString& path, const ParsedLog& log);
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    int fd() const { return m_fd; }

    void append(const QByteArray& kind, const QList<QByteArray>& fields,
                QByteArrayView payload = {});
    // Writes what waits to the file (a killed process loses nothing of it from then on).
    void push();
    // And makes it durable.
    void sync();
    void close();

private:
    QString m_path;
    int m_fd = -1;
    quint64 m_nonce = 0;
    QByteArray m_pending;
};

QByteArray encodedPath(const QString& relative);
// The path a field names below the data root, when it is a plain relative path that stays
// inside it (links followed); nullopt for anything else.
std::optional<QString> containedPath(const QString& dataRoot, const QByteArray& field);

QByteArray stateOfBytes(QByteArrayView bytes);
// "folder", "absent" or the hash of the bytes at path.
QByteArray stateOf(const QString& path);
bool exists(const QString& path);
bool isFolder(const QString& path);
std::optional<QByteArray> readFile(const QString& path);
// Puts bytes back in place whole: a temporary file beside the target, renamed over it.
void restoreFile(const QString& path, QByteArrayView bytes);

QString keptFolder(const QString& log);
QStringList logsNewestFirst(const QString& folder);
// The kinds of a log's records, read header by header without the payloads.
QList<QByteArray> kindsOf(const QString& path);
bool isChange(QByteArrayView kind);
bool isEnd(QByteArrayView kind);
// Whether a log's action reached its end after its last change (or made none), by the kinds
// of its records: notes that follow an end do not undo it.
bool endedByKinds(const QList<QByteArray>& kinds);
void removeLog(const QString& log);
// Removes the logs no undo needs: put back, or ended beyond the newest `keep`.
void prune(const QString& folder, int keep);

// Puts back every change of a trusted log, newest first, whatever its files hold now (a
// cancel, while the action still owns them); answers how many files and folders.
int rollBackAll(const QString& dataRoot, const QString& logPath);

} // namespace globalstab::journal::detail
