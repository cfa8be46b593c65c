#pragma once

#include <QString>
#include <QStringView>

#include <sys/types.h>

// The system calls the file-system layer and the journal make alike. Internal to the library.
namespace globalstab::posix {

// open(2) with O_CLOEXEC added: no descriptor leaks into a process started meanwhile.
int open(const QString& path, int flags, mode_t mode = 0);

// A file that replaces another is written beside it first, under a name of its own, and
// renamed over it: ".globalstab-<random>.part". A leftover of a crash holds no page or
// document extension, so that a walk going by what a name contains passes it over.
bool isTemporaryName(QStringView name);

struct TemporaryFile
{
    QString path;
    int fd = -1;   // open for writing; -1 when none could be made
    int error = 0; // errno of the failure; EEXIST when no free name was found
};
// Creates a new temporary file in folder, taking another name while one exists.
TemporaryFile createTemporary(const QString& folder, mode_t mode);

// fsync(2) of the file or folder at path; false when it cannot be opened or flushed.
bool flush(const QString& path);

} // namespace globalstab::posix
