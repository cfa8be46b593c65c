#include "platform/Posix.h"

#include "platform/Paths.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace globalstab::posix {

namespace {

const QLatin1StringView TemporaryPrefix(".globalstab-");
const QLatin1StringView TemporarySuffix(".part");

} // namespace

int open(const QString& path, int flags, mode_t mode)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode);
}

bool isTemporaryName(QStringView name)
{
    if (!name.startsWith(TemporaryPrefix) || !name.endsWith(TemporarySuffix))
        return false;
    const QStringView random = name.sliced(TemporaryPrefix.size()).chopped(TemporarySuffix.size());
    return !random.isEmpty() && std::all_of(random.begin(), random.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    });
}

TemporaryFile createTemporary(const QString& folder, mode_t mode)
{
    TemporaryFile file;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        file.path = paths::native::join(
            folder, TemporaryPrefix +
                        QString::number(QRandomGenerator::global()->generate64(), 36) +
                        TemporarySuffix);
        file.fd = open(file.path, O_WRONLY | O_CREAT | O_EXCL, mode);
        file.error = file.fd < 0 ? errno : 0;
        if (file.fd < 0 && file.error != EEXIST)
            break;
    }
    return file;
}

bool flush(const QString& path)
{
    const int fd = open(path, O_RDONLY);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return flushed;
}

} // namespace globalstab::posix
