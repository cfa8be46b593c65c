#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QtEndian>

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

QString decodeText(QByteArrayView data)
{
    switch (byteOrderMark(data)) {
    case ByteOrderMark::Utf16LE:
        return decodeUtf16(data.sliced(2), false);
    case ByteOrderMark::Utf16BE:
        return decodeUtf16(data.sliced(2), true);
    case ByteOrderMark::Utf8:
        return QString::fromUtf8(data.sliced(3));
    case ByteOrderMark::Utf32BE: // text streams know no UTF-32: read as plain bytes
    case ByteOrderMark::None:
        break;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    return utf8.hasError() ? decodeWindows1252(data) : text;
}

QByteArray encodeUtf16le(const QString& text)
{
    QByteArray data(2 + text.size() * 2, Qt::Uninitialized);
    data[0] = '\xFF';
    data[1] = '\xFE';
    qToLittleEndian<char16_t>(text.utf16(), text.size(), data.data() + 2);
    return data;
}

} // namespace globalstab::textCodec
