#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// What the targets share: failing on a broken invariant, a scratch folder and file helpers.
namespace fuzz {

// Shows a text with its control and non-ASCII characters spelt out, cut short, so that a
// failure report stays readable whatever the input held.
inline QString visible(const QString& text, qsizetype limit = 240)
{
    QString out;
    for (qsizetype i = 0; i < text.size() && i < limit; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x20 && c < 0x7F)
            out += QChar(c);
        else
            out += QStringLiteral("\\u%1").arg(unsigned(c), 4, 16, QLatin1Char('0'));
    }
    if (text.size() > limit)
        out += QStringLiteral("... (%1 characters)").arg(text.size());
    return out;
}

inline QString visible(const QByteArray& bytes, qsizetype limit = 120)
{
    QString out = QString::fromLatin1(bytes.left(limit).toHex(' '));
    if (bytes.size() > limit)
        out += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return out;
}

// Findings already reported are excused so that fuzzing can go past them, unless
// GLOBALSTAB_FUZZ_STRICT is set: then the inputs in fuzz/crashes show them again.
inline bool strict()
{
    static const bool set = qEnvironmentVariableIsSet("GLOBALSTAB_FUZZ_STRICT");
    return set;
}

// The scratch folder, once made: a failure removes it, as abort() skips the destructor.
inline QTemporaryDir* madeScratch = nullptr;

// A broken invariant is a finding: aborting makes libFuzzer keep the input.
[[noreturn]] inline void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "\n*** invariant broken: %s\n%s\n", what, qUtf8Printable(detail));
    std::fflush(stderr);
    if (madeScratch)
        madeScratch->remove();
    std::abort();
}

// One scratch folder per process, in memory where the system offers /dev/shm, as every run
// writes files thousands of times a second. It is removed when the fuzzer exits.
inline QString scratchFolder()
{
    static const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/globalstab-fuzz-XXXXXX"));
    if (!dir.isValid())
        fail("cannot make a scratch folder", dir.errorString());
    madeScratch = &dir;
    return dir.path();
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write a scratch file", path + QStringLiteral(": ") + file.errorString());
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("cannot read a scratch file", path + QStringLiteral(": ") + file.errorString());
    return file.readAll();
}

} // namespace fuzz

// Checks an invariant; the detail is composed only when it is broken, as composing it for
// every character checked would cost more than the check.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzz::fail(__VA_ARGS__);                                                               \
    } while (false)
