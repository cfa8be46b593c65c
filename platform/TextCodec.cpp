#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace globalstab::textCodec {

namespace {

QString decodeUtf16(QByteArrayView data, bool bigEndian)
{
    const qsizetype units = data.size() / 2;
    QString text(units, Qt::Uninitialized);
    if (units == 0)
        return text;
    if (bigEndian)
        qFromBigEndian<char16_t>(data.data(), units, text.data());
    else
        qFromLittleEndian<char16_t>(data.data(), units, text.data());
    return text;
}

// Windows-1252 differs from Latin-1 in 0x80-0x9F; the five unassigned bytes map to the
// control characters of the same value, as the platform converter does.
QString decodeWindows1252(QByteArrayView data)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text = QString::fromLatin1(data);
    char16_t* const begin = reinterpret_cast<char16_t*>(text.data());
    for (char16_t* c = begin; c != begin + text.size(); ++c)
        if (*c >= 0x80 && *c < 0xA0)
            *c = high[*c - 0x80];
    return text;
}

// UTF-16 without a byte-order mark, told by where its zero bytes fall: in text that is
// mostly markup, every other byte is zero. UTF-8 and Windows-1252 text holds no zero bytes.
std::optional<bool> markLessUtf16BigEndian(QByteArrayView data)
{
    if (data.isEmpty() || data.size() % 2 != 0)
        return std::nullopt;
    const qsizetype units = std::min<qsizetype>(data.size(), 512) / 2;
    qsizetype lowZero = 0; // the first byte of a unit is zero
    qsizetype highZero = 0;
    for (qsizetype i = 0; i < units; ++i) {
        const bool first = data[2 * i] == 0;
        const bool second = data[2 * i + 1] == 0;
        if (first != second)
            (first ? lowZero : highZero) += 1;
    }
    // Most units zero on one side and hardly any on the other.
    if (highZero * 4 >= units * 3 && lowZero * 10 < units)
        return false;
    if (lowZero * 4 >= units * 3 && highZero * 10 < units)
        return true;
    return std::nullopt;
}

} // namespace

ByteOrderMark byteOrderMark(QByteArrayView data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return ByteOrderMark::Utf8;
    if (data.startsWith("\xFF\xFE"))
        return ByteOrderMark::Utf16LE;
    if (data.startsWith("\xFE\xFF"))
        return ByteOrderMark::Utf16BE;
    if (data.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return ByteOrderMark::Utf32BE;
    return ByteOrderMark::None;
}

QString decodeText(QByteArrayView data, Encoding* detected)
{
    Encoding found = Encoding::Utf8;
    QString text;
    switch (byteOrderMark(data)) {
    case ByteOrderMark::Utf16LE:
        found = Encoding::Utf16LEWithMark;
        text = decodeUtf16(data.sliced(2), false);
        break;
    case ByteOrderMark::Utf16BE:
        found = Encoding::Utf16BEWithMark;
        text = decodeUtf16(data.sliced(2), true);
        break;
    case ByteOrderMark::Utf8:
        found = Encoding::Utf8WithMark;
        text = QString::fromUtf8(data.sliced(3));
        break;
    case ByteOrderMark::Utf32BE: // text streams know no UTF-32: read as plain bytes
    case ByteOrderMark::None:
        if (const std::optional<bool> bigEndian = markLessUtf16BigEndian(data)) {
            found = *bigEndian ? Encoding::Utf16BE : Encoding::Utf16LE;
            text = decodeUtf16(data, *bigEndian);
            break;
        }
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(data);
        if (utf8.hasError()) {
            found = Encoding::Windows1252;
            text = decodeWindows1252(data);
        }
        break;
    }
    if (detected)
        *detected = found;
    return text;
}

QByteArray encodeUtf16le(const QString& text)
{
    QByteArray data(2 + text.size() * 2, Qt::Uninitialized);
    data[0] = '\xFF';
    data[1] = '\xFE';
    qToLittleEndian<char16_t>(text.utf16(), text.size(), data.data() + 2);
    return data;
}

QByteArray encodeWrittenBack(const QString& text, Encoding readAs)
{
    if (readAs != Encoding::Utf16LE && readAs != Encoding::Utf16BE)
        return encodeUtf16le(text);
    QByteArray data(text.size() * 2, Qt::Uninitialized);
    if (readAs == Encoding::Utf16BE)
        qToBigEndian<char16_t>(text.utf16(), text.size(), data.data());
    else
        qToLittleEndian<char16_t>(text.utf16(), text.size(), data.data());
    return data;
}

namespace {

bool at(QByteArrayView bytes, qsizetype i, const char* mark)
{
    for (; *mark; ++mark, ++i)
        if (i >= bytes.size() || bytes[i] != *mark)
            return false;
    return true;
}

// Takes position i as the first of each mark it starts that was not found before.
void noteMarks(QByteArrayView bytes, qsizetype i, AsciiMarks& marks)
{
    const auto note = [&](qsizetype& found, const char* mark) {
        if (found < 0 && at(bytes, i, mark))
            found = i;
    };
    note(marks.crlf, "\r\n");
    note(marks.ampersand, "&");
    note(marks.emptyClose, "/>");
    note(marks.pairClose, "></");
    note(marks.declarationLine, "?>\n");
}

} // namespace

AsciiMarks asciiMarks(QByteArrayView bytes)
{
    // A table of contents runs to megabytes, and each mark but the declaration's is usually
    // absent or far in: one pass finds them all, sixteen bytes at a time where it can.
    AsciiMarks marks;
    const char* const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const auto load = [&](qsizetype from) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
    };
    const auto equal = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    // The two bytes after each position come from overlapping loads: the last 17 bytes are
    // left to the byte-wise loop below.
    for (; i + 18 <= size; i += 16) {
        const __m128i here = load(i);
        if (_mm_movemask_epi8(here) != 0 ||
            _mm_movemask_epi8(_mm_cmpeq_epi8(here, _mm_setzero_si128())) != 0) {
            marks.ascii = false;
            return marks;
        }
        const __m128i next = load(i + 1);
        const __m128i after = load(i + 2);
        __m128i hits = _mm_setzero_si128();
        if (marks.crlf < 0)
            hits = _mm_or_si128(hits, _mm_and_si128(equal(here, '\r'), equal(next, '\n')));
        if (marks.ampersand < 0)
            hits = _mm_or_si128(hits, equal(here, '&'));
        if (marks.emptyClose < 0)
            hits = _mm_or_si128(hits, _mm_and_si128(equal(here, '/'), equal(next, '>')));
        if (marks.pairClose < 0)
            hits =
                _mm_or_si128(hits, _mm_and_si128(_mm_and_si128(equal(here, '>'), equal(next, '<')),
                                                 equal(after, '/')));
        if (marks.declarationLine < 0)
            hits =
                _mm_or_si128(hits, _mm_and_si128(_mm_and_si128(equal(here, '?'), equal(next, '>')),
                                                 equal(after, '\n')));
        for (unsigned mask = unsigned(_mm_movemask_epi8(hits)); mask != 0; mask &= mask - 1)
            noteMarks(bytes, i + std::countr_zero(mask), marks);
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == '\0' || uchar(data[i]) >= 0x80) {
            marks.ascii = false;
            return marks;
        }
        noteMarks(bytes, i, marks);
    }
    return marks;
}

} // namespace globalstab::textCodec
