#include "platform/RuntimeError.h"

namespace globalstab {

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("Error %1: %2").arg(number).arg(m_description).toUtf8())
{
}

void raiseError(int number, const QString& description)
{
    throw RuntimeError(number, description);
}

} // namespace globalstab
