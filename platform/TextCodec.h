#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The text encodings of the files the component reads and writes.
namespace globalstab::textCodec {

// The byte-order mark a file starts with. A UTF-32LE mark reads as the UTF-16LE one it
// begins with.
enum class ByteOrderMark
{
    None,
    Utf8,
    Utf16LE,
    Utf16BE,
    Utf32BE,
};

ByteOrderMark byteOrderMark(QByteArrayView data);

// How the bytes of a text file were read.
enum class Encoding
{
    Utf16LEWithMark, // also what a Unicode text stream writes
    Utf16BEWithMark,
    Utf8WithMark,
    Utf8,
    Windows1252,
    Utf16LE, // no byte-order mark: told by its zero bytes
    Utf16BE,
};

// As a text stream reads a file: by its UTF-16LE, UTF-16BE or UTF-8 byte-order mark, else
// as UTF-16 without a mark when the zero bytes show it, else as UTF-8 when the bytes are
// valid UTF-8, else as Windows-1252. An odd last byte of UTF-16 text is dropped.
QString decodeText(QByteArrayView data, Encoding* detected = nullptr);

// UTF-16LE with a byte-order mark, as a Unicode text stream writes it.
QByteArray encodeUtf16le(const QString& text);

// The bytes of a text written back over a file read as readAs: UTF-16 without a mark keeps
// that form and byte order, so that a rewrite changes the text and nothing else; every
// other text is written as UTF-16LE with a byte-order mark.
QByteArray encodeWrittenBack(const QString& text, Encoding readAs);

// Where a text of plain ASCII (no byte 0, none above 127) first holds each of the marks a
// save learns its layout from, found in one pass over its bytes; -1 for a mark it lacks.
// For any other text only ascii is meaningful.
struct AsciiMarks
{
    bool ascii = true;
    qsizetype crlf = -1;            // "\r\n"
    qsizetype ampersand = -1;       // "&"
    qsizetype emptyClose = -1;      // "/>"
    qsizetype pairClose = -1;       // "></"
    qsizetype declarationLine = -1; // "?>\n"
};
AsciiMarks asciiMarks(QByteArrayView bytes);

} // namespace globalstab::textCodec
