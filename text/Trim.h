#pragma once

#include <QString>

namespace globalstab {

// Leading and trailing blanks removed; tabs and line breaks stay, as the classic Trim does.
inline QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace globalstab
