#pragma once

#include <QList>
#include <QString>

namespace globalstab {

// One change of a plan: what an operation will do to one file or folder when applied.
struct FileChange
{
    enum class Action
    {
        MoveFolder,
        ReplaceFile,
    };
    Action action = Action::ReplaceFile;
    QString path;    // the file written, or where the folder goes
    QString from;    // the folder moved
    QString summary; // what changes, in a few words
};

using Plan = QList<FileChange>;

} // namespace globalstab
