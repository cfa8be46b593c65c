// Text decoding as the file layer reads pages: detection, and the ways back to bytes.

#include "FuzzSupport.h"

#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>

using namespace globalstab::textCodec;
using fuzz::visible;

namespace {

bool hasMark(Encoding encoding)
{
    return encoding == Encoding::Utf16LEWithMark || encoding == Encoding::Utf16BEWithMark ||
           encoding == Encoding::Utf8WithMark;
}

// The mark found and the encoding chosen must tell the same story.
void checkMark(QByteArrayView data, Encoding encoding)
{
    const ByteOrderMark mark = byteOrderMark(data);
    switch (mark) {
    case ByteOrderMark::Utf8:
        FUZZ_CHECK(data.startsWith("\xEF\xBB\xBF"), "UTF-8 mark without its bytes");
        FUZZ_CHECK(encoding == Encoding::Utf8WithMark, "UTF-8 mark not read as UTF-8");
        break;
    case ByteOrderMark::Utf16LE:
        FUZZ_CHECK(data.startsWith("\xFF\xFE"), "UTF-16LE mark without its bytes");
        FUZZ_CHECK(encoding == Encoding::Utf16LEWithMark, "UTF-16LE mark not read as UTF-16LE");
        break;
    case ByteOrderMark::Utf16BE:
        FUZZ_CHECK(data.startsWith("\xFE\xFF"), "UTF-16BE mark without its bytes");
        FUZZ_CHECK(encoding == Encoding::Utf16BEWithMark, "UTF-16BE mark not read as UTF-16BE");
        break;
    case ByteOrderMark::Utf32BE:
        FUZZ_CHECK(data.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)),
                   "UTF-32BE mark without its bytes");
        FUZZ_CHECK(!hasMark(encoding), "a UTF-32 mark read as a known mark");
        break;
    case ByteOrderMark::None:
        FUZZ_CHECK(!hasMark(encoding), "a mark reported where there is none");
        break;
    }
}

// Windows-1252 is one character per byte, equal to Latin-1 outside 0x80-0x9F.
void checkWindows1252(QByteArrayView data, const QString& text)
{
    FUZZ_CHECK(text.size() == data.size(), "Windows-1252 text of another length");
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        const char16_t c = text.at(i).unicode();
        if (byte < 0x80 || byte >= 0xA0)
            FUZZ_CHECK(c == byte, "Windows-1252 byte outside 0x80-0x9F changed", visible(text));
        else
            FUZZ_CHECK(c == byte || c > 0xFF, "Windows-1252 byte 0x80-0x9F read as Latin-1",
                       visible(text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArrayView data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    Encoding encoding = Encoding::Utf8;
    const QString text = decodeText(data, &encoding);
    FUZZ_CHECK(decodeText(data) == text, "decoding depends on asking for the encoding");
    checkMark(data, encoding);

    // What each encoding keeps of the bytes.
    switch (encoding) {
    case Encoding::Utf16LEWithMark: {
        const QByteArray whole = data.first(2 + (data.size() - 2) / 2 * 2).toByteArray();
        FUZZ_CHECK(encodeUtf16le(text) == whole, "UTF-16LE with a mark does not encode back",
                   visible(whole));
        break;
    }
    case Encoding::Utf16BEWithMark:
        FUZZ_CHECK(text.size() == (data.size() - 2) / 2, "UTF-16BE text of another length");
        break;
    case Encoding::Utf8WithMark:
        FUZZ_CHECK(text == QString::fromUtf8(data.sliced(3)), "UTF-8 with a mark read otherwise");
        break;
    case Encoding::Utf8:
        FUZZ_CHECK(text.toUtf8() == data, "valid UTF-8 does not encode back", visible(text));
        break;
    case Encoding::Windows1252:
        FUZZ_CHECK(QString::fromUtf8(data).toUtf8() != data, "valid UTF-8 read as Windows-1252");
        checkWindows1252(data, text);
        break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        FUZZ_CHECK(data.size() % 2 == 0, "UTF-16 without a mark from an odd number of bytes");
        // Written back in its form, the file keeps every byte.
        FUZZ_CHECK(encodeWrittenBack(text, encoding) == data,
                   "UTF-16 without a mark is not written back as it was");
        break;
    }

    // Whatever was read, what the file layer writes reads back as the same text.
    const QByteArray unicode = encodeUtf16le(text);
    Encoding again = Encoding::Utf8;
    FUZZ_CHECK(decodeText(unicode, &again) == text, "UTF-16LE with a mark does not read back",
               visible(text));
    FUZZ_CHECK(again == Encoding::Utf16LEWithMark, "UTF-16LE with a mark read as something else");
    const QByteArray writtenBack = encodeWrittenBack(text, encoding);
    FUZZ_CHECK(decodeText(writtenBack) == text, "the text written back does not read back",
               visible(text));
    return 0;
}
