#pragma once

// Hooks for tests of the file-system layer; not part of the installed interface.
namespace globalstab::testing {

// Makes the next rename of atomicWriteFile fail, as an interrupted save would.
void failNextRename();
// Makes the next save stop where a crash before the rename would: the temporary file stays.
void crashNextSave();
// Called before each rename a WriteBatch commit makes (empty: none), so that a test can stop
// the process between two of them.
void setBeforeBatchRename(void (*hook)());

} // namespace globalstab::testing
