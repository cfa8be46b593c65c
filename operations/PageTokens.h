#pragma once

#include "core/Feedback.h"
#include "core/FileChange.h"
#include "platform/FileSystem.h"

namespace globalstab {

// The product-name token of the page files: "**" & name & "**".
struct PageTokenChange
{
    QString dataRoot;    // nothing outside it is written
    QString productName; // the name whose token is replaced
    QString projectName; // the name the token gets
    qint16 type = 0;     // 1 also deletes the product's server archive of the top folder
};

// Rewrites the token in every page file (a name holding ".HTM" in any letter case) of the
// folder, files first, then each subfolder depth-first. Each folder is one "PXUpdateFiles"
// procedure, each page read one "strParseFile" and each write one "EnterToFile": an error
// is reported under that name and the walk goes on. A page that cannot be read is skipped,
// never written back. A page is written as UTF-16LE with a byte-order mark, unless it was
// read as UTF-16 without one, which is written back in its byte order without one. Raises
// 70 for a folder outside the data root. Each page done is reported to the progress observer
// of the thread, if any (platform/Progress.h), which may stop the walk with ActionCancelled.
void rewritePageTokens(const Folder& folder, const PageTokenChange& change, Feedback& feedback);

// The pages the rewrite would change, with the number of tokens each holds; writes
// nothing, and skips what it cannot read.
Plan planPageTokens(const Folder& folder, const PageTokenChange& change);

} // namespace globalstab
