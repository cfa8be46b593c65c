#include "platform/XmlDocument.h"

#include "platform/FileSystem.h"
#include "platform/HeldDocuments.h"
#include "platform/Parallel.h"
#include "platform/Posix.h"
#include "platform/Progress.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument_p.h"

#include <QFile>
#include <QHash>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <optional>
#include <span>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

// The documents of an action, held parsed and with their saves held back, and the trees of
// large files kept between actions.

namespace globalstab {

using namespace xml;

namespace {
thread_local DocumentCache::Private* t_cache = nullptr;

// Trees of large files as their actions parsed them, kept for the next actions of the
// thread: showing the categories parses the table of contents, and the add, rename or
// delete that follows would parse the same bytes again. A load still reads the file; only
// when its bytes are those the tree was parsed from does it take the tree instead of
// parsing. A tree is kept only when nothing changed it and nothing else holds it, so the
// tree taken is exactly the parse of those bytes; what was derived from it (an index of
// its categories) comes along.
class ParsedTrees
{
public:
    std::shared_ptr<XmlDocumentState> take(const QString& native)
    {
        const auto found = std::find_if(m_kept.begin(), m_kept.end(),
                                        [&](const Kept& kept) { return kept.native == native; });
        if (found == m_kept.end())
            return nullptr;
        std::shared_ptr<XmlDocumentState> state = std::move(found->state);
        m_bytes -= state->source.size();
        m_kept.erase(found);
        return state;
    }

    // Small files parse faster than they are worth keeping.
    static constexpr qsizetype Smallest = 64 * 1024;

    void offer(const QString& native, std::shared_ptr<XmlDocumentState> state)
    {
        // A tree with the bytes it was parsed from takes about five times as much memory.
        constexpr qsizetype MostBytes = 4 * 1024 * 1024;
        take(native);
        if (!state || state.use_count() != 1 || !state->loaded || state->generation != 0 ||
            state->source.size() < Smallest || state->source.size() > MostBytes)
            return;
        m_bytes += state->source.size();
        m_kept.push_back({native, std::move(state)});
        while (m_bytes > MostBytes) {
            m_bytes -= m_kept.front().state->source.size();
            m_kept.erase(m_kept.begin());
        }
    }

    void clear()
    {
        m_kept.clear();
        m_bytes = 0;
    }

private:
    struct Kept
    {
        QString native;
        std::shared_ptr<XmlDocumentState> state;
    };
    std::vector<Kept> m_kept; // the last offered last
    qsizetype m_bytes = 0;
};
thread_local ParsedTrees t_parsed;
} // namespace

struct DocumentCache::Private : detail::HeldDocuments
{
    struct Entry
    {
        std::shared_ptr<XmlDocumentState> state;
        quint64 generation = 0;  // of the tree as read or saved
        bool waiting = false;    // a save waits
        bool created = false;    // the file did not exist when the save was held
        bool deleted = false;    // a deletion waits (no tree then)
        bool readOnDisk = false; // left alone, the file holds the bytes of its first parse
        qsizetype slot = -1;     // its place in order, while the next writeOut is to save it
    };
    QHash<QString, Entry> entries;
    // Each file's tree as first read, while unchanged: a refresh deletes the category set
    // and builds it anew, and when it comes out as it was, the tree read at the start is
    // still the parse of the file, for the next action to take.
    QHash<QString, std::shared_ptr<XmlDocumentState>> firstRead;
    // The saves the next writeOut makes, first saved first; a save forgotten leaves an empty
    // place, so that forgetting one of thousands moves none of the others.
    std::vector<QString> order;
    qsizetype listed = 0; // the places of order that are not empty
    detail::WaitingPaths listedPaths;
    bool writing = false;
    static constexpr qsizetype FewTrees = 256;
    qsizetype nextLook = FewTrees; // the waiting saves at which writeOutAlone looks again

    // The tree of the file, unless it was changed since it was read and never saved.
    std::shared_ptr<XmlDocumentState> find(const QString& native) const
    {
        const auto found = entries.constFind(native);
        if (found == entries.cend() || found->deleted)
            return nullptr;
        if (!found->waiting && found->state->generation != found->generation)
            return nullptr;
        return found->state;
    }

    void keep(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
    {
        Entry& entry = entries[native];
        unlist(native, entry);
        entry = Entry{state, state->generation};
        if (state->generation == 0 && state->loaded && !firstRead.contains(native))
            firstRead.insert(native, state);
    }

    void list(const QString& native, Entry& entry)
    {
        entry.slot = qsizetype(order.size());
        order.push_back(native);
        ++listed;
        listedPaths.add(native, entry.created);
    }

    void unlist(const QString& native, Entry& entry)
    {
        if (entry.slot < 0)
            return;
        order[size_t(entry.slot)] = QString();
        --listed;
        listedPaths.remove(native, entry.created);
        entry.slot = -1;
    }

    void hold(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
    {
        Entry& entry = entries[native];
        if (!entry.waiting) {
            entry.waiting = true;
            entry.created = ::access(QFile::encodeName(native).constData(), F_OK) != 0;
            list(native, entry);
        }
        // A save after a deletion replaces the file on disk.
        entry.deleted = false;
        entry.readOnDisk = false;
        entry.state = state;
        entry.generation = state->generation;
        writeOutAlone();
    }

    // An action that saves thousands of documents one after another would keep every tree
    // until its end. A waiting tree that nothing but the cache holds any more (no document
    // object has it, so no node of it may be used either) is written into the write batch
    // instead, where it waits as a file until the commit, and dropped; a later load reads
    // the file. Looked for whenever the waiting trees have doubled since the last look, so
    // that trees their callers keep cost no more than a walk over them now and then. Trees
    // of large files are left for the end, which may keep them for the next action.
    void writeOutAlone()
    {
        if (writing || listed < nextLook || !WriteBatch::active())
            return;
        writing = true;
        const auto written = qScopeGuard([this] { writing = false; });
        std::vector<QString> left;
        left.reserve(size_t(listed));
        for (QString& native : order) {
            if (native.isEmpty())
                continue;
            const auto found = entries.find(native);
            if (found != entries.end() && writtenAlone(native, *found)) {
                listedPaths.remove(native, found->created);
                entries.erase(found);
                firstRead.remove(native);
                continue;
            }
            if (found != entries.end())
                found->slot = qsizetype(left.size());
            left.push_back(std::move(native));
        }
        order = std::move(left);
        listed = qsizetype(order.size());
        nextLook = std::max(FewTrees, 2 * listed);
    }

    // Writes the tree of entry when only the cache holds it; false when it is held elsewhere,
    // is no tree, or the write failed (the end tries again and reports it).
    bool writtenAlone(const QString& native, const Entry& entry)
    {
        if (!entry.waiting || entry.deleted || !entry.state ||
            entry.state->source.size() >= ParsedTrees::Smallest)
            return false;
        const auto first = firstRead.constFind(native);
        const long holders = first != firstRead.cend() && first->get() == entry.state.get() ? 2 : 1;
        if (entry.state.use_count() != holders)
            return false;
        try {
            const QByteArray bytes = serialized(*entry.state);
            if (entry.created || WriteBatch::waits(native) || !fileHolds(native, bytes))
                atomicWriteFile(native, bytes);
            return true;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    bool holdDeletion(const QString& native) override
    {
        if (writing)
            return false;
        Entry& entry = entries[native];
        const bool wasWaiting = entry.waiting;
        const qsizetype slot = entry.slot;
        if (slot >= 0)
            listedPaths.remove(native, entry.created);
        entry = Entry{nullptr, 0, true, false, true, false, slot};
        if (!wasWaiting)
            list(native, entry);
        else if (slot >= 0)
            listedPaths.add(native, false);
        return true;
    }

    bool deleted(const QString& native) const override
    {
        const auto found = entries.constFind(native);
        return found != entries.cend() && found->deleted;
    }

    bool waits(const QString& native) const override
    {
        const auto found = entries.constFind(native);
        return found != entries.cend() && found->waiting;
    }

    QString newFileSpelt(const QString& native) const override
    {
        return listed > 0 ? listedPaths.createdSpelt(native) : QString();
    }

    bool waitsBelow(const QString& folder, bool all) const override
    {
        return listed > 0 &&
               listedPaths.below(folder.endsWith(QLatin1Char('/')) ? folder : folder + '/', all);
    }

    // The texts of the documents that wait to be written, each tree printed once (two paths
    // may hold one tree), on every core: a large table of contents prints while the small
    // documents do. A failure is kept for the moment the tree is written.
    struct Serialized
    {
        QHash<const XmlDocumentState*, size_t> index;
        std::vector<QByteArray> texts;
        std::vector<std::exception_ptr> failures;

        const QByteArray& of(const XmlDocumentState& state) const
        {
            const size_t i = index.value(&state);
            if (failures[i])
                std::rethrow_exception(failures[i]);
            return texts[i];
        }
    };

    Serialized serializeAll(std::span<const QString> saving)
    {
        Serialized out;
        std::vector<XmlDocumentState*> trees;
        for (const QString& native : saving) {
            const auto found = entries.constFind(native);
            if (found == entries.cend())
                continue;
            const Entry& entry = *found;
            if (entry.waiting && !entry.deleted && entry.state &&
                !out.index.contains(entry.state.get())) {
                out.index.insert(entry.state.get(), trees.size());
                trees.push_back(entry.state.get());
            }
        }
        out.texts.resize(trees.size());
        out.failures.resize(trees.size());
        forEachInParallel(trees.size(), 1, [&](size_t i) {
            try {
                out.texts[i] = serialized(*trees[i]);
            } catch (...) {
                out.failures[i] = std::current_exception();
            }
        });
        return out;
    }

    void writeOut() override
    {
        if (writing || listed == 0)
            return;
        writing = true;
        // A stop raised by the progress leaves through here.
        const auto written = qScopeGuard([this] { writing = false; });
        std::vector<QString> saving;
        saving.reserve(size_t(listed));
        for (QString& native : order) {
            if (native.isEmpty())
                continue;
            entries[native].slot = -1;
            saving.push_back(std::move(native));
        }
        order.clear();
        listed = 0;
        listedPaths.clear();
        nextLook = FewTrees;
        std::optional<RuntimeError> first;
        // Printed a part at a time: the texts of thousands of documents at once cost as much
        // memory again as the files.
        constexpr size_t Part = 256;
        Serialized texts;
        for (size_t done = 0; done < saving.size(); ++done) {
            const QString& native = saving[done];
            if (done % Part == 0)
                texts = serializeAll(
                    std::span(saving).subspan(done, std::min(Part, saving.size() - done)));
            // An action that saves hundreds of documents at its end keeps its window painted.
            reportProgress(int(done), int(saving.size()));
            const auto found = entries.find(native);
            if (found == entries.end() || !found->waiting)
                continue;
            Entry& entry = *found;
            entry.waiting = false;
            try {
                if (entry.deleted) {
                    entries.remove(native);
                    FileSystem().DeleteFile(native);
                    continue;
                }
                entry.generation = entry.state->generation;
                const QByteArray& bytes = texts.of(*entry.state);
                // A document that ends as it was read leaves its file alone: no write, no
                // flush, nothing for the journal (a refresh rebuilds the category set whole).
                // Not while an earlier version of it waits to replace the file.
                if (!entry.created && !WriteBatch::waits(native) && fileHolds(native, bytes)) {
                    const std::shared_ptr<XmlDocumentState> read = firstRead.value(native);
                    entry.readOnDisk = read && read->generation == 0 && read->source == bytes;
                    continue;
                }
                atomicWriteFile(native, bytes);
            } catch (const RuntimeError& error) {
                entries.remove(native);
                if (!first)
                    first = error;
            }
        }
        if (first)
            throw *first;
    }

    void forget(const QString& native) override
    {
        if (writing)
            return;
        const auto found = entries.find(native);
        if (found == entries.end())
            return;
        unlist(native, *found);
        entries.erase(found);
    }

    void forgetAll() override
    {
        if (writing)
            return;
        entries.clear();
        order.clear();
        listed = 0;
        listedPaths.clear();
        nextLook = FewTrees;
        firstRead.clear();
    }
};

namespace xml {

HeldTree heldTree(const QString& native)
{
    HeldTree held;
    if (DocumentCache::Private* cache = t_cache) {
        held.deleted = cache->deleted(native);
        if (!held.deleted)
            held.tree = cache->find(native);
    }
    return held;
}

void keepLoaded(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
{
    if (t_cache)
        t_cache->keep(native, state);
}

bool holdSave(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
{
    if (!t_cache)
        return false;
    // Refused now, as a save made at once would be; a file saved before in the action
    // passed already.
    if (!t_cache->waits(native))
        detail::requireReplaceable(native);
    t_cache->hold(native, state);
    return true;
}

std::shared_ptr<XmlDocumentState> takeParsedTree(const QString& native)
{
    return t_parsed.take(native);
}

} // namespace xml

DocumentCache::DocumentCache() : m_uncaught(std::uncaught_exceptions())
{
    if (t_cache)
        return;
    d = std::make_unique<Private>();
    t_cache = d.get();
    detail::setHeldDocuments(d.get());
}

DocumentCache::~DocumentCache()
{
    if (!d)
        return;
    t_cache = nullptr;
    detail::setHeldDocuments(nullptr);
    if (std::uncaught_exceptions() > m_uncaught)
        return;
    try {
        d->writeOut();
    } catch (const RuntimeError& error) {
        // Nothing is kept of an action whose documents could not all be written.
        qWarning("globalstab: documents dropped at the end of an action: %s", error.what());
        return;
    }
    std::vector<std::pair<QString, std::shared_ptr<XmlDocumentState>>> unchanged;
    for (auto it = d->entries.begin(); it != d->entries.end(); ++it)
        if (!it->waiting)
            unchanged.emplace_back(it.key(),
                                   it->readOnDisk ? d->firstRead.value(it.key()) : it->state);
    // Only a tree nobody else holds is kept.
    d->entries.clear();
    d->firstRead.clear();
    for (auto& [native, tree] : unchanged)
        t_parsed.offer(native, std::move(tree));
}

void DocumentCache::writeOut()
{
    if (t_cache)
        t_cache->writeOut();
}

void DocumentCache::dropKeptTrees()
{
    t_parsed.clear();
}

void DocumentCache::discardActive()
{
    if (t_cache)
        t_cache->forgetAll();
}

std::vector<DocumentCache::Inspected>
DocumentCache::inspect(const QStringList& paths,
                       const std::function<bool(const XmlDocument&)>& test)
{
    std::vector<Inspected> found(size_t(paths.size()), Inspected::Left);
    std::vector<QString> spelt(size_t(paths.size()));
    for (size_t i = 0; i < spelt.size(); ++i)
        spelt[i] = FileSystem::asSpelt(paths.at(qsizetype(i)));
    // The books of a project share its folder: each is opened below it.
    std::optional<QString> common;
    for (const QString& path : spelt) {
        if (path.isEmpty())
            continue;
        if (!common)
            common = path;
        common->truncate(
            std::mismatch(common->cbegin(), common->cend(), path.cbegin(), path.cend()).first -
            common->cbegin());
    }
    const QString shared =
        common ? common->left(common->lastIndexOf(QLatin1Char('/')) + 1) : QString();
    const int folder = shared.size() > 1 ? posix::open(shared, O_RDONLY | O_DIRECTORY) : -1;
    const auto closeFolder = qScopeGuard([folder] {
        if (folder >= 0)
            ::close(folder);
    });
    const qsizetype folderBytes = QFile::encodeName(shared).size();
    // Fewer than 64 files are not worth a thread.
    forEachInParallel(found.size(), 64, [&](size_t i) {
        try {
            XmlDocument doc;
            const bool below = folder >= 0 && spelt[i].startsWith(shared);
            if (!spelt[i].isEmpty() &&
                readDocument(spelt[i], doc.state(), below ? folder : AT_FDCWD,
                             below ? folderBytes : 0))
                found[i] = test(doc) ? Inspected::Yes : Inspected::No;
        } catch (...) {
            // Left to the load, which reports it.
        }
    });
    // Only this thread sees what its action holds and what waits: those answers are void.
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i] != Inspected::Left &&
            (WriteBatch::waits(spelt[i]) || (t_cache && t_cache->entries.contains(spelt[i]))))
            found[i] = Inspected::Left;
    return found;
}

} // namespace globalstab
