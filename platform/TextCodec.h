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

// As a text stream reads a file: by its UTF-16LE, UTF-16BE or UTF-8 byte-order mark, else
// as UTF-8 when the bytes are valid UTF-8, else as Windows-1252. An odd last byte of UTF-16
// text is dropped.
QString decodeText(QByteArrayView data);

// UTF-16LE with a byte-order mark, as a Unicode text stream writes it.
QByteArray encodeUtf16le(const QString& text);

} // namespace globalstab::textCodec
