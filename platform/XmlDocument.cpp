#include "platform/XmlDocument.h"

#include "platform/FileSystem.h"
#include "platform/HeldDocuments.h"
#include "platform/Parallel.h"
#include "platform/Progress.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QSysInfo>

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <string>
#include <utility>

// The tree is kept by pugixml, which cannot hold a node outside its document. Nodes that the
// object model treats as detached (created and not yet inserted, or removed) are therefore
// parked below one hidden element under the document node. Every way of looking at the
// document (navigation, queries, text, save) leaves that element and its subtree out, and a
// node whose parent is the parking element has no parent and no siblings.
//
// Serialisation: save() writes the encoding the file was read in (UTF-8 for a new document),
// with a byte-order mark when the file had one (always for UTF-16 and UTF-32, which XML
// requires to start with one). The declaration is written only when the document has one:
// a loaded declaration is kept as it was, and a new document is saved without any. Elements
// are indented by two blanks, one node a line; an element holding text stays on one line.
// Lines end with a line feed.

namespace globalstab {

namespace detail {
struct XmlDocumentState
{
    pugi::xml_document document;
    pugi::xml_node parking; // created on first need
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    bool byteOrderMark = false;
    bool loaded = false;
    std::string indent = "    ";
    bool raw = false;            // elements nested on one line
    bool declarationLine = true; // raw: a line break after the declaration
    bool finalLine = true;       // raw: a line break at the end
    bool crlf = false;           // lines end with CR LF
    QStringList entities;        // references to entities other than the five of XML
    // How the file wrote elements without content: "<a />", "<a/>" or "<a></a>".
    enum class EmptyForm
    {
        SpacedSlash,
        Slash,
        Pair
    } emptyForm = EmptyForm::SpacedSlash;
    QString parseError;
    // The file as read. Once its layout is learnt from it, kept only while the tree is as
    // read: the next action may take that tree while the file holds these bytes.
    QByteArray source;
    bool formatLearnt = false;
    quint64 generation = 0; // counts the changes of the tree
    // What document classes derived from the tree, with the generation it was derived from.
    QHash<int, std::pair<quint64, std::shared_ptr<const void>>> derived;

    pugi::xml_node parkingElement()
    {
        if (!parking)
            parking = document.append_child("globalstab-detached-nodes");
        return parking;
    }

    // True for the parking element and everything below it.
    bool hidden(pugi::xml_node node) const
    {
        if (!parking)
            return false;
        for (; node; node = node.parent())
            if (node == parking)
                return true;
        return false;
    }
};
} // namespace detail

using detail::XmlDocumentState;

namespace {

std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

// A text as the parser's UTF-8, on the stack when short and ASCII: a rebuild converts
// element names and values by the thousand.
class Utf8
{
public:
    explicit Utf8(QStringView text)
    {
        if (text.size() < qsizetype(sizeof(m_small)) &&
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            char* out = m_small;
            for (const QChar c : text)
                *out++ = char(c.unicode());
            *out = '\0';
            m_data = m_small;
        } else {
            m_large = text.toUtf8();
            m_data = m_large.constData();
        }
    }
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;

    const char* c_str() const { return m_data; }

private:
    char m_small[64];
    QByteArray m_large;
    const char* m_data = nullptr;
};

QString fromUtf8(const pugi::char_t* text)
{
    // Nearly every text is ASCII, which needs no decoder.
    const char* end = text;
    while (*end && uchar(*end) < 0x80)
        ++end;
    if (!*end)
        return QString::fromLatin1(text, end - text);
    // A text may start with U+FEFF ("&#xFEFF;"): it is a character here, not a byte-order
    // mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(text));
}

[[noreturn]] void invalidArgument(const QString& detail)
{
    raiseError(rt::InvalidArgument,
               QStringLiteral("Invalid procedure call or argument: ") + detail);
}

constexpr int MaxDepth = 2000;

// A name as the parser holds it compared with an ASCII one, in place.
bool hasName(const char* own, QLatin1StringView name)
{
    return std::strncmp(own, name.data(), size_t(name.size())) == 0 && own[name.size()] == '\0';
}

bool isText(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Visits the nodes below root in document order with their depth below it (1 for a child),
// leaving out the parking element. Returning true from visit descends into the node. The
// parser's own walk steps through its nodes directly, with one call of ours per node, and
// without recursion, so that no depth of a document exhausts the stack; a subtree not
// descended into is passed over at the cost of a depth check per node.
template <typename Visit>
void forEachBelow(const pugi::xml_node& root, const XmlDocumentState& state, const Visit& visit)
{
    class Walker final : public pugi::xml_tree_walker
    {
    public:
        Walker(const Visit& visit, pugi::xml_node parking)
            : m_visit(visit), m_parking(parking), m_parks(parking)
        {
        }

        bool for_each(pugi::xml_node& node) override
        {
            const int below = depth() + 1;
            if (m_skipBelow > 0) {
                if (below > m_skipBelow)
                    return true;
                m_skipBelow = 0;
            }
            if ((m_parks && node == m_parking) || !m_visit(node, below))
                m_skipBelow = below;
            return true;
        }

    private:
        const Visit& m_visit;
        pugi::xml_node m_parking; // null unless root holds it
        bool m_parks;             // a test of a member, not a call into the parser per node
        int m_skipBelow = 0;      // the depth whose subtrees are passed over; 0 for none
    };
    Walker walker(visit, root == state.document ? state.parking : pugi::xml_node());
    pugi::xml_node(root).traverse(walker);
}

void collectText(const pugi::xml_node& node, const XmlDocumentState& state, std::string& out)
{
    forEachBelow(node, state, [&](const pugi::xml_node& child, int) {
        if (isText(child))
            out += child.value();
        return child.type() == pugi::node_element;
    });
}

// Skips the parking element when walking the children of the document node.
pugi::xml_node visible(pugi::xml_node node, const XmlDocumentState& state, bool forward)
{
    while (node && node == state.parking)
        node = forward ? node.next_sibling() : node.previous_sibling();
    return node;
}

template <typename Add>
void collectElements(const pugi::xml_node& node, const std::string& name,
                     const XmlDocumentState& state, const Add& add)
{
    const bool any = name == "*";
    forEachBelow(node, state, [&](const pugi::xml_node& child, int) {
        if (child.type() != pugi::node_element)
            return false;
        if (any || std::strcmp(child.name(), name.c_str()) == 0)
            add(child);
        return true;
    });
}

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

pugi::xml_node documentElementOf(const XmlDocumentState& state)
{
    for (pugi::xml_node child = state.document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && child != state.parking)
            return child;
    return pugi::xml_node();
}

// Not a blank and none of <>&"'/=!? (nor a digit, "." or "-" first). Checked by hand: a
// rebuild creates thousands of elements.
bool isValidName(const QString& name)
{
    if (name.isEmpty())
        return false;
    // Blanks and digits as ASCII knows them, as the pattern this replaces did.
    const auto allowed = [](QChar c) { return !QStringView(u" \t\n\v\f\r<>&\"'/=!?").contains(c); };
    const QChar first = name.front();
    if (!allowed(first) || (first >= u'0' && first <= u'9') || first == u'.' || first == u'-')
        return false;
    return std::all_of(name.begin(), name.end(), allowed);
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

bool hasDeclaration(const pugi::xml_node& document)
{
    for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_declaration)
            return true;
    return false;
}

// The unit a file indents its elements by: the blanks or tabs before the first element that
// starts a line; empty for elements on lines of their own at no depth. A file that nests
// elements on one line gets nullopt and stays on one line, so that a save grows only with
// the change.
// The blanks or tabs before the first element that starts a line, when one does.
std::optional<std::string> indentBeforeElement(const QString& text,
                                               QRegularExpression::MatchOptions options)
{
    static const QRegularExpression indented(QStringLiteral("\\n([ \\t]+)<[^/!?]"));
    const QRegularExpressionMatch match =
        indented.match(text, 0, QRegularExpression::NormalMatch, options);
    if (match.hasMatch())
        return match.captured(1).toStdString();
    return std::nullopt;
}

std::optional<std::string> indentUnitOf(const QString& text,
                                        QRegularExpression::MatchOptions options)
{
    if (std::optional<std::string> unit = indentBeforeElement(text, options))
        return unit;
    static const QRegularExpression nestedOnOneLine(
        QStringLiteral("<[A-Za-z_][^<>\\n]*>[^\\n]*<[A-Za-z_][^<>\\n]*>[^\\n]*</"));
    if (nestedOnOneLine.match(text, 0, QRegularExpression::NormalMatch, options).hasMatch())
        return std::nullopt;
    return std::string();
}

// The output's characters as bytes of its encoding.
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

// Where needle first occurs in bytes at or after from, at a multiple of width (a character
// of the encoding, never across two); -1 when nowhere. memmem: the generic search is many
// times slower over a large document.
qsizetype findBytes(QByteArrayView bytes, QByteArrayView needle, qsizetype from = 0,
                    qsizetype width = 1)
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

// Replaces every whole-character occurrence of before by after.
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

// References to entities other than the five of XML: the parser keeps "&company;" as text,
// which a save would escape to "&amp;company;".
// "&name;" with a name of ASCII letters, digits and "_.:-", not starting with a digit, "." or
// "-": scanned by hand, as a large table of contents holds many references to characters.
template <typename Text> QStringList entityReferencesIn(Text text)
{
    static const QStringList predefined = {QStringLiteral("amp"), QStringLiteral("lt"),
                                           QStringLiteral("gt"), QStringLiteral("quot"),
                                           QStringLiteral("apos")};
    const auto isLetter = [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':';
    };
    const auto isNameChar = [&](QChar c) {
        return isLetter(c) || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
    };
    QStringList names;
    for (qsizetype at = text.indexOf(u'&'); at >= 0; at = text.indexOf(u'&', at + 1)) {
        qsizetype end = at + 1;
        if (end >= text.size() || !isLetter(QChar(text.at(end))))
            continue;
        while (end < text.size() && isNameChar(QChar(text.at(end))))
            ++end;
        if (end >= text.size() || QChar(text.at(end)) != u';')
            continue;
        const QString name = text.mid(at + 1, end - at - 1).toString();
        if (!predefined.contains(name) && !names.contains(name))
            names << name;
    }
    return names;
}

// from: where the first element without content may start at the earliest. Without a match
// the file has none: SpacedSlash, or nullopt when the text is only a stretch of the file.
std::optional<XmlDocumentState::EmptyForm> emptyFormOf(const QString& text, qsizetype from,
                                                       QRegularExpression::MatchOptions options,
                                                       bool stretch)
{
    using Form = XmlDocumentState::EmptyForm;
    static const QRegularExpression empty(
        QStringLiteral("<([A-Za-z_][\\w.:-]*)(?:\\s+[^\\s/<>][^<>]*?)?(\\s?)/>|"
                       "<([A-Za-z_][\\w.:-]*)(?:\\s[^<>]*)?></\\3>"));
    const QRegularExpressionMatch match =
        empty.match(text, from, QRegularExpression::NormalMatch, options);
    if (!match.hasMatch())
        return stretch ? std::nullopt : std::optional(Form::SpacedSlash);
    if (!match.captured(3).isEmpty())
        return Form::Pair;
    return match.captured(2).isEmpty() ? Form::Slash : Form::SpacedSlash;
}

// The characters of ASCII bytes, with zeros past the end: the compiled regular expressions
// read a few characters ahead, which must stay within the allocation and be set.
QString asciiText(QByteArrayView ascii)
{
    QString text(ascii.size() + 16, QChar(0));
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < ascii.size(); ++i)
        out[i] = char16_t(uchar(ascii[i]));
    text.truncate(ascii.size());
    return text;
}

// Learns how a file of ASCII lays itself out: from its bytes, which read the same as its
// characters, and with the patterns matched on the first stretch of the text where they are
// found there. A match that lies wholly within the stretch is the first of the whole text as
// well: neither pattern can match across the "<" or line feed that starts a later match.
void learnAsciiFormat(XmlDocumentState& doc, QByteArrayView body,
                      const textCodec::AsciiMarks& marks)
{
    constexpr qsizetype Stretch = 64 * 1024;
    constexpr auto options = QRegularExpression::DontCheckSubjectStringMatchOption;
    QString whole; // built only where a stretch does not settle it
    const auto text = [&]() -> const QString& {
        if (whole.isNull())
            whole = asciiText(body);
        return whole;
    };
    std::optional<std::string> indent;
    if (body.size() > Stretch)
        indent = indentBeforeElement(asciiText(body.first(Stretch)), options);
    if (!indent)
        indent = indentUnitOf(text(), options);
    doc.raw = !indent;
    doc.indent = indent.value_or(std::string());
    doc.declarationLine = marks.declarationLine >= 0;
    doc.crlf = marks.crlf >= 0;
    doc.entities = marks.ampersand < 0
                       ? QStringList()
                       : entityReferencesIn(QLatin1StringView(body.sliced(marks.ampersand)));
    doc.finalLine = body.endsWith('\n');
    // An element without content ends in "/>" or "></"; its tag starts at the "<" before.
    const qsizetype slash = marks.emptyClose;
    const qsizetype pair = marks.pairClose;
    const qsizetype first = slash < 0 ? pair : (pair < 0 ? slash : std::min(slash, pair));
    if (first < 0) {
        doc.emptyForm = XmlDocumentState::EmptyForm::SpacedSlash;
        return;
    }
    const qsizetype from = std::max<qsizetype>(0, body.first(first).lastIndexOf('<'));
    if (body.size() - from > Stretch) {
        const QString stretch = asciiText(body.sliced(from, Stretch));
        if (const std::optional<XmlDocumentState::EmptyForm> form =
                emptyFormOf(stretch, 0, options, true)) {
            doc.emptyForm = *form;
            return;
        }
    }
    doc.emptyForm = *emptyFormOf(text(), from, options, false);
}

// Learns how the file the document was read from lays itself out, for the save.
void learnFormat(XmlDocumentState& doc)
{
    if (doc.formatLearnt || doc.source.isNull())
        return;
    doc.formatLearnt = true;
    const QByteArray data =
        doc.generation == 0 ? doc.source : std::exchange(doc.source, QByteArray());
    // A large table of contents is learnt from its bytes where it is ASCII (after a UTF-8
    // mark), which read the same as Latin-1, byte for character, and without the decoder.
    const QByteArrayView body = textCodec::byteOrderMark(data) == textCodec::ByteOrderMark::Utf8
                                    ? QByteArrayView(data).sliced(3)
                                    : QByteArrayView(data);
    if (const textCodec::AsciiMarks marks = textCodec::asciiMarks(body); marks.ascii)
        return learnAsciiFormat(doc, body, marks);
    const QString text = textCodec::decodeText(data);
    // A regular expression checks its subject is valid UTF-16 on every match, a pass over
    // the whole text each time: checked once here.
    const QRegularExpression::MatchOptions options =
        QStringView(text).isValidUtf16() ? QRegularExpression::DontCheckSubjectStringMatchOption
                                         : QRegularExpression::NoMatchOption;
    const std::optional<std::string> indent = indentUnitOf(text, options);
    doc.raw = !indent;
    doc.indent = indent.value_or(std::string());
    doc.declarationLine = text.contains(QStringLiteral("?>\n"));
    doc.crlf = text.contains(QStringLiteral("\r\n"));
    doc.entities = entityReferencesIn(QStringView(text));
    doc.finalLine = text.endsWith(QLatin1Char('\n'));
    doc.emptyForm = *emptyFormOf(text, 0, options, false);
}

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

// The stretches of output, as [first unit, unit after), where characters stand for
// themselves: comments, CDATA sections, processing instructions and the document type.
// Every other "<" the writer puts out opens a tag, as it escapes "<" in text and attribute
// values: the stretches are found from one "<" to the next.
std::vector<std::pair<qsizetype, qsizetype>> literalStretches(const QByteArray& bytes,
                                                              pugi::xml_encoding encoding)
{
    const qsizetype width = unitWidth(encoding);
    const AsciiUnits unit(bytes, encoding);
    const qsizetype units = unit.count();
    const auto startsWith = [&](qsizetype i, const char* text) {
        return unitsStartWith(units, unit, i, text);
    };
    const auto past = [&](qsizetype i, const char* end) {
        const qsizetype at = findBytes(bytes, encodedAscii(end, encoding), i * width, width);
        return at < 0 ? units : at / width + qsizetype(std::strlen(end));
    };
    const QByteArray open = encodedAscii("<", encoding);
    std::vector<std::pair<qsizetype, qsizetype>> stretches;
    for (qsizetype at = findBytes(bytes, open, 0, width); at >= 0;) {
        const qsizetype i = at / width;
        qsizetype end = -1;
        if (startsWith(i, "<!--"))
            end = past(i + 4, "-->");
        else if (startsWith(i, "<![CDATA["))
            end = past(i + 9, "]]>");
        else if (startsWith(i, "<?"))
            end = past(i + 2, "?>");
        else if (startsWith(i, "<!"))
            end = documentTypeEnd(units, unit, i);
        if (end >= 0)
            stretches.emplace_back(i, end);
        at = findBytes(bytes, open, (end >= 0 ? end : i + 1) * width, width);
    }
    return stretches;
}

// pugixml writes what a text holds: "&name;" that the parser kept as text (a reference to
// an entity of the file's own) comes out as "&amp;name;", and a carriage return as it is,
// which the next load reads as a line feed. In text and attribute values both go back to
// references; in comments, CDATA sections, processing instructions and the document type
// the characters stand for themselves and stay as they are.
void restoreReferences(QByteArray& bytes, pugi::xml_encoding encoding, const QStringList& entities)
{
    const qsizetype width = unitWidth(encoding);
    struct Change
    {
        qsizetype at, length; // in bytes
        QByteArray with;
    };
    std::vector<Change> changes;
    const auto collect = [&](const QByteArray& before, const QByteArray& after) {
        for (qsizetype at = findBytes(bytes, before, 0, width); at >= 0;
             at = findBytes(bytes, before, at + before.size(), width))
            changes.push_back({at, before.size(), after});
    };
    for (const QString& entity : entities) {
        const QByteArray name = entity.toLatin1();
        collect(encodedAscii(("&amp;" + name + ";").constData(), encoding),
                encodedAscii(("&" + name + ";").constData(), encoding));
    }
    collect(encodedAscii("\r", encoding), encodedAscii("&#13;", encoding));
    if (changes.empty())
        return;
    std::sort(changes.begin(), changes.end(),
              [](const Change& a, const Change& b) { return a.at < b.at; });
    const std::vector<std::pair<qsizetype, qsizetype>> literal = literalStretches(bytes, encoding);
    QByteArray out;
    out.reserve(bytes.size() + qsizetype(changes.size()) * 4 * width);
    qsizetype done = 0;
    auto stretch = literal.cbegin();
    for (const Change& change : changes) {
        const qsizetype unitAt = change.at / width;
        while (stretch != literal.cend() && stretch->second <= unitAt)
            ++stretch;
        if (stretch != literal.cend() && stretch->first <= unitAt)
            continue;
        out.append(bytes.constData() + done, change.at - done);
        out.append(change.with);
        done = change.at + change.length;
    }
    out.append(bytes.constData() + done, bytes.size() - done);
    bytes = std::move(out);
}

// pugixml closes an empty element as "<a />"; a file that wrote "<a/>" gets that back. Only
// the ends of tags change: the same characters in a comment, a CDATA section, a processing
// instruction, the document type or an attribute value are content. The output is read in
// its own encoding, a unit at a time.
void closeWithoutSpace(QByteArray& bytes, pugi::xml_encoding encoding)
{
    const qsizetype width = unitWidth(encoding);
    if (findBytes(bytes, encodedAscii(" />", encoding), 0, width) < 0)
        return;
    const AsciiUnits unit(bytes, encoding);
    const qsizetype units = unit.count();
    std::vector<qsizetype> spaces; // units to drop: the blank of each " />" ending a tag
    scanMarkup(units, unit, [&](qsizetype i, Region region) {
        if (region == Region::Tag && i + 2 < units && unit(i) == ' ' && unit(i + 1) == '/' &&
            unit(i + 2) == '>')
            spaces.push_back(i);
    });
    if (spaces.empty())
        return;
    QByteArray out;
    out.reserve(bytes.size() - qsizetype(spaces.size()) * width);
    qsizetype from = 0;
    for (const qsizetype space : spaces) {
        out.append(bytes.constData() + from * width, (space - from) * width);
        from = space + 1;
    }
    out.append(bytes.constData() + from * width, bytes.size() - from * width);
    bytes = std::move(out);
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

// ---- XmlNode ---------------------------------------------------------------------------

XmlNode::XmlNode(XmlDocumentState* doc, const pugi::xml_node& node)
{
    if (node) {
        m_doc = doc;
        m_node = node.internal_object();
    }
}

pugi::xml_node XmlNode::node() const
{
    return pugi::xml_node(m_node);
}

void XmlNode::requireNode() const
{
    if (isNull())
        raiseError(rt::ObjectNotSet,
                   QStringLiteral("Object variable not set (the XML node is empty: the query that "
                                  "gave it found no node)"));
}

QString XmlNode::nodeName() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    switch (node.type()) {
    case pugi::node_document:
        return QStringLiteral("#document");
    case pugi::node_pcdata:
        return QStringLiteral("#text");
    case pugi::node_cdata:
        return QStringLiteral("#cdata-section");
    case pugi::node_comment:
        return QStringLiteral("#comment");
    case pugi::node_doctype:
        return fromUtf8(node.value()).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    default:
        return fromUtf8(node.name());
    }
}

QString XmlNode::text() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    if (node.type() != pugi::node_element && node.type() != pugi::node_document)
        return fromUtf8(node.value());
    // An element of one text node, the common case, needs no walk.
    const pugi::xml_node only = node.first_child();
    if (!only)
        return QString();
    if (only == node.last_child() && isText(only))
        return fromUtf8(only.value());
    std::string out;
    collectText(node, *m_doc, out);
    return fromUtf8(out.c_str());
}

std::optional<QByteArrayView> XmlNode::plainText() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    const pugi::xml_node only = node.type() == pugi::node_element ? node.first_child() : node;
    if (node.type() == pugi::node_element && !only)
        return QByteArrayView("");
    if (!isText(only) || (only != node && only != node.last_child()))
        return std::nullopt;
    return QByteArrayView(only.value());
}

void XmlNode::setText(const QString& text)
{
    requireNode();
    ++m_doc->generation;
    pugi::xml_node node = this->node();
    if (node.type() == pugi::node_element) {
        node.remove_children();
        if (!text.isEmpty())
            node.append_child(pugi::node_pcdata).set_value(Utf8(text).c_str());
    } else if (node.type() == pugi::node_document || !node.set_value(Utf8(text).c_str())) {
        invalidArgument(QStringLiteral("the text of a %1 node cannot be set").arg(nodeName()));
    }
}

XmlNodeList XmlNode::childNodes() const
{
    requireNode();
    XmlNodeList list;
    for (pugi::xml_node child = node().first_child(); child; child = child.next_sibling())
        if (child != m_doc->parking)
            list.m_nodes.push_back(XmlNode(m_doc, child));
    return list;
}

XmlNode XmlNode::firstChild() const
{
    requireNode();
    return XmlNode(m_doc, visible(node().first_child(), *m_doc, true));
}

bool XmlNode::nodeNameIs(QLatin1StringView name) const
{
    requireNode();
    const pugi::xml_node node = this->node();
    switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
        return hasName(node.name(), name);
    default:
        return nodeName() == name;
    }
}

bool XmlNode::isElement() const
{
    requireNode();
    return node().type() == pugi::node_element;
}

bool XmlNode::hasChildNodes() const
{
    requireNode();
    return bool(visible(node().first_child(), *m_doc, true));
}

XmlNode XmlNode::parentNode() const
{
    requireNode();
    const pugi::xml_node parent = node().parent();
    if (parent == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, parent);
}

XmlNode XmlNode::previousSibling() const
{
    requireNode();
    if (node().parent() == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, visible(node().previous_sibling(), *m_doc, false));
}

XmlNode XmlNode::nextSibling() const
{
    requireNode();
    if (node().parent() == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, visible(node().next_sibling(), *m_doc, true));
}

QString XmlNode::attribute(const QString& name) const
{
    requireNode();
    return fromUtf8(node().attribute(toUtf8(name).c_str()).value());
}

bool XmlNode::hasAttribute(const QString& name) const
{
    requireNode();
    return bool(node().attribute(toUtf8(name).c_str()));
}

void XmlNode::setAttribute(const QString& name, const QString& value)
{
    requireNode();
    ++m_doc->generation;
    pugi::xml_node element = node();
    if (element.type() != pugi::node_element)
        invalidArgument(QStringLiteral("a %1 node has no attributes").arg(nodeName()));
    if (!isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid attribute name").arg(name));
    const std::string key = toUtf8(name);
    pugi::xml_attribute attribute = element.attribute(key.c_str());
    if (!attribute)
        attribute = element.append_attribute(key.c_str());
    attribute.set_value(toUtf8(value).c_str());
}

namespace {

// The compiled queries of the calling thread: an action asks the same few expressions of
// thousands of documents, and each compilation took a block of 4 KiB that, freed between
// the trees the action keeps, left the heap in holes it could not use for them.
const pugi::xpath_query& compiledQuery(const QString& xpath)
{
    thread_local QHash<QString, std::shared_ptr<const pugi::xpath_query>> compiled;
    if (const auto found = compiled.constFind(xpath); found != compiled.cend())
        return **found;
    // Raises for an expression that does not compile, which is then not kept.
    auto query = std::make_shared<const pugi::xpath_query>(toUtf8(xpath).c_str());
    // Expressions built from names would grow it without end.
    constexpr qsizetype MostKept = 256;
    if (compiled.size() >= MostKept)
        compiled.clear();
    return **compiled.insert(xpath, std::move(query));
}

} // namespace

// Queries answer nodes only: an attribute that an expression selects is left out, as no
// caller asks for one. Nodes in the parking area are left out unless the query starts
// there.
XmlNodeList XmlNode::selectNodes(const QString& xpath) const
{
    requireNode();
    XmlNodeList list;
    try {
        const pugi::xpath_query& query = compiledQuery(xpath);
        pugi::xpath_node_set found = query.evaluate_node_set(node());
        found.sort();
        const bool fromParking = m_doc->hidden(node());
        list.m_nodes.reserve(found.size());
        for (const pugi::xpath_node& item : found) {
            const pugi::xml_node match = item.node();
            if (!match || item.attribute() || match == m_doc->parking)
                continue;
            if (!fromParking && m_doc->hidden(match))
                continue;
            list.m_nodes.push_back(XmlNode(m_doc, match));
        }
    } catch (const pugi::xpath_exception& error) {
        // The offset is meaningful for syntax errors only; evaluation errors leave it at 0.
        QString where = QStringLiteral("\"%1\"").arg(xpath);
        if (error.result().offset > 0)
            where += QStringLiteral(" at position %1").arg(error.result().offset + 1);
        raiseError(
            rt::XmlFailure,
            QStringLiteral("%1 in the expression %2").arg(QString::fromUtf8(error.what()), where));
    }
    return list;
}

XmlNode XmlNode::selectSingleNode(const QString& xpath) const
{
    return selectNodes(xpath).item(0);
}

XmlNode XmlNode::firstChildElement(const QString& name) const
{
    requireNode();
    const Utf8 wanted(name);
    for (pugi::xml_node child = node().child(wanted.c_str()); child;
         child = child.next_sibling(wanted.c_str())) {
        if (child.type() == pugi::node_element && child != m_doc->parking)
            return XmlNode(m_doc, child);
    }
    return XmlNode();
}

XmlNode XmlNode::nextSiblingElement(const QString& name) const
{
    requireNode();
    const Utf8 wanted(name);
    for (pugi::xml_node sibling = node().next_sibling(wanted.c_str()); sibling;
         sibling = sibling.next_sibling(wanted.c_str()))
        if (sibling.type() == pugi::node_element && sibling != m_doc->parking)
            return XmlNode(m_doc, sibling);
    return XmlNode();
}

namespace {
// The first element named name among node and its next siblings, the parking element aside.
pugi::xml_node elementNamedFrom(pugi::xml_node node, QLatin1StringView name,
                                const XmlDocumentState& state)
{
    for (; node; node = node.next_sibling())
        if (node.type() == pugi::node_element && hasName(node.name(), name) &&
            node != state.parking)
            return node;
    return pugi::xml_node();
}
} // namespace

XmlNode XmlNode::firstChildElement(QLatin1StringView name) const
{
    requireNode();
    return XmlNode(m_doc, elementNamedFrom(node().first_child(), name, *m_doc));
}

XmlNode XmlNode::nextSiblingElement(QLatin1StringView name) const
{
    requireNode();
    return XmlNode(m_doc, elementNamedFrom(node().next_sibling(), name, *m_doc));
}

XmlNodeList XmlNode::childElements(const QString& name) const
{
    requireNode();
    XmlNodeList list;
    const Utf8 wanted(name);
    for (pugi::xml_node child = node().child(wanted.c_str()); child;
         child = child.next_sibling(wanted.c_str()))
        if (child.type() == pugi::node_element && child != m_doc->parking)
            list.m_nodes.push_back(XmlNode(m_doc, child));
    return list;
}

XmlNodeList XmlNode::getElementsByTagName(const QString& name) const
{
    requireNode();
    XmlNodeList list;
    collectElements(node(), toUtf8(name), *m_doc, [&](const pugi::xml_node& element) {
        list.m_nodes.push_back(XmlNode(m_doc, element));
    });
    return list;
}

XmlNode XmlNode::appendChild(const XmlNode& newChild)
{
    return insertBefore(newChild, XmlNode());
}

void XmlNode::appendElements(const QString& name, const QStringList& texts)
{
    requireNode();
    if (texts.isEmpty())
        return;
    if (!isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid element name").arg(name));
    const Utf8 element(name);
    pugi::xml_node parent = node();
    // What the document node may take (one element, before the parking element) is the
    // general path's to check.
    if (parent.type() != pugi::node_element) {
        for (const QString& text : texts) {
            const XmlNode created(m_doc, m_doc->parkingElement().append_child(element.c_str()));
            XmlNode added = insertBefore(created, XmlNode());
            if (!text.isEmpty())
                added.setText(text);
        }
        return;
    }
    ++m_doc->generation;
    for (const QString& text : texts) {
        pugi::xml_node added = parent.append_child(element.c_str());
        if (!text.isEmpty())
            added.append_child(pugi::node_pcdata).set_value(Utf8(text).c_str());
    }
}

XmlNode XmlNode::insertBefore(const XmlNode& newChild, const XmlNode& refChild)
{
    requireNode();
    newChild.requireNode();
    ++m_doc->generation;
    pugi::xml_node parent = node();
    const pugi::xml_node before = refChild.node();
    if (before && before.parent() != parent)
        invalidArgument(QStringLiteral("the reference node is not a child of this node"));
    if (before && refChild == newChild)
        return newChild;
    const pugi::xml_node moved = newChild.node();
    if (parent.type() == pugi::node_document && moved.type() == pugi::node_element) {
        const pugi::xml_node root = documentElementOf(*m_doc);
        if (root && root != moved)
            invalidArgument(QStringLiteral("a document has only one document element"));
    }

    pugi::xml_node inserted;
    if (newChild.m_doc != m_doc) {
        // A node of another document is copied in, as an import would.
        inserted = before ? parent.insert_copy_before(moved, before) : parent.append_copy(moved);
    } else if (!before) {
        // Keep the parking element last under the document node.
        inserted = parent == m_doc->document && m_doc->parking
                       ? parent.insert_move_before(moved, m_doc->parking)
                       : parent.append_move(moved);
    } else {
        inserted = parent.insert_move_before(moved, before);
    }
    if (!inserted)
        invalidArgument(QStringLiteral("a %1 node cannot be inserted into a %2 node")
                            .arg(newChild.nodeName(), nodeName()));
    return XmlNode(m_doc, inserted);
}

XmlNode XmlNode::removeChild(const XmlNode& oldChild)
{
    requireNode();
    oldChild.requireNode();
    ++m_doc->generation;
    const pugi::xml_node child = oldChild.node();
    if (oldChild.m_doc != m_doc || child.parent() != node() || child == m_doc->parking)
        invalidArgument(QStringLiteral("the node to remove is not a child of this node"));
    if (!m_doc->parkingElement().append_move(child))
        invalidArgument(QStringLiteral("the %1 node cannot be removed").arg(oldChild.nodeName()));
    return oldChild;
}

// ---- XmlDocument ---------------------------------------------------------------------

XmlDocument::XmlDocument() : m_state(std::make_shared<XmlDocumentState>())
{
    m_doc = m_state.get();
    m_node = m_state->document.internal_object();
}

XmlDocument::~XmlDocument() = default;

// The state lives on the heap, so the nodes handed out keep pointing at it after a move.
XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : XmlNode(other), m_state(std::move(other.m_state))
{
    other.m_doc = nullptr;
    other.m_node = nullptr;
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other) {
        m_state = std::move(other.m_state);
        m_doc = std::exchange(other.m_doc, nullptr);
        m_node = std::exchange(other.m_node, nullptr);
    }
    return *this;
}

XmlDocumentState& XmlDocument::state()
{
    if (!m_state) {
        m_state = std::make_shared<XmlDocumentState>();
        m_doc = m_state.get();
        m_node = m_state->document.internal_object();
    }
    return *m_state;
}

namespace {
QByteArray serialized(XmlDocumentState& state);
bool readDocument(const QString& native, XmlDocumentState& doc, int folder = AT_FDCWD,
                  qsizetype folderBytes = 0);
std::optional<QByteArray> readBytes(const QString& native, QString& error, int folder = AT_FDCWD,
                                    qsizetype folderBytes = 0);
bool parseDocument(const QString& native, const QByteArray& data, XmlDocumentState& doc);
thread_local DocumentCache::Private* t_cache = nullptr;

// Trees of large files as their actions parsed them, kept for the next actions of the
// thread: showing the categories parses the table of contents, and the add, rename or
// delete that follows would parse the same bytes again. A load still reads the file; only
// when its bytes are those the tree was parsed from does it take the tree instead of
// parsing. A tree is kept only when nothing changed it and nothing else holds it, so the
// tree taken is exactly the parse of those bytes; what was derived from it (an index of
// its categories) comes along.
class ParsedTrees
{
public:
    std::shared_ptr<XmlDocumentState> take(const QString& native)
    {
        const auto found = std::find_if(m_kept.begin(), m_kept.end(),
                                        [&](const Kept& kept) { return kept.native == native; });
        if (found == m_kept.end())
            return nullptr;
        std::shared_ptr<XmlDocumentState> state = std::move(found->state);
        m_bytes -= state->source.size();
        m_kept.erase(found);
        return state;
    }

    // Small files parse faster than they are worth keeping.
    static constexpr qsizetype Smallest = 64 * 1024;

    void offer(const QString& native, std::shared_ptr<XmlDocumentState> state)
    {
        // A tree with the bytes it was parsed from takes about five times as much memory.
        constexpr qsizetype MostBytes = 4 * 1024 * 1024;
        take(native);
        if (!state || state.use_count() != 1 || !state->loaded || state->generation != 0 ||
            state->source.size() < Smallest || state->source.size() > MostBytes)
            return;
        m_bytes += state->source.size();
        m_kept.push_back({native, std::move(state)});
        while (m_bytes > MostBytes) {
            m_bytes -= m_kept.front().state->source.size();
            m_kept.erase(m_kept.begin());
        }
    }

    void clear()
    {
        m_kept.clear();
        m_bytes = 0;
    }

private:
    struct Kept
    {
        QString native;
        std::shared_ptr<XmlDocumentState> state;
    };
    std::vector<Kept> m_kept; // the last offered last
    qsizetype m_bytes = 0;
};
thread_local ParsedTrees t_parsed;
} // namespace

struct DocumentCache::Private : detail::HeldDocuments
{
    struct Entry
    {
        std::shared_ptr<XmlDocumentState> state;
        quint64 generation = 0;  // of the tree as read or saved
        bool waiting = false;    // a save waits
        bool created = false;    // the file did not exist when the save was held
        bool deleted = false;    // a deletion waits (no tree then)
        bool readOnDisk = false; // left alone, the file holds the bytes of its first parse
        qsizetype slot = -1;     // its place in order, while the next writeOut is to save it
    };
    QHash<QString, Entry> entries;
    // Each file's tree as first read, while unchanged: a refresh deletes the category set
    // and builds it anew, and when it comes out as it was, the tree read at the start is
    // still the parse of the file, for the next action to take.
    QHash<QString, std::shared_ptr<XmlDocumentState>> firstRead;
    // The saves the next writeOut makes, first saved first; a save forgotten leaves an empty
    // place, so that forgetting one of thousands moves none of the others.
    std::vector<QString> order;
    qsizetype listed = 0; // the places of order that are not empty
    detail::WaitingPaths listedPaths;
    bool writing = false;
    static constexpr qsizetype FewTrees = 256;
    qsizetype nextLook = FewTrees; // the waiting saves at which writeOutAlone looks again

    // The tree of the file, unless it was changed since it was read and never saved.
    std::shared_ptr<XmlDocumentState> find(const QString& native) const
    {
        const auto found = entries.constFind(native);
        if (found == entries.cend() || found->deleted)
            return nullptr;
        if (!found->waiting && found->state->generation != found->generation)
            return nullptr;
        return found->state;
    }

    void keep(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
    {
        Entry& entry = entries[native];
        unlist(native, entry);
        entry = Entry{state, state->generation};
        if (state->generation == 0 && state->loaded && !firstRead.contains(native))
            firstRead.insert(native, state);
    }

    void list(const QString& native, Entry& entry)
    {
        entry.slot = qsizetype(order.size());
        order.push_back(native);
        ++listed;
        listedPaths.add(native, entry.created);
    }

    void unlist(const QString& native, Entry& entry)
    {
        if (entry.slot < 0)
            return;
        order[size_t(entry.slot)] = QString();
        --listed;
        listedPaths.remove(native, entry.created);
        entry.slot = -1;
    }

    void hold(const QString& native, const std::shared_ptr<XmlDocumentState>& state)
    {
        Entry& entry = entries[native];
        if (!entry.waiting) {
            entry.waiting = true;
            entry.created = ::access(QFile::encodeName(native).constData(), F_OK) != 0;
            list(native, entry);
        }
        // A save after a deletion replaces the file on disk.
        entry.deleted = false;
        entry.readOnDisk = false;
        entry.state = state;
        entry.generation = state->generation;
        writeOutAlone();
    }

    // An action that saves thousands of documents one after another would keep every tree
    // until its end. A waiting tree that nothing but the cache holds any more (no document
    // object has it, so no node of it may be used either) is written into the write batch
    // instead, where it waits as a file until the commit, and dropped; a later load reads
    // the file. Looked for whenever the waiting trees have doubled since the last look, so
    // that trees their callers keep cost no more than a walk over them now and then. Trees
    // of large files are left for the end, which may keep them for the next action.
    void writeOutAlone()
    {
        if (writing || listed < nextLook || !WriteBatch::active())
            return;
        writing = true;
        const auto written = qScopeGuard([this] { writing = false; });
        std::vector<QString> left;
        left.reserve(size_t(listed));
        for (QString& native : order) {
            if (native.isEmpty())
                continue;
            const auto found = entries.find(native);
            if (found != entries.end() && writtenAlone(native, *found)) {
                listedPaths.remove(native, found->created);
                entries.erase(found);
                firstRead.remove(native);
                continue;
            }
            if (found != entries.end())
                found->slot = qsizetype(left.size());
            left.push_back(std::move(native));
        }
        order = std::move(left);
        listed = qsizetype(order.size());
        nextLook = std::max(FewTrees, 2 * listed);
    }

    // Writes the tree of entry when only the cache holds it; false when it is held elsewhere,
    // is no tree, or the write failed (the end tries again and reports it).
    bool writtenAlone(const QString& native, const Entry& entry)
    {
        if (!entry.waiting || entry.deleted || !entry.state ||
            entry.state->source.size() >= ParsedTrees::Smallest)
            return false;
        const auto first = firstRead.constFind(native);
        const long holders = first != firstRead.cend() && first->get() == entry.state.get() ? 2 : 1;
        if (entry.state.use_count() != holders)
            return false;
        try {
            const QByteArray bytes = serialized(*entry.state);
            if (entry.created || WriteBatch::waits(native) || !fileHolds(native, bytes))
                atomicWriteFile(native, bytes);
            return true;
        } catch (const RuntimeError&) {
            return false;
        }
    }

    bool holdDeletion(const QString& native) override
    {
        if (writing)
            return false;
        Entry& entry = entries[native];
        const bool wasWaiting = entry.waiting;
        const qsizetype slot = entry.slot;
        if (slot >= 0)
            listedPaths.remove(native, entry.created);
        entry = Entry{nullptr, 0, true, false, true, false, slot};
        if (!wasWaiting)
            list(native, entry);
        else if (slot >= 0)
            listedPaths.add(native, false);
        return true;
    }

    bool deleted(const QString& native) const override
    {
        const auto found = entries.constFind(native);
        return found != entries.cend() && found->deleted;
    }

    bool waits(const QString& native) const override
    {
        const auto found = entries.constFind(native);
        return found != entries.cend() && found->waiting;
    }

    QString newFileSpelt(const QString& native) const override
    {
        return listed > 0 ? listedPaths.createdSpelt(native) : QString();
    }

    bool waitsBelow(const QString& folder, bool all) const override
    {
        return listed > 0 &&
               listedPaths.below(folder.endsWith(QLatin1Char('/')) ? folder : folder + '/', all);
    }

    // The texts of the documents that wait to be written, each tree printed once (two paths
    // may hold one tree), on every core: a large table of contents prints while the small
    // documents do. A failure is kept for the moment the tree is written.
    struct Serialized
    {
        QHash<const XmlDocumentState*, size_t> index;
        std::vector<QByteArray> texts;
        std::vector<std::exception_ptr> failures;

        const QByteArray& of(const XmlDocumentState& state) const
        {
            const size_t i = index.value(&state);
            if (failures[i])
                std::rethrow_exception(failures[i]);
            return texts[i];
        }
    };

    Serialized serializeAll(std::span<const QString> saving)
    {
        Serialized out;
        std::vector<XmlDocumentState*> trees;
        for (const QString& native : saving) {
            const auto found = entries.constFind(native);
            if (found == entries.cend())
                continue;
            const Entry& entry = *found;
            if (entry.waiting && !entry.deleted && entry.state &&
                !out.index.contains(entry.state.get())) {
                out.index.insert(entry.state.get(), trees.size());
                trees.push_back(entry.state.get());
            }
        }
        out.texts.resize(trees.size());
        out.failures.resize(trees.size());
        forEachInParallel(trees.size(), 1, [&](size_t i) {
            try {
                out.texts[i] = serialized(*trees[i]);
            } catch (...) {
                out.failures[i] = std::current_exception();
            }
        });
        return out;
    }

    void writeOut() override
    {
        if (writing || listed == 0)
            return;
        writing = true;
        // A stop raised by the progress leaves through here.
        const auto written = qScopeGuard([this] { writing = false; });
        std::vector<QString> saving;
        saving.reserve(size_t(listed));
        for (QString& native : order) {
            if (native.isEmpty())
                continue;
            entries[native].slot = -1;
            saving.push_back(std::move(native));
        }
        order.clear();
        listed = 0;
        listedPaths.clear();
        nextLook = FewTrees;
        std::optional<RuntimeError> first;
        // Printed a part at a time: the texts of thousands of documents at once cost as much
        // memory again as the files.
        constexpr size_t Part = 256;
        Serialized texts;
        for (size_t done = 0; done < saving.size(); ++done) {
            const QString& native = saving[done];
            if (done % Part == 0)
                texts = serializeAll(
                    std::span(saving).subspan(done, std::min(Part, saving.size() - done)));
            // An action that saves hundreds of documents at its end keeps its window painted.
            reportProgress(int(done), int(saving.size()));
            const auto found = entries.find(native);
            if (found == entries.end() || !found->waiting)
                continue;
            Entry& entry = *found;
            entry.waiting = false;
            try {
                if (entry.deleted) {
                    entries.remove(native);
                    FileSystem().DeleteFile(native);
                    continue;
                }
                entry.generation = entry.state->generation;
                const QByteArray& bytes = texts.of(*entry.state);
                // A document that ends as it was read leaves its file alone: no write, no
                // flush, nothing for the journal (a refresh rebuilds the category set whole).
                // Not while an earlier version of it waits to replace the file.
                if (!entry.created && !WriteBatch::waits(native) && fileHolds(native, bytes)) {
                    const std::shared_ptr<XmlDocumentState> read = firstRead.value(native);
                    entry.readOnDisk = read && read->generation == 0 && read->source == bytes;
                    continue;
                }
                atomicWriteFile(native, bytes);
            } catch (const RuntimeError& error) {
                entries.remove(native);
                if (!first)
                    first = error;
            }
        }
        if (first)
            throw *first;
    }

    void forget(const QString& native) override
    {
        if (writing)
            return;
        const auto found = entries.find(native);
        if (found == entries.end())
            return;
        unlist(native, *found);
        entries.erase(found);
    }

    void forgetAll() override
    {
        if (writing)
            return;
        entries.clear();
        order.clear();
        listed = 0;
        listedPaths.clear();
        nextLook = FewTrees;
        firstRead.clear();
    }
};

bool XmlDocument::load(const QString& path)
{
    // Start from an empty tree; nodes of an earlier load are gone with it.
    m_state.reset();
    const QString native = FileSystem::resolve(path);
    if (DocumentCache::Private* cache = t_cache) {
        if (cache->deleted(native)) {
            state().parseError = QStringLiteral("Cannot open '%1': No such file").arg(native);
            return false;
        }
        if (std::shared_ptr<XmlDocumentState> kept = cache->find(native)) {
            m_state = std::move(kept);
            m_doc = m_state.get();
            m_node = m_state->document.internal_object();
            return true;
        }
    }
    if (!loadFile(native))
        return false;
    if (t_cache)
        t_cache->keep(native, m_state);
    return true;
}

bool XmlDocument::loadFile(const QString& native)
{
    WriteBatch::settle(native);
    std::shared_ptr<XmlDocumentState> parsed = t_parsed.take(native);
    // Compared a piece at a time: a megabyte read whole into fresh memory costs more than
    // the comparison. A file that changed is then read again, to be parsed.
    if (parsed && fileHolds(native, parsed->source)) {
        m_state = std::move(parsed);
        m_doc = m_state.get();
        m_node = m_state->document.internal_object();
        return true;
    }
    return readDocument(native, state());
}

namespace {

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

// Reads and parses one file into an empty state. Touches nothing of the calling thread's
// action, so that an inspection may run it on any thread.
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

} // namespace

void XmlDocument::save(const QString& path) const
{
    // A document that failed to load is empty; writing it would wipe the file.
    if (documentElement().isNull())
        raiseError(rt::XmlFailure, QStringLiteral("The document has no document element; '%1' "
                                                  "was not written")
                                       .arg(FileSystem::resolve(path)));
    const QString native = FileSystem::resolve(path);
    if (t_cache) {
        // Refused now, as a save made at once would be; a file saved before in the action
        // passed already.
        if (!t_cache->waits(native))
            detail::requireReplaceable(native);
        t_cache->hold(native, m_state);
        return;
    }
    atomicWriteFile(native, serialized(*m_state));
}

namespace {

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

} // namespace

QString XmlDocument::parseError() const
{
    return m_state ? m_state->parseError : QString();
}

void XmlDocument::adoptFormat(const XmlDocument& other)
{
    if (!other.m_state)
        return;
    XmlDocumentState& mine = state();
    ++mine.generation;
    learnFormat(*other.m_state);
    mine.source = QByteArray();
    const XmlDocumentState& theirs = *other.m_state;
    mine.encoding = theirs.encoding;
    mine.byteOrderMark = theirs.byteOrderMark;
    mine.indent = theirs.indent;
    mine.raw = theirs.raw;
    mine.crlf = theirs.crlf;
    mine.entities = theirs.entities;
    mine.declarationLine = theirs.declarationLine;
    mine.finalLine = theirs.finalLine;
    mine.emptyForm = theirs.emptyForm;
    mine.loaded = theirs.loaded;
    for (pugi::xml_node child = mine.document.first_child(); child;) {
        const pugi::xml_node next = child.next_sibling();
        if (child.type() == pugi::node_declaration)
            mine.document.remove_child(child);
        child = next;
    }
    for (pugi::xml_node child = theirs.document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_declaration)
            mine.document.prepend_copy(child);
}

std::shared_ptr<const void> XmlDocument::derived(int key) const
{
    if (!m_state)
        return nullptr;
    const auto found = m_state->derived.constFind(key);
    if (found == m_state->derived.cend() || found->first != m_state->generation)
        return nullptr;
    return found->second;
}

void XmlDocument::keepDerived(int key, std::shared_ptr<const void> data) const
{
    if (m_state)
        m_state->derived.insert(key, {m_state->generation, std::move(data)});
}

// ---- DocumentCache -------------------------------------------------------------------

DocumentCache::DocumentCache() : m_uncaught(std::uncaught_exceptions())
{
    if (t_cache)
        return;
    d = std::make_unique<Private>();
    t_cache = d.get();
    detail::setHeldDocuments(d.get());
}

DocumentCache::~DocumentCache()
{
    if (!d)
        return;
    t_cache = nullptr;
    detail::setHeldDocuments(nullptr);
    if (std::uncaught_exceptions() > m_uncaught)
        return;
    try {
        d->writeOut();
    } catch (const RuntimeError& error) {
        // Nothing is kept of an action whose documents could not all be written.
        qWarning("globalstab: documents dropped at the end of an action: %s", error.what());
        return;
    }
    std::vector<std::pair<QString, std::shared_ptr<XmlDocumentState>>> unchanged;
    for (auto it = d->entries.begin(); it != d->entries.end(); ++it)
        if (!it->waiting)
            unchanged.emplace_back(it.key(),
                                   it->readOnDisk ? d->firstRead.value(it.key()) : it->state);
    // Only a tree nobody else holds is kept.
    d->entries.clear();
    d->firstRead.clear();
    for (auto& [native, tree] : unchanged)
        t_parsed.offer(native, std::move(tree));
}

void DocumentCache::writeOut()
{
    if (t_cache)
        t_cache->writeOut();
}

void DocumentCache::dropKeptTrees()
{
    t_parsed.clear();
}

void DocumentCache::discardActive()
{
    if (t_cache)
        t_cache->forgetAll();
}

std::vector<DocumentCache::Inspected>
DocumentCache::inspect(const QStringList& paths,
                       const std::function<bool(const XmlDocument&)>& test)
{
    std::vector<Inspected> found(size_t(paths.size()), Inspected::Left);
    std::vector<QString> spelt(size_t(paths.size()));
    for (size_t i = 0; i < spelt.size(); ++i)
        spelt[i] = FileSystem::asSpelt(paths.at(qsizetype(i)));
    // The books of a project share its folder: each is opened below it.
    std::optional<QString> common;
    for (const QString& path : spelt) {
        if (path.isEmpty())
            continue;
        if (!common)
            common = path;
        common->truncate(
            std::mismatch(common->cbegin(), common->cend(), path.cbegin(), path.cend()).first -
            common->cbegin());
    }
    const QString shared =
        common ? common->left(common->lastIndexOf(QLatin1Char('/')) + 1) : QString();
    const int folder = shared.size() > 1 ? ::open(QFile::encodeName(shared).constData(),
                                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                         : -1;
    const auto closeFolder = qScopeGuard([folder] {
        if (folder >= 0)
            ::close(folder);
    });
    const qsizetype folderBytes = QFile::encodeName(shared).size();
    // Fewer than 64 files are not worth a thread.
    forEachInParallel(found.size(), 64, [&](size_t i) {
        try {
            XmlDocument doc;
            const bool below = folder >= 0 && spelt[i].startsWith(shared);
            if (!spelt[i].isEmpty() &&
                readDocument(spelt[i], doc.state(), below ? folder : AT_FDCWD,
                             below ? folderBytes : 0))
                found[i] = test(doc) ? Inspected::Yes : Inspected::No;
        } catch (...) {
            // Left to the load, which reports it.
        }
    });
    // Only this thread sees what its action holds and what waits: those answers are void.
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i] != Inspected::Left &&
            (WriteBatch::waits(spelt[i]) || (t_cache && t_cache->entries.contains(spelt[i]))))
            found[i] = Inspected::Left;
    return found;
}

XmlNode XmlDocument::documentElement() const
{
    return m_state ? XmlNode(m_doc, documentElementOf(*m_state)) : XmlNode();
}

XmlNode XmlDocument::createElement(const QString& name)
{
    // A rebuild creates thousands of elements of a few names.
    thread_local QString lastValid;
    if (name != lastValid && !isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid element name").arg(name));
    lastValid = name;
    XmlDocumentState& doc = state();
    return XmlNode(&doc, doc.parkingElement().append_child(Utf8(name).c_str()));
}

} // namespace globalstab
