#include "platform/XmlDocument_p.h"
#include "platform/XmlMarkup_p.h"

#include <QStringEncoder>
#include <QSysInfo>

#include <algorithm>
#include <utility>

#include <string.h>

#include <pugixml.hpp>

// Serialisation: save() writes the encoding the file was read in (UTF-8 for a new document),
// with a byte-order mark when the file had one (always for UTF-16 and UTF-32, which XML
// requires to start with one). A loaded document keeps its declaration as it was, or its
// lack of one; a new document gets <?xml version="1.0" encoding="UTF-8"?>. Elements are
// indented one node a line by the unit the file used (four blanks for a new document), or
// stay on one line where the file nested them so; an element holding text stays on one line.
// Lines end in CR LF when the file had any, else in LF (as for a new document), and elements
// without content close as the file closed them ("<a />" for a new document).

namespace globalstab::xml {

QByteArray encodedAscii(const char* ascii, pugi::xml_encoding encoding)
{
    const int width =
        encoding == pugi::encoding_utf16_le || encoding == pugi::encoding_utf16_be
            ? 2
            : (encoding == pugi::encoding_utf32_le || encoding == pugi::encoding_utf32_be ? 4 : 1);
    const bool bigEndian =
        encoding == pugi::encoding_utf16_be || encoding == pugi::encoding_utf32_be;
    QByteArray bytes;
    for (const char* c = ascii; *c; ++c) {
        QByteArray unit(width, '\0');
        unit[bigEndian ? width - 1 : 0] = *c;
        bytes += unit;
    }
    return bytes;
}

qsizetype findBytes(QByteArrayView bytes, QByteArrayView needle, qsizetype from, qsizetype width)
{
    while (from >= 0 && from <= bytes.size() - needle.size()) {
        const void* found = ::memmem(bytes.data() + from, size_t(bytes.size() - from),
                                     needle.data(), size_t(needle.size()));
        if (!found)
            return -1;
        const qsizetype at = static_cast<const char*>(found) - bytes.data();
        if (at % width == 0)
            return at;
        from = at + 1;
    }
    return -1;
}

void replaceAll(QByteArray& bytes, QByteArrayView before, QByteArrayView after, qsizetype width)
{
    qsizetype at = findBytes(bytes, before, 0, width);
    if (at < 0)
        return;
    QByteArray result;
    result.reserve(bytes.size() + (after.size() > before.size() ? bytes.size() / 8 : 0));
    qsizetype done = 0;
    for (; at >= 0; at = findBytes(bytes, before, done, width)) {
        result.append(bytes.constData() + done, at - done);
        result.append(after);
        done = at + before.size();
    }
    result.append(bytes.constData() + done, bytes.size() - done);
    bytes = std::move(result);
}

qsizetype unitWidth(pugi::xml_encoding encoding)
{
    return encodedAscii(" ", encoding).size();
}

namespace {

bool hasDeclaration(const pugi::xml_node& document)
{
    for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_declaration)
            return true;
    return false;
}

// The length of the well-formed UTF-8 sequence at i, 0 when there is none: what a decoder
// reads as one character. Anything else it reads as one U+FFFD per byte.
int utf8SequenceAt(const QByteArray& utf8, qsizetype i)
{
    const uchar lead = uchar(utf8[i]);
    if (lead < 0x80)
        return 1;
    int length = 0;
    uchar low = 0x80, high = 0xBF; // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > utf8.size() || uchar(utf8[i + 1]) < low || uchar(utf8[i + 1]) > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if ((uchar(utf8[i + k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

// UTF-8 output as a file read as Latin-1 is written: a byte for each character, as pugixml
// writes it, except for a character beyond Latin-1, which pugixml writes as "?". In text and
// attribute values it becomes a character reference, which the next load reads back;
// elsewhere (a name, a comment, CDATA) nothing can stand for it but "?". A byte that is not
// UTF-8 (a reference to no character leaves such bytes in a text) read as U+FFFD, and is
// written as that.
QByteArray latin1Output(const QByteArray& utf8)
{
    // Nothing beyond U+00FF (which starts with a byte of 0xC4 or more) and no stray byte: each
    // character is a byte of its own, wherever it stands.
    QByteArray latin1(utf8.size(), Qt::Uninitialized);
    qsizetype n = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar c = uchar(utf8[i]);
        if (c < 0x80) {
            latin1[n++] = char(c);
        } else if (c < 0xC4 && utf8SequenceAt(utf8, i) == 2) {
            latin1[n++] = char(((c & 0x1F) << 6) | (uchar(utf8[++i]) & 0x3F));
        } else {
            n = -1;
            break;
        }
    }
    if (n >= 0) {
        latin1.truncate(n);
        return latin1;
    }
    QByteArray out;
    out.reserve(utf8.size());
    const qsizetype size = utf8.size();
    const auto unit = [&](qsizetype i) -> char { return uchar(utf8[i]) < 0x80 ? utf8[i] : 0; };
    qsizetype next = 0; // the first byte not yet written
    scanMarkup(size, unit, [&](qsizetype i, Region region) {
        if (i < next)
            return;
        const int length = utf8SequenceAt(utf8, i);
        next = i + std::max(length, 1);
        char32_t code = 0xFFFD;
        if (length > 0) {
            code = length == 1 ? uchar(utf8[i]) : uchar(utf8[i]) & (0x3F >> (length - 1));
            for (int k = 1; k < length; ++k)
                code = (code << 6) | (uchar(utf8[i + k]) & 0x3F);
        }
        if (code <= 0xFF)
            out += char(code);
        else if (region == Region::Text || region == Region::Quoted)
            out += "&#x" + QByteArray::number(uint(code), 16).toUpper() + ';';
        else
            out += '?';
    });
    return out;
}

// UTF-8 output as a file read as UTF-16 or UTF-32 is written. A byte that is not part of a
// character (a reference to no character leaves such bytes in a text) is written as U+FFFD,
// as a load reads it, where pugixml's own conversion drops it.
QByteArray wideOutput(const QByteArray& utf8, pugi::xml_encoding encoding)
{
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    QStringConverter::Encoding to = QStringConverter::Utf16LE;
    switch (encoding) {
    case pugi::encoding_utf16_be:
        to = QStringConverter::Utf16BE;
        break;
    case pugi::encoding_utf16:
        to = little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        break;
    case pugi::encoding_utf32_le:
        to = QStringConverter::Utf32LE;
        break;
    case pugi::encoding_utf32_be:
        to = QStringConverter::Utf32BE;
        break;
    case pugi::encoding_utf32:
    case pugi::encoding_wchar:
        to = little ? QStringConverter::Utf32LE : QStringConverter::Utf32BE;
        break;
    default:
        break;
    }
    QStringEncoder encoder(to);
    return encoder.encode(QString::fromUtf8(utf8));
}

class ByteWriter : public pugi::xml_writer
{
public:
    void write(const void* data, size_t size) override
    {
        bytes.append(static_cast<const char*>(data), qsizetype(size));
    }
    QByteArray bytes;
};

} // namespace

QByteArray serialized(XmlDocumentState& state)
{
    learnFormat(state);
    const XmlDocumentState* const m_state = &state;
    // A new document states what it is; a loaded one keeps the declaration it had, or none.
    const bool declared = hasDeclaration(m_state->document);
    pugi::xml_document declaration;
    if (!m_state->loaded && !declared) {
        pugi::xml_node node = declaration.append_child(pugi::node_declaration);
        node.append_attribute("version") = "1.0";
        node.append_attribute("encoding") = "UTF-8";
    }
    const pugi::xml_encoding encoding = m_state->encoding;
    const bool wide = encoding != pugi::encoding_utf8 && encoding != pugi::encoding_latin1;
    unsigned int flags = pugi::format_indent | pugi::format_no_declaration;
    if (m_state->byteOrderMark || wide)
        flags |= pugi::format_write_bom;
    if (m_state->emptyForm == XmlDocumentState::EmptyForm::Pair)
        flags |= pugi::format_no_empty_element_tags;
    if (m_state->raw)
        flags = (flags & ~pugi::format_indent) | pugi::format_raw;
    ByteWriter writer;
    // The document's nodes are written one by one, as a save of the document writes them,
    // leaving out the parking element without copying a large tree first. The byte-order
    // mark comes from saving an empty document.
    pugi::xml_document().save(writer, "", flags, encoding);
    flags &= ~pugi::format_write_bom;
    // Latin-1 is written from UTF-8, so that no character is lost to a "?" that a reference
    // can stand for; so are UTF-16 and UTF-32, so that no byte of a text is lost at all.
    const pugi::xml_encoding printed =
        encoding == pugi::encoding_latin1 || wide ? pugi::encoding_utf8 : encoding;
    const qsizetype body = writer.bytes.size();
    for (pugi::xml_node child = declaration.first_child(); child; child = child.next_sibling())
        child.print(writer, m_state->indent.c_str(), flags, printed, 0);
    for (pugi::xml_node child = m_state->document.first_child(); child;
         child = child.next_sibling())
        if (child != m_state->parking)
            child.print(writer, m_state->indent.c_str(), flags, printed, 0);
    if (encoding == pugi::encoding_latin1)
        writer.bytes = writer.bytes.first(body) + latin1Output(writer.bytes.sliced(body));
    else if (wide)
        writer.bytes = writer.bytes.first(body) + wideOutput(writer.bytes.sliced(body), encoding);
    if (m_state->emptyForm == XmlDocumentState::EmptyForm::Slash)
        closeWithoutSpace(writer.bytes, encoding);
    if (m_state->raw) {
        // Raw output breaks no line; the file's own breaks around the body come back.
        const QByteArray declarationEnd = encodedAscii("?>", encoding);
        const qsizetype at = findBytes(writer.bytes, declarationEnd, 0, unitWidth(encoding));
        if (m_state->declarationLine && (declared || declaration.first_child()) && at >= 0)
            writer.bytes.insert(at + declarationEnd.size(), encodedAscii("\n", encoding));
        if (m_state->finalLine)
            writer.bytes += encodedAscii("\n", encoding);
    }
    restoreReferences(writer.bytes, encoding, m_state->entities);
    if (m_state->crlf)
        replaceAll(writer.bytes, encodedAscii("\n", encoding), encodedAscii("\r\n", encoding),
                   unitWidth(encoding));
    return std::move(writer.bytes);
}

} // namespace globalstab::xml
