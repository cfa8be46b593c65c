#include "platform/Numbers.h"

#include "platform/RuntimeError.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace globalstab {

bool isNumeric(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*[+-]?\s*(\d+\.?\d*|\.\d+)\s*$)"));
    return pattern.match(text).hasMatch();
}

qint32 toLong(const QVariant& value)
{
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        number = value.toDouble();
        break;
    default: {
        const QString text = value.toString();
        if (!isNumeric(text))
            raiseError(rt::TypeMismatch,
                       QStringLiteral("Type mismatch: \"%1\" is not a number").arg(text));
        QString compact = text.trimmed();
        compact.remove(QLatin1Char(' '));
        number = compact.toDouble();
    }
    }
    const double rounded = std::nearbyint(number); // current rounding mode: to nearest even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint32>::min() ||
        rounded > std::numeric_limits<qint32>::max())
        raiseError(rt::Overflow, QStringLiteral("Overflow: %1 does not fit a 32-bit whole number")
                                     .arg(value.toString()));
    return static_cast<qint32>(rounded);
}

} // namespace globalstab
