#pragma once

// Written markup read a unit of its encoding at a time: the output of a save is UTF-8,
// Latin-1, UTF-16 or UTF-32, and what restores a file's layout in it, or writes it in the
// file's encoding, must tell a tag from a text or a comment there. Internal to the library.

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace globalstab::xml {

// The output's characters as bytes of its encoding.
QByteArray encodedAscii(const char* ascii, pugi::xml_encoding encoding);
// Where needle first occurs in bytes at or after from, at a multiple of width (a character
// of the encoding, never across two); -1 when nowhere. memmem: the generic search is many
// times slower over a large document.
qsizetype findBytes(QByteArrayView bytes, QByteArrayView needle, qsizetype from = 0,
                    qsizetype width = 1);
// Replaces every whole-character occurrence of before by after.
void replaceAll(QByteArray& bytes, QByteArrayView before, QByteArrayView after, qsizetype width);
// The bytes of one character of the encoding: 1, 2 or 4.
qsizetype unitWidth(pugi::xml_encoding encoding);

// Where a unit of written markup stands.
enum class Region
{
    Text,    // between tags
    Tag,     // in a start or end tag, outside its attribute values
    Quoted,  // in an attribute value
    Literal, // in a comment, CDATA section, processing instruction or the document type
};

// True when the units from i on spell text; unit(i) is the ASCII character unit i holds, or
// 0 for any other.
template <typename Unit>
bool unitsStartWith(qsizetype units, const Unit& unit, qsizetype i, const char* text)
{
    for (; *text; ++text, ++i)
        if (i >= units || unit(i) != *text)
            return false;
    return true;
}

// The unit after the document type that starts at from ("<!DOCTYPE"): it ends where the
// parser ended it, at the first ">" outside its declarations ("<!ENTITY ...>"), ignored
// sections, quoted literals, processing instructions and comments. Brackets count for
// nothing. unit(i) is the ASCII character unit i holds, or 0 for any other.
template <typename Unit>
qsizetype documentTypeEnd(qsizetype units, const Unit& unit, qsizetype from)
{
    const auto startsWith = [&](qsizetype i, const char* text) {
        return unitsStartWith(units, unit, i, text);
    };
    const auto past = [&](qsizetype i, const char* end) {
        while (i < units && !startsWith(i, end))
            ++i;
        return std::min(units, i + qsizetype(std::strlen(end)));
    };
    qsizetype i = from + 2;
    for (int depth = 0; i < units;) {
        const char c = unit(i);
        if (startsWith(i, "<![")) {
            int nested = 0;
            for (i += 3; i < units; ++i) {
                if (startsWith(i, "<![")) {
                    ++nested;
                    i += 2;
                } else if (startsWith(i, "]]>")) {
                    i += 2;
                    if (nested-- == 0) {
                        ++i;
                        break;
                    }
                }
            }
        } else if (startsWith(i, "<!") && !startsWith(i, "<!-")) {
            i += 2;
            ++depth;
        } else if (c == '"' || c == '\'') {
            for (++i; i < units && unit(i) != c;)
                ++i;
            ++i;
        } else if (startsWith(i, "<?")) {
            i = past(i + 2, "?>");
        } else if (startsWith(i, "<!--")) {
            i = past(i + 4, "-->");
        } else if (c == '>' && depth == 0) {
            return i + 1;
        } else {
            depth -= c == '>' ? 1 : 0;
            ++i;
        }
    }
    return std::min(units, i);
}

// Tells visit(i, region) for each of units units, in order; unit(i) is the ASCII character
// unit i holds, or 0 for any other.
template <typename Unit, typename Visit>
void scanMarkup(qsizetype units, const Unit& unit, const Visit& visit)
{
    const auto startsWith = [&](qsizetype i, const char* text) {
        return unitsStartWith(units, unit, i, text);
    };
    qsizetype i = 0;
    const auto literalPast = [&](qsizetype from, const char* end) {
        qsizetype to = from;
        while (to < units && !startsWith(to, end))
            ++to;
        to = std::min(units, to + qsizetype(std::strlen(end)));
        for (; i < to; ++i)
            visit(i, Region::Literal);
    };
    while (i < units) {
        if (unit(i) != '<') {
            visit(i++, Region::Text);
        } else if (startsWith(i, "<!--")) {
            literalPast(i + 4, "-->");
        } else if (startsWith(i, "<![CDATA[")) {
            literalPast(i + 9, "]]>");
        } else if (startsWith(i, "<?")) {
            literalPast(i + 2, "?>");
        } else if (startsWith(i, "<!")) {
            for (const qsizetype end = documentTypeEnd(units, unit, i); i < end; ++i)
                visit(i, Region::Literal);
        } else {
            char quote = 0;
            for (visit(i++, Region::Tag); i < units;) {
                const char c = unit(i);
                if (quote && c != quote) {
                    visit(i++, Region::Quoted);
                    continue;
                }
                visit(i++, Region::Tag);
                if (quote)
                    quote = 0;
                else if (c == '"' || c == '\'')
                    quote = c;
                else if (c == '>')
                    break;
            }
        }
    }
}

// The ASCII character each unit of output in an encoding holds, or 0 for any other.
class AsciiUnits
{
public:
    AsciiUnits(const QByteArray& bytes, pugi::xml_encoding encoding)
        : m_bytes(bytes), m_width(unitWidth(encoding)),
          m_bigEndian(encoding == pugi::encoding_utf16_be || encoding == pugi::encoding_utf32_be)
    {
    }
    qsizetype count() const { return m_bytes.size() / m_width; }
    char operator()(qsizetype i) const
    {
        const char* at = m_bytes.constData() + i * m_width;
        for (qsizetype k = 0; k < m_width; ++k)
            if (k != (m_bigEndian ? m_width - 1 : 0) && at[k] != 0)
                return 0;
        const char c = at[m_bigEndian ? m_width - 1 : 0];
        return uchar(c) < 0x80 ? c : 0;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_width;
    bool m_bigEndian;
};

} // namespace globalstab::xml
