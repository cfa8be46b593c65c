// How a text file is told apart: its mark, else valid UTF-8, else Windows-1252.
#include "platform/TextCodec.h"
#include "tests/platform/FileSystemFixture.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace globalstab;

TEST(TextCodecTest, MarkElseValidUtf8ElseWindows1252)
{
    using namespace textCodec;
    const struct
    {
        QByteArray bytes;
        ByteOrderMark mark;
        Encoding encoding;
        QString text;
    } cases[] = {
        {QByteArray("\xFF\xFE"
                    "a\0\xAC\x20=\xD8\0\xDE",
                    10),
         ByteOrderMark::Utf16LE, Encoding::Utf16LEWithMark, QStringLiteral("a\u20ac\U0001F600")},
        {QByteArray("\xFE\xFF\0a\x20\xAC\xD8=\xDE\0", 10), ByteOrderMark::Utf16BE,
         Encoding::Utf16BEWithMark, QStringLiteral("a\u20ac\U0001F600")},
        // A lone last byte of UTF-16 text is dropped; a mark inside the text is kept.
        {QByteArray("\xFF\xFE\xFF\xFEz\0!", 7), ByteOrderMark::Utf16LE, Encoding::Utf16LEWithMark,
         QStringLiteral("\ufeffz")},
        {"\xEF\xBB\xBFna\xC3\xAFve", ByteOrderMark::Utf8, Encoding::Utf8WithMark,
         QStringLiteral("na\u00efve")},
        {"caf\xC3\xA9 \xE2\x82\xAC", ByteOrderMark::None, Encoding::Utf8,
         QStringLiteral("caf\u00e9 \u20ac")},
        // Invalid UTF-8: 0x80-0x9F take their Windows-1252 meanings, the five unassigned
        // bytes stay control characters, the rest is Latin-1.
        {"\x80\x81\x8A\x8D\x8F\x90\x93\x9D\x9F\xA0\xE9\xFF", ByteOrderMark::None,
         Encoding::Windows1252,
         QStringLiteral(
             "\u20ac\u0081\u0160\u008d\u008f\u0090\u201c\u009d\u0178\u00a0\u00e9\u00ff")},
        // Text streams know no UTF-32: its mark is read as bytes.
        {QByteArray("\0\0\xFE\xFF", 4), ByteOrderMark::Utf32BE, Encoding::Windows1252,
         QString::fromUtf16(u"\0\0\u00fe\u00ff", 4)},
        // UTF-16 without a mark: every other byte zero, whatever a few letters beyond Latin-1.
        {QByteArray("<\0p\0>\0\xAC\x20<\0", 10), ByteOrderMark::None, Encoding::Utf16LE,
         QStringLiteral("<p>\u20ac<")},
        {QByteArray("\0<\0p\0>\x20\xAC\0<", 10), ByteOrderMark::None, Encoding::Utf16BE,
         QStringLiteral("<p>\u20ac<")},
        // Not when the length is odd, nor when zero bytes fall on both sides.
        {QByteArray("<\0p\0>", 5), ByteOrderMark::None, Encoding::Utf8,
         QString::fromUtf16(u"<\0p\0>", 5)},
        {QByteArray("<\0\0p>\0\0<", 8), ByteOrderMark::None, Encoding::Utf8,
         QString::fromUtf16(u"<\0\0p>\0\0<", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        EXPECT_EQ(byteOrderMark(c.bytes), c.mark);
        Encoding encoding = Encoding::Utf16LEWithMark;
        EXPECT_EQ(decodeText(c.bytes, &encoding), c.text);
        EXPECT_EQ(encoding, c.encoding);
    }

    for (const QString& text :
         {QString(), QStringLiteral("**Alpha** caf\u00e9 \u20ac \U0001F600\r\n\ufeff")})
        EXPECT_EQ(decodeText(encodeUtf16le(text)), text);
    EXPECT_EQ(encodeUtf16le(QStringLiteral("a\u20ac")), QByteArray("\xFF\xFE"
                                                                   "a\0\xAC\x20",
                                                                   6));
}
