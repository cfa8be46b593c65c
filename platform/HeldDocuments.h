#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The link between the file-system layer and a DocumentCache above it: documents whose saves
// wait in memory must be written out before anything looks at their files, and a write by
// other means replaces what waits. Internal to the library.

namespace globalstab::detail {

class HeldDocuments
{
public:
    virtual ~HeldDocuments() = default;
    // A save of the file waits in memory.
    virtual bool waits(const QString& native) const = 0;
    // The path of a waiting save of a new file that native names ignoring letter case;
    // empty when none.
    virtual QString newFileSpelt(const QString& native) const = 0;
    // A save waits below folder: of a new file only, unless all is set.
    virtual bool waitsBelow(const QString& folder, bool all) const = 0;
    // Saves every waiting document.
    virtual void writeOut() = 0;
    // Holds back the deletion of a file that exists on disk (every check passed): a save in
    // the same action then replaces the file instead of creating it anew. False when
    // nothing is held.
    virtual bool holdDeletion(const QString& native) = 0;
    // The file's deletion waits: it is gone for whoever asks.
    virtual bool deleted(const QString& native) const = 0;
    // The file is about to be replaced or deleted by other means: what is kept of it goes.
    virtual void forget(const QString& native) = 0;
    // Folders move: every path kept may now name something else.
    virtual void forgetAll() = 0;
};

// The paths of the saves that wait, found without a walk over all of them: an action that
// saves thousands of files asks before every file operation whether one waits below a
// folder, or names a new file in another letter case. Paths are native ("/" separates).
class WaitingPaths
{
public:
    void add(const QString& native, bool created);
    // Takes back an add() of the same path and kind.
    void remove(const QString& native, bool created);
    void clear();

    // The first path added as created that native names ignoring letter case; empty when
    // none.
    QString createdSpelt(const QString& native) const;
    // A path waits that starts with prefix, which ends in "/": a created one only, unless
    // all is set.
    bool below(const QString& prefix, bool all) const;

private:
    void count(const QString& native, bool created, int step);

    struct Counts
    {
        int all = 0;
        int created = 0;
    };
    // By the hash of every leading part of a path that ends in "/", the folders it lies in:
    // thousands of folders need not be spelt out again. Two folders of one hash would only
    // make a walk write out the saves a little early.
    QHash<size_t, Counts> m_below;
    // The created paths by their case-folded form, first added first.
    QHash<QString, QStringList> m_created;
};

// Registers the documents a DocumentCache holds on the calling thread (null: none), for the
// file-system layer to ask before it looks at a file.
void setHeldDocuments(HeldDocuments* held);

// Raises what replacing the file would raise (outside the data root, a read-only file or
// folder, a missing folder) without writing anything.
void requireReplaceable(const QString& native);

} // namespace globalstab::detail
