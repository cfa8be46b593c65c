#pragma once

#include <QString>

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

// The documents held on the calling thread, if any.
HeldDocuments* heldDocuments();
void setHeldDocuments(HeldDocuments* held);

// Raises what replacing the file would raise (outside the data root, a read-only file or
// folder, a missing folder) without writing anything.
void requireReplaceable(const QString& native);

} // namespace globalstab::detail
