#pragma once

// Hooks for tests of the file-system layer; not part of the installed interface.
namespace globalstab::testing {

// Makes the next rename of atomicWriteFile fail, as an interrupted save would.
void failNextRename();

} // namespace globalstab::testing
