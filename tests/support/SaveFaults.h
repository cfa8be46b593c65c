#pragma once

// Faults of the saves of the file-system layer, for tests. A save writes a temporary file
// beside its target, ".globalstab-<random>.part", and renames it over the target; a test
// program that links this in has those renames pass through here first, so that the library
// itself carries no hook.
namespace globalstab::testing {

// Makes the next such rename fail (EIO), as an interrupted save would.
void failNextRename();
// Makes the next such rename fail as a crash just before it would: that temporary file is
// not removed, as a dead process removes nothing.
void crashNextSave();
// Calls hook before each such rename (null: none), so that a test can stop the process
// between two of them.
void setBeforeSaveRename(void (*hook)());

} // namespace globalstab::testing
