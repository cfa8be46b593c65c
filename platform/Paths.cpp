#include "platform/Paths.h"

#include <utility>

namespace globalstab::paths {

namespace {

bool isSlash(QChar c)
{
    return c == QLatin1Char('/');
}

template <typename IsSeparator> qsizetype lastOf(QStringView path, IsSeparator separates)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (separates(path[i]))
            return i;
    return -1;
}

template <typename IsSeparator> QString stripTrailing(QString path, IsSeparator separates)
{
    qsizetype size = path.size();
    while (size > 1 && separates(path[size - 1]))
        --size;
    path.truncate(size);
    return path;
}

template <typename IsSeparator>
QString joinWith(const QString& folder, const QString& name, IsSeparator separates, QChar with)
{
    if (folder.isEmpty() || separates(folder.back()))
        return folder + name;
    return folder + with + name;
}

} // namespace

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

qsizetype lastSeparator(QStringView path)
{
    return lastOf(path, isSeparator);
}

QString join(const QString& folder, const QString& name)
{
    return joinWith(folder, name, isSeparator, QLatin1Char('\\'));
}

QString withoutTrailingSeparator(QString path)
{
    return stripTrailing(std::move(path), isSeparator);
}

QString parentOf(const QString& path)
{
    const qsizetype at = lastSeparator(withoutTrailingSeparator(path));
    return at < 0 ? QString() : path.left(at);
}

QString fileName(const QString& path)
{
    return path.mid(lastSeparator(path) + 1);
}

QString withoutExtension(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > lastSeparator(path) ? path.left(dot) : path;
}

namespace native {

QString join(const QString& folder, const QString& name)
{
    return joinWith(folder, name, isSlash, QLatin1Char('/'));
}

QString withoutTrailingSeparator(QString path)
{
    return stripTrailing(std::move(path), isSlash);
}

QString parentOf(const QString& path)
{
    const QString clean = withoutTrailingSeparator(path);
    const qsizetype slash = lastOf(clean, isSlash);
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : clean.left(slash);
}

QString fileName(const QString& path)
{
    const QString clean = withoutTrailingSeparator(path);
    return clean.mid(lastOf(clean, isSlash) + 1);
}

} // namespace native

} // namespace globalstab::paths
