#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <optional>

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

} // namespace globalstab::textCodec
