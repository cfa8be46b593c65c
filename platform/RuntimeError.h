#pragma once

#include <globalstab/globalstab_export.h>

#include <QString>

#include <exception>

namespace globalstab {

// Classic run-time error numbers, kept so that messages read like the authoring tool's.
namespace rt {
constexpr int InvalidArgument = 5;
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int InternalError = 51;
constexpr int FileNotFound = 53;
constexpr int FileAlreadyExists = 58;
constexpr int DiskFull = 61;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectNotSet = 91;
constexpr int ResourceNotFound = 326;
constexpr int CannotCreateObject = 429;
// The XML object model reports parser and XPath failures under this HRESULT.
constexpr int XmlFailure = -2147467259;
} // namespace rt

// A run-time error: a number and a description meant for the user.
class GLOBALSTAB_EXPORT RuntimeError : public std::exception
{
public:
    RuntimeError(int number, QString description);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

// Throws a RuntimeError. (Named apart from QWidget::raise, which hides plain "raise" in
// widget code.)
[[noreturn]] GLOBALSTAB_EXPORT void raiseError(int number, const QString& description);

} // namespace globalstab
