#include "operations/PageTokens.h"

#include "platform/Parallel.h"
#include "platform/Progress.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace globalstab {

namespace {

const QString TokenMark = QStringLiteral("**");

QString token(const QString& name)
{
    return TokenMark + name + TokenMark;
}

// A leftover temporary file of an interrupted save is never a page, whatever its path holds.
bool isPage(const FileEntry& file)
{
    return file.Path.contains(QStringLiteral(".HTM"), Qt::CaseInsensitive) &&
           !FileSystem::isLeftover(file.Name);
}

// The tab writes only below the data root, whatever folder a host hands in.
void requireBelowDataRoot(const Folder& folder, const QString& root)
{
    if (root.isEmpty() || !FileSystem::IsWithin(folder.Path(), root))
        raiseError(rt::PermissionDenied,
                   QStringLiteral("Permission denied: '%1' is not below the data root '%2'")
                       .arg(folder.Path(), root));
}

// A page read, its tokens replaced and its new bytes encoded: the work that needs no order,
// done on every core ahead of the writes, which keep the order of the walk.
struct PreparedPage
{
    std::optional<RuntimeError> readError; // reported as "strParseFile"
    QByteArray bytes;                      // empty: nothing to write
};

// A page is written back as UTF-16LE with a byte-order mark, unless it was UTF-16 without
// one: that keeps its form, so that the rewrite changes the tokens and nothing else.
PreparedPage preparePage(const QString& path, const QString& oldToken, const QString& newToken)
{
    PreparedPage page;
    try {
        textCodec::Encoding encoding = textCodec::Encoding::Utf16LEWithMark;
        QString text = FileSystem().ReadAllText(path, &encoding);
        // A page that reads as empty has no token to rewrite.
        if (!text.isEmpty()) {
            text.replace(oldToken, newToken, Qt::CaseSensitive);
            page.bytes = textCodec::encodeWrittenBack(text, encoding);
        }
    } catch (const RuntimeError& error) {
        page.readError = error;
    } catch (const std::exception& error) {
        page.readError = RuntimeError(rt::InternalError, QString::fromUtf8(error.what()));
    }
    return page;
}

// Prepares the pages on as many threads as there are cores; a handful is not worth a thread.
std::vector<PreparedPage> preparePages(const QStringList& paths, const QString& oldToken,
                                       const QString& newToken)
{
    std::vector<PreparedPage> pages(size_t(paths.size()));
    forEachInParallel(pages.size(), 8, [&](size_t i) {
        pages[i] = preparePage(paths.at(qsizetype(i)), oldToken, newToken);
    });
    return pages;
}

void writePage(const QString& path, const QByteArray& bytes, Feedback& feedback)
{
    trap(feedback, "EnterToFile", [&] {
        const FileSystem fso;
        // Only a plain read-only file is made writable; with archive, hidden or system set
        // as well it stays protected and the write below fails.
        if (fso.FileExists(path) && fso.GetAttributes(path) == FileSystem::ReadOnly)
            fso.SetAttributes(path, fso.GetAttributes(path) & ~FileSystem::ReadOnly);
        atomicWriteFile(FileSystem::resolve(path), bytes);
    });
}

// How far the walk got, for whoever shows progress.
struct Progress
{
    int done = 0;
    int total = 0;
};

// The pages below folder; what cannot be listed counts nothing.
int countPages(const Folder& folder)
{
    int pages = 0;
    QList<Folder> pending{folder};
    while (!pending.isEmpty()) {
        const Folder current = pending.takeLast();
        try {
            for (const FileEntry& file : current.Files())
                pages += isPage(file) ? 1 : 0;
            pending += current.SubFolders();
        } catch (const RuntimeError&) {
        }
    }
    return pages;
}

void walk(const Folder& folder, const PageTokenChange& change, qint16 type, Feedback& feedback,
          Progress& progress)
{
    trap(feedback, "PXUpdateFiles", [&] {
        requireBelowDataRoot(folder, change.dataRoot);
        const FileSystem fso;
        const QString oldToken = token(change.productName);
        const QString newToken = token(change.projectName);
        const QString archive =
            QStringLiteral("PX") + change.productName + QStringLiteral("_Server.Zip");
        const QList<FileEntry> files = folder.Files();
        // A few hundred pages at a time keep the prepared bytes small in memory.
        constexpr qsizetype Chunk = 256;
        for (qsizetype from = 0; from < files.size(); from += Chunk) {
            const QList<FileEntry> chunk = files.mid(from, Chunk);
            QStringList pagePaths;
            for (const FileEntry& file : chunk)
                if (isPage(file))
                    pagePaths << file.Path;
            const std::vector<PreparedPage> prepared = preparePages(pagePaths, oldToken, newToken);
            size_t next = 0;
            for (const FileEntry& file : chunk) {
                if (isPage(file)) {
                    const PreparedPage& page = prepared[next++];
                    // A page that could not be read is reported and never written back.
                    if (page.readError)
                        trap(feedback, "strParseFile", [&] { throw *page.readError; });
                    else if (!page.bytes.isEmpty())
                        writePage(file.Path, page.bytes, feedback);
                    reportProgress(++progress.done, progress.total);
                }
                if (type == 1 && file.Path.contains(archive, Qt::CaseInsensitive))
                    fso.DeleteFile(file.Path, false);
            }
        }
        // Only the top folder may lose its server archive.
        for (const Folder& subFolder : folder.SubFolders())
            walk(subFolder, change, 0, feedback, progress);
    });
}

void collect(const Folder& folder, const PageTokenChange& change, bool top, Plan& plan)
{
    const QString oldToken = token(change.productName);
    const QString archive =
        QStringLiteral("PX") + change.productName + QStringLiteral("_Server.Zip");
    const FileSystem fso;
    for (const FileEntry& file : folder.Files()) {
        if (isPage(file)) {
            QString text;
            try {
                text = fso.ReadAllText(file.Path);
            } catch (const RuntimeError&) {
                continue;
            }
            const qsizetype count = text.count(oldToken, Qt::CaseSensitive);
            if (!text.isEmpty())
                plan.append({FileChange::Action::ReplaceFile, file.Path, QString(),
                             QStringLiteral("%1 token(s) replaced").arg(count)});
        }
        if (top && change.type == 1 && file.Path.contains(archive, Qt::CaseInsensitive))
            plan.append({FileChange::Action::ReplaceFile, file.Path, QString(),
                         QStringLiteral("server archive deleted")});
    }
    for (const Folder& subFolder : folder.SubFolders())
        collect(subFolder, change, false, plan);
}

} // namespace

void rewritePageTokens(const Folder& folder, const PageTokenChange& change, Feedback& feedback)
{
    Progress progress;
    if (progressObserved())
        progress.total = countPages(folder);
    walk(folder, change, change.type, feedback, progress);
}

Plan planPageTokens(const Folder& folder, const PageTokenChange& change)
{
    Plan plan;
    requireBelowDataRoot(folder, change.dataRoot);
    collect(folder, change, true, plan);
    return plan;
}

} // namespace globalstab
