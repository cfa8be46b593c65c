#include "platform/TextCodec.h"
#include "platform/XmlDocument_p.h"
#include "platform/XmlMarkup_p.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

// A file's layout: learnt from the file when a document read from it is saved (its indent
// unit, line ends, references to its own entities, how it closes empty elements), and
// restored in what pugixml writes.

namespace globalstab::xml {

namespace {

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

// The unit a file indents its elements by: the blanks or tabs before the first element that
// starts a line; empty for elements on lines of their own at no depth. A file that nests
// elements on one line gets nullopt and stays on one line, so that a save grows only with
// the change.
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

} // namespace

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

} // namespace globalstab::xml
