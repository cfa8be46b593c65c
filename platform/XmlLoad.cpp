#include "platform/TextCodec.h"
#include "platform/XmlDocument_p.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

// Reading a file into a tree, and refusing one that a save could not write back whole.

namespace globalstab::xml {

namespace {

constexpr int MaxDepth = 2000;

// True when elements below node nest deeper than limit.
bool nestedDeeperThan(const pugi::xml_node& node, const XmlDocumentState& state, int limit)
{
    bool tooDeep = false;
    forEachBelow(node, state, [&](const pugi::xml_node& child, int depth) {
        if (child.type() != pugi::node_element || tooDeep)
            return false;
        tooDeep = depth > limit;
        return !tooDeep;
    });
    return tooDeep;
}

// True when data holds more than limit bytes '<'; stops counting there.
bool opensMoreThan(const QByteArray& data, int limit)
{
    const char* at = data.constData();
    const char* const end = at + data.size();
    for (int found = 0; (at = static_cast<const char*>(std::memchr(at, '<', size_t(end - at))));
         ++at)
        if (++found > limit)
            return true;
    return false;
}

// pugixml reads a windows-1252 declaration as UTF-8, and a Latin-1 one too when a blank
// comes first. Reading such a file as Latin-1 keeps every byte, and a save writes them back.
bool declaresWindows1252(const QByteArray& data)
{
    // Read by hand, in place: an inspection runs this on several threads, over thousands of
    // files, half of which start with a byte-order mark. The declaration is read whole, to
    // its first ">": a save writes a control character of a value as a reference, which
    // may push the encoding past any fixed length.
    const qsizetype longest = std::min<qsizetype>(data.size(), 64 * 1024);
    const void* end = std::memchr(data.constData(), '>', size_t(longest));
    const qsizetype length = end ? static_cast<const char*>(end) - data.constData() + 1 : longest;
    std::array<char, 200> small;
    std::string large;
    char* lowered = small.data();
    if (length > qsizetype(small.size())) {
        large.resize(size_t(length));
        lowered = large.data();
    }
    for (qsizetype i = 0; i < length; ++i) {
        const char c = data.at(i);
        lowered[i] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
    const QByteArrayView head(lowered, length);
    qsizetype at = 0;
    while (at < head.size() && QChar::isSpace(uchar(head.at(at))))
        ++at;
    if (!head.sliced(at).startsWith("<?xml"))
        return false;
    // Searched as a plain view: the searches of QByteArrayView cost more to set up than a
    // declaration takes to scan.
    const std::string_view plain(head.data(), size_t(head.size()));
    const auto find = [&](std::string_view what, qsizetype from) {
        const size_t found = plain.find(what, size_t(from));
        return found == std::string_view::npos ? qsizetype(-1) : qsizetype(found);
    };
    const qsizetype close = find(">", at);
    const auto skipBlanks = [&](qsizetype from) {
        while (from < head.size() && QChar::isSpace(uchar(head.at(from))))
            ++from;
        return from;
    };
    static constexpr const char* names[] = {"windows-1252", "cp1252", "iso-8859-1", "latin-1",
                                            "latin1"};
    const auto isQuote = [](char c) { return c == '"' || c == '\''; };
    for (qsizetype found = find("encoding", at + 5); found >= 0 && (close < 0 || found < close);
         found = find("encoding", found + 1)) {
        qsizetype i = skipBlanks(found + 8);
        if (i >= head.size() || head.at(i) != '=')
            continue;
        i = skipBlanks(i + 1);
        if (i >= head.size() || !isQuote(head.at(i)))
            continue;
        ++i;
        for (const char* name : names) {
            const qsizetype end = i + qsizetype(std::strlen(name));
            if (head.sliced(i).startsWith(name) && end < head.size() && isQuote(head.at(end)))
                return true;
        }
    }
    return false;
}

// ASCII without NUL reads the same in every encoding a document may have but UTF-16 and
// UTF-32, whose text has NULs.
bool isPlainAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return c != '\0' && uchar(c) < 0x80; });
}

// True when something other than white space, the declaration, processing instructions,
// comments and the document type stands before the root element.
// Over the text as read (ASCII, for the common case) or as decoded.
template <typename View> std::optional<bool> textBeforeRoot(View text)
{
    qsizetype at = 0;
    const auto skipPast = [&](QLatin1StringView end) {
        const qsizetype found = text.indexOf(end, at);
        at = found < 0 ? text.size() : found + end.size();
    };
    const auto startsHere = [&](QLatin1StringView start) {
        return text.sliced(at).startsWith(start);
    };
    while (at < text.size()) {
        const QChar c(text.at(at));
        if (c.isSpace() || c == QChar(0xFEFF)) {
            ++at;
        } else if (startsHere(QLatin1StringView("<!--"))) {
            skipPast(QLatin1StringView("-->"));
        } else if (startsHere(QLatin1StringView("<?"))) {
            skipPast(QLatin1StringView("?>"));
        } else if (startsHere(QLatin1StringView("<!DOCTYPE"))) {
            const qsizetype subset = text.indexOf(QChar(u'['), at);
            const qsizetype close = text.indexOf(QChar(u'>'), at);
            skipPast(subset >= 0 && subset < close ? QLatin1StringView("]>")
                                                   : QLatin1StringView(">"));
        } else {
            return c != QLatin1Char('<');
        }
    }
    return std::nullopt; // the text ends before any element
}

bool hasTextBeforeRoot(const QByteArray& data)
{
    // The prologue is short: a first slice settles it for nearly every file, without decoding
    // a large document whole. Only an ASCII slice is trusted: it reads the same whatever the
    // whole file turns out to be (no NUL, so not UTF-16; no byte of another encoding).
    constexpr qsizetype Slice = 4096;
    const QByteArrayView head = QByteArrayView(data).first(std::min(data.size(), Slice));
    if (isPlainAscii(head)) {
        const std::optional<bool> found = textBeforeRoot(QLatin1StringView(head));
        if (found || head.size() == data.size())
            return found.value_or(false);
    }
    return textBeforeRoot(QStringView(textCodec::decodeText(data))).value_or(false);
}

// Confirms what the scan above suspects with the parser's own reading: as a fragment, a
// document keeps the text that stands beside its root element.
bool parsesTextBeforeRoot(const QByteArray& data, pugi::xml_encoding encoding)
{
    pugi::xml_document fragment;
    if (!fragment.load_buffer(data.constData(), size_t(data.size()),
                              pugi::parse_full | pugi::parse_fragment, encoding))
        return true;
    for (pugi::xml_node child = fragment.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return false;
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            return true;
    }
    return false;
}

// Reads one file whole, or says in error why it could not. With a folder, the file is opened
// below it by the name after its first folderBytes bytes: thousands of files in one folder
// then spare the kernel the walk of the same leading path for each.
std::optional<QByteArray> readBytes(const QString& native, QString& error, int folder,
                                    qsizetype folderBytes)
{
    // Read with plain calls: an action may read thousands of small documents.
    const QByteArray encodedName = QFile::encodeName(native);
    const char* name = encodedName.constData() + folderBytes;
    // Not touching the access time spares the file system an inode write per document read;
    // only the owner may ask it.
    int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const QString reason = fd < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                      : QStringLiteral("Is a directory");
        if (fd >= 0)
            ::close(fd);
        error = QStringLiteral("Cannot open '%1': %2").arg(native, reason);
        return std::nullopt;
    }
    // One byte to spare: the read that finds the end needs no larger buffer.
    QByteArray data(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == data.size())
            data.resize(got + 4096); // the file grew since
        const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            error = QStringLiteral("Cannot read '%1': %2").arg(native, reason);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
        // A regular file reads short only at its end: no call to find it.
        if (S_ISREG(info.st_mode) && got < data.size())
            break;
    }
    ::close(fd);
    data.truncate(got);

    return data;
}

// Parses the bytes read from native into an empty state.
bool parseDocument(const QString& native, const QByteArray& data, XmlDocumentState& doc)
{
    const pugi::xml_encoding encoding =
        declaresWindows1252(data) ? pugi::encoding_latin1 : pugi::encoding_auto;
    const pugi::xml_parse_result result = doc.document.load_buffer(
        data.constData(), size_t(data.size()), pugi::parse_full & ~pugi::parse_ws_pcdata, encoding);
    if (!result) {
        doc.document.reset();
        doc.parseError = QStringLiteral("%1 at offset %2 of '%3'")
                             .arg(QString::fromUtf8(result.description()))
                             .arg(result.offset)
                             .arg(native);
        return false;
    }
    // No document of the tool nests deeply; a file that does is hostile or broken, and
    // refusing it keeps every later walk and query within bounds. Every level opens with a
    // '<', which is a byte of its own in each encoding read: a file with no more of those
    // bytes than the limit needs no walk.
    if (opensMoreThan(data, MaxDepth) && nestedDeeperThan(doc.document, doc, MaxDepth)) {
        doc.document.reset();
        doc.parseError = QStringLiteral("'%1' is nested too deep: its elements nest more than "
                                        "%2 levels")
                             .arg(native)
                             .arg(MaxDepth);
        return false;
    }
    // The parser passes over text before the root element; a save would lose it unseen.
    if (hasTextBeforeRoot(data) && parsesTextBeforeRoot(data, encoding)) {
        doc.document.reset();
        doc.parseError =
            QStringLiteral("'%1' has text before its root element, which would be lost")
                .arg(native);
        return false;
    }
    // XML ends every line with a line feed, in the document type too, where the parser
    // keeps a carriage return as it is; a save would write it as a reference, which means
    // nothing there.
    for (pugi::xml_node child = doc.document.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_doctype || !std::strchr(child.value(), '\r'))
            continue;
        std::string value = child.value();
        std::string normalised;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\r')
                normalised += value[i];
            else if (i + 1 >= value.size() || value[i + 1] != '\n')
                normalised += '\n';
        }
        child.set_value(normalised.c_str());
    }
    doc.encoding = result.encoding;
    doc.byteOrderMark = textCodec::byteOrderMark(data) != textCodec::ByteOrderMark::None;
    doc.loaded = true;
    // Most documents read are never saved: how the file is laid out is learnt at the save.
    doc.source = data;
    return true;
}

} // namespace

bool readDocument(const QString& native, XmlDocumentState& doc, int folder, qsizetype folderBytes)
{
    QString error;
    const std::optional<QByteArray> data = readBytes(native, error, folder, folderBytes);
    if (!data) {
        doc.parseError = error;
        return false;
    }
    return parseDocument(native, *data, doc);
}

} // namespace globalstab::xml
