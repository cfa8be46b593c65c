#pragma once

#include <globalstab/Folder.h>

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace globalstab {

namespace textCodec {
enum class Encoding; // platform/TextCodec.h
}

// The file-system object: the operations the component needs, on paths as the component
// builds them. "\" and "/" both separate, doubled separators count as one, and a path
// component without an exact match is matched ignoring letter case.
//
// Attributes on Linux:
//  - ReadOnly (1): no write permission bits. Honoured by this layer itself before a write,
//    a rename over or a delete, because root (tests, CI) ignores permission bits. A
//    read-only folder takes no new, renamed or removed entries.
//  - Hidden (2): the name starts with "."; reported only, never set.
//  - System (4): never reported; setting it is ignored.
//  - Archive (32): the sticky bit, which Linux ignores on regular files.
class FileSystem
{
public:
    enum Attribute
    {
        Normal = 0,
        ReadOnly = 1,
        Hidden = 2,
        System = 4,
        Directory = 16,
        Archive = 32,
    };

    // The native path for a component path; parts that do not exist yet keep their case.
    static QString resolve(const QString& path);
    // The native path that names an entry exactly as the path is spelt: separators made
    // "/", empty parts dropped. Empty for a path with "." or ".." parts, which only
    // resolve() takes apart, and for an empty one.
    static QString asSpelt(const QString& path);

    // What follows the last "\" or "/" of a path; the whole text when it has neither.
    static QString GetFileName(const QString& path);

    // True for the name of a temporary file that a save writes beside its target and renames
    // over it: ".globalstab-<random>.part", which holds no page or document extension.
    static bool isLeftover(const QString& name);

    // The root of the write boundary of this thread; empty when none is set.
    static QString writeBoundary();

    // True when path is folder or lies below it, after resolving links; both must exist.
    static bool IsWithin(const QString& path, const QString& folder);

    bool FileExists(const QString& path) const;
    bool FolderExists(const QString& path) const;
    // Raises 58 when it exists, 76 when its parent is missing.
    void CreateFolder(const QString& path) const;
    // Raises 53 for a missing source, 58 when the target exists and overwrite is false,
    // 70 when the target is read-only.
    void CopyFile(const QString& source, const QString& destination, bool overwrite) const;
    // Copies a folder tree into destination (created when missing, its parent must exist),
    // overwriting files of the same names. Raises 76 for a missing source.
    void CopyFolder(const QString& source, const QString& destination) const;
    // Raises 53 when missing, 70 when read-only and not forced.
    void DeleteFile(const QString& path, bool force = false) const;
    // Raises 76 when missing.
    Folder GetFolder(const QString& path) const;
    // Deletes the temporary files that interrupted saves left in folder and the folders
    // below it (links to folders are not followed) and answers how many. Nothing else is
    // touched. Raises 76 when folder is missing.
    int removeLeftovers(const QString& folder) const;
    int GetAttributes(const QString& path) const;
    void SetAttributes(const QString& path, int attributes) const;

    // OpenTextFile + ReadAll: by byte-order mark (UTF-16LE, UTF-16BE, UTF-8), else UTF-16
    // without a mark when its zero bytes show it, else UTF-8 when valid, else Windows-1252.
    // detected, when given, receives the encoding found, for WriteAllText. Raises 53 when
    // missing, 62 ("Input past end of file") for an empty file, as the classic text stream
    // does.
    QString ReadAllText(const QString& path, textCodec::Encoding* detected = nullptr) const;
    // CreateTextFile(overwrite, Unicode) + Write + Close: UTF-16LE with a byte-order mark,
    // written to a temporary file beside the target and renamed over it.
    // Raises 70 when the target is read-only.
    void WriteAllText(const QString& path, const QString& text) const;
    // The same for a text that ReadAllText read as readAs: UTF-16 without a byte-order mark
    // is written back as it was, in its byte order; any other as above.
    void WriteAllText(const QString& path, const QString& text, textCodec::Encoding readAs) const;
};

// Confines the writes of the calling thread to a data root for as long as it lives; the one
// set before is back when it ends. While a boundary is set, every operation of this layer
// that writes, creates, renames, moves or deletes (atomicWriteFile and so XmlDocument::save,
// WriteAllText, CopyFile, CopyFolder, CreateFolder, DeleteFile, SetAttributes,
// removeLeftovers, Folder::Move at both ends) first resolves its target as the system will
// take it: "." and "..", and every symbolic link on the way, the last component included,
// for as far as the path exists. When the result lies outside the root it raises run-time
// error 70, "Permission denied: '<path>' is outside the data root '<root>'", before anything
// is touched. Reads are not confined. Without a boundary nothing is checked.
//
// A caller sets it around whatever runs on a project, on the thread that runs it:
//     const WriteBoundary boundary(dataRoot); // e.g. GetPXServer's answer
//     rewritePageTokens(...);
// Checking before writing leaves a race open to whoever can change the links under the root
// in the meantime; it keeps out paths that lead outside, not a hostile local process.
class WriteBoundary
{
public:
    explicit WriteBoundary(const QString& root);
    ~WriteBoundary();
    WriteBoundary(const WriteBoundary&) = delete;
    WriteBoundary& operator=(const WriteBoundary&) = delete;

    // The root as given.
    QString root() const { return m_root; }
    // True when the resolved target of nativePath lies within the root.
    bool allows(const QString& nativePath) const;

private:
    const WriteBoundary* m_previous;
    QString m_root;
    QString m_realRoot; // every link followed; empty when they loop
};

// Writes data to a temporary file beside nativePath and renames it over the target.
// On any failure the target is left as it was and a RuntimeError is raised.
void atomicWriteFile(const QString& nativePath, const QByteArray& data);
// True when the regular file at nativePath holds exactly bytes, as on disk now.
bool fileHolds(const QString& nativePath, QByteArrayView bytes);

// Makes the saves of the calling thread durable together while it lives: each save writes
// its temporary file at once (every check is made then, and a failure is raised there), but
// the file is renamed over its target only at commit(), after one flush of the whole file
// system (syncfs) instead of one fsync per file, and the touched folders are flushed after
// the renames the same way. Eight files or folders or fewer are flushed one by one; a file
// that fails to flush is not renamed, and the commit raises its error. A file is replaced at most
// once per commit: saving it again replaces the waiting temporary file.
//
// What the layer does itself sees the saves as made: any other operation on a waiting
// target (a read, a delete, a copy, attributes, a walk of a folder a new file waits in, a
// folder move) commits first, and FileExists answers true for a waiting new file. Code that
// reads files past this layer (another process, a host) must see them committed: call
// commit() before handing control away.
//
// Scopes nest; an inner one joins the outer. Leaving the scope commits; leaving it by an
// exception, or a commit there that fails, drops the waiting files instead and leaves every
// target as it was: a destructor raises nothing, so commit() first to learn of a failure.
class WriteBatch
{
public:
    WriteBatch();
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Renames every waiting file over its target, in the order they were first saved.
    // Raises the error of the first rename that fails; the files after it are dropped.
    void commit();
    // Drops every waiting file: their targets stay as they are.
    void discard();
    // How many files wait for the commit.
    int pending() const;

    // The batch of the calling thread, if any.
    static WriteBatch* active();
    // Commits the active batch, if any.
    static void commitActive();
    // Commits the active batch first when a save of nativePath waits in it: for a reader
    // that goes past this layer.
    static void settle(const QString& nativePath);
    // True when a save of nativePath waits in the active batch.
    static bool waits(const QString& nativePath);

    struct Private;

private:
    std::unique_ptr<Private> d;
    bool m_joined = false;
    int m_uncaught = 0;
};

} // namespace globalstab
