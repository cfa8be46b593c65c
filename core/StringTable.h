#pragma once

#include <QString>

namespace globalstab {

// The text of a string-table entry. Raises run-time error 326 for an id without an entry.
QString resourceString(int id);

} // namespace globalstab
