#pragma once

#include <QString>
#include <QVariant>

namespace globalstab {

// Converts a value as the classic 32-bit integer conversion does: rounds half to even,
// raises 13 for text that is not a number and 6 when it does not fit.
qint32 toLong(const QVariant& value);

// The shared numeric test: optional blanks, an optional sign, digits with at most one
// decimal point (at least one digit), optional blanks. No exponents, no hexadecimal, no
// thousands separators.
bool isNumeric(const QString& text);

} // namespace globalstab
