#include "cli/Changes.h"

#include "cli/DocumentFacts.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <filesystem>

#include <sys/stat.h>

namespace globalstab::cli {

namespace {

namespace fs = std::filesystem;

const QString JournalFolder = QStringLiteral("Docs/.globalstab");

// An entry of a tree as the disk has it: a rewrite makes a new file (a new inode), and a
// moved folder keeps its inode.
struct Entry
{
    bool folder = false;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool sameFile(const Entry& other) const
    {
        return inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
    }
};

using Tree = QMap<QString, Entry>; // by path relative to the root, in name order

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Every file and folder below root's Docs, the journal's folder left out.
Tree scan(const QString& root)
{
    Tree tree;
    const fs::path top(encoded(root).toStdString());
    std::error_code error;
    fs::recursive_directory_iterator it(top / "Docs", error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const QString relative = QFile::decodeName(
            QByteArray::fromStdString(it->path().lexically_relative(top).generic_string()));
        if (relative == JournalFolder) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat info;
        if (::lstat(it->path().c_str(), &info) != 0)
            continue;
        tree.insert(relative, {S_ISDIR(info.st_mode), quint64(info.st_ino), qint64(info.st_size),
                               qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec});
    }
    return tree;
}

void copyDocs(const QString& root, const QString& copyRoot, bool withJournal)
{
    const fs::path from = fs::path(encoded(root).toStdString()) / "Docs";
    const fs::path to = fs::path(encoded(copyRoot).toStdString()) / "Docs";
    try {
        fs::create_directory(to);
        for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
            if (!withJournal && entry.path().filename() == ".globalstab")
                continue;
            fs::copy(entry.path(), to / entry.path().filename(),
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        }
    } catch (const fs::filesystem_error& error) {
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: the data root cannot be copied for "
                                  "the dry run (%1)")
                       .arg(QString::fromLocal8Bit(error.what())));
    }
}

bool isPage(const QString& path)
{
    return QFileInfo(path).fileName().contains(QLatin1String(".htm"), Qt::CaseInsensitive);
}

} // namespace

PlannedChange describeFileChange(const QString& relativePath, const QString& beforeNative,
                                 const QString& afterNative)
{
    const FileFacts before =
        beforeNative.isEmpty() ? FileFacts() : factsOf(relativePath, beforeNative);
    const FileFacts after =
        afterNative.isEmpty() ? FileFacts() : factsOf(relativePath, afterNative);
    PlannedChange change;
    change.path = relativePath;
    change.bytesBefore = before.size;
    change.bytesAfter = after.size;
    if (before.exists && after.exists) {
        change.action = QStringLiteral("replace");
        change.details = changesBetween(before, after);
    } else if (after.exists) {
        change.action = QStringLiteral("create");
        if (!isPage(relativePath) && !after.said.isEmpty())
            change.details = QStringList{QStringLiteral("created, %1 bytes").arg(after.size)} +
                             changesBetween(before, after);
    } else if (before.exists) {
        change.action = QStringLiteral("delete");
    }
    return change;
}

QList<PlannedChange> planOnCopy(const QString& dataRoot, bool withJournal,
                                const std::function<void(const QString& copyRoot)>& operation)
{
    const QString root = QDir(dataRoot).absolutePath();
    QTemporaryDir copy(QDir::tempPath() + QStringLiteral("/globalstab-dry-run-XXXXXX"));
    if (!copy.isValid())
        raiseError(rt::PathFileAccessError,
                   QStringLiteral("Path/File access error: no temporary folder for the dry run"));
    const QString copyRoot = copy.path();
    copyDocs(root, copyRoot, withJournal);
    const Tree before = scan(copyRoot);
    operation(copyRoot + QLatin1Char('/'));
    const Tree after = scan(copyRoot);

    // Folders that left their place and turn up elsewhere with the same inode were moved;
    // only the outermost of them is told.
    QHash<quint64, QString> gone;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (it->folder && !after.contains(it.key()))
            gone.insert(it->inode, it.key());
    QList<std::pair<QString, QString>> moves; // from, to
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!it->folder || before.contains(it.key()) || !gone.contains(it->inode))
            continue;
        const QString from = gone.value(it->inode);
        const bool inner = std::any_of(moves.begin(), moves.end(), [&](const auto& move) {
            return it.key().startsWith(move.second + QLatin1Char('/')) &&
                   from.startsWith(move.first + QLatin1Char('/'));
        });
        if (!inner)
            moves.append({from, it.key()});
    }
    const auto whereItWas = [&](const QString& path) {
        for (const auto& [from, to] : moves)
            if (path == to || path.startsWith(to + QLatin1Char('/')))
                return from + path.mid(to.size());
        return path;
    };

    QList<PlannedChange> plan;
    for (const auto& [from, to] : moves)
        plan.append({QStringLiteral("move-folder"), to, from, -1, -1, {}});
    QSet<QString> reached;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString was = whereItWas(it.key());
        reached.insert(was);
        const auto then = before.constFind(was);
        if (it->folder) {
            if (then == before.cend())
                plan.append({QStringLiteral("create-folder"), it.key(), {}, -1, -1, {}});
            continue;
        }
        if (then != before.cend() && !then->folder && then->sameFile(*it))
            continue;
        const bool existed = then != before.cend() && !then->folder;
        PlannedChange change =
            describeFileChange(it.key(), existed ? root + QLatin1Char('/') + was : QString(),
                               copyRoot + QLatin1Char('/') + it.key());
        if (!change.action.isEmpty())
            plan.append(change);
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (reached.contains(it.key()))
            continue;
        if (it->folder)
            plan.append({QStringLiteral("delete-folder"), it.key(), {}, -1, -1, {}});
        else
            plan.append({QStringLiteral("delete"), it.key(), {}, it->size, -1, {}});
    }
    return plan;
}

void ChangeRecorder::aboutToChange(DiskChange change, const QString& path, const QString& target)
{
    if (change == DiskChange::SetAttributes)
        return;
    if (change != DiskChange::MoveFolder) {
        if (m_seen.contains(path))
            return;
        m_seen.insert(path, m_noted.size());
    }
    Noted noted{change, path, target, std::nullopt};
    QFile file(path);
    if (change != DiskChange::MoveFolder && change != DiskChange::CreateFolder &&
        QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        noted.before = file.readAll();
    m_noted.append(noted);
}

QList<PlannedChange> ChangeRecorder::changes() const
{
    const QString root = QDir(m_root).absolutePath() + QLatin1Char('/');
    const auto relative = [&](const QString& native) {
        return native.startsWith(root) ? native.mid(root.size()) : native;
    };
    QTemporaryDir kept(QDir::tempPath() + QStringLiteral("/globalstab-changes-XXXXXX"));
    QList<PlannedChange> changes;
    for (qsizetype i = 0; i < m_noted.size(); ++i) {
        const Noted& noted = m_noted.at(i);
        if (noted.change == DiskChange::MoveFolder) {
            changes.append({QStringLiteral("move-folder"),
                            relative(noted.target),
                            relative(noted.path),
                            -1,
                            -1,
                            {}});
            continue;
        }
        if (noted.change == DiskChange::CreateFolder) {
            if (QFileInfo(noted.path).isDir())
                changes.append(
                    {QStringLiteral("create-folder"), relative(noted.path), {}, -1, -1, {}});
            continue;
        }
        // What the file held is read back from a file of the same name.
        QString before;
        if (noted.before && kept.isValid() && QDir(kept.path()).mkpath(QString::number(i))) {
            before = kept.path() + QStringLiteral("/%1/").arg(i) + QFileInfo(noted.path).fileName();
            QFile file(before);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(*noted.before) != noted.before->size())
                before.clear();
        }
        const QString after = QFileInfo(noted.path).isFile() ? noted.path : QString();
        PlannedChange change = describeFileChange(relative(noted.path), before, after);
        if (!change.action.isEmpty())
            changes.append(change);
    }
    return changes;
}

} // namespace globalstab::cli
