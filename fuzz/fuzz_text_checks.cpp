// The character rules for names and the XML escaping, on the input as UTF-8.

#include "FuzzSupport.h"

#include "text/TextChecks.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace globalstab;
using fuzz::visible;

namespace {

const QString Label = QStringLiteral(" in the Project Name");

void checkEscaping(const QString& text)
{
    const QString escaped = escapeXml(text);
    for (const QChar c : escaped)
        FUZZ_CHECK(c != QLatin1Char('<') && c != QLatin1Char('>') && c != QLatin1Char('"') &&
                       c != QLatin1Char('\''),
                   "escaped text holds a markup character", visible(escaped));
    // Every ampersand left starts one of the five entities.
    for (qsizetype at = escaped.indexOf(QLatin1Char('&')); at >= 0;
         at = escaped.indexOf(QLatin1Char('&'), at + 1)) {
        const QStringView rest = QStringView(escaped).mid(at);
        FUZZ_CHECK(rest.startsWith(u"&amp;") || rest.startsWith(u"&lt;") ||
                       rest.startsWith(u"&gt;") || rest.startsWith(u"&quot;") ||
                       rest.startsWith(u"&apos;"),
                   "escaped text holds a bare ampersand", visible(escaped));
    }
    FUZZ_CHECK(!escaped.contains(LinkSeparator), "escaped text holds the link separator");
    FUZZ_CHECK(!escaped.contains(QLatin1Char('?')), "escaped text holds a question mark");
    if (!text.contains(LinkSeparator) && !text.contains(QLatin1Char('?')))
        FUZZ_CHECK(unescapeXml(escaped) == text, "unescape does not undo escape",
                   visible(text) + QStringLiteral(" -> ") + visible(escaped));
    // Unescaping only ever shortens a text, and text without an ampersand stays as it is.
    const QString unescaped = unescapeXml(text);
    FUZZ_CHECK(unescaped.size() <= text.size(), "unescaping made the text longer");
    if (!text.contains(QLatin1Char('&')))
        FUZZ_CHECK(unescaped == text, "unescaping changed text without entities");
}

void checkRefusals(const QString& text)
{
    static const QStringList entities = {
        LinkSeparator,          QStringLiteral("&amp;"),   QStringLiteral("&lt;"),
        QStringLiteral("&gt;"), QStringLiteral("&quote;"), QStringLiteral("&apos;")};
    QString firstEntity;
    for (const QString& entity : entities)
        if (firstEntity.isEmpty() && text.contains(entity))
            firstEntity = entity;
    const std::optional<Message> entity = refusedEntity(text, Label);
    FUZZ_CHECK(entity.has_value() == !firstEntity.isEmpty(), "refusedEntity missed or made up one",
               visible(text));
    if (entity) {
        FUZZ_CHECK(entity->text.startsWith(firstEntity), "refusedEntity names another entity",
                   visible(entity->text));
        FUZZ_CHECK(entity->text.endsWith(Label), "refusedEntity message lacks its label");
    }

    static const QStringList refused = {
        QStringLiteral("&"), QStringLiteral("'"),  QStringLiteral("\""), QStringLiteral("?"),
        QStringLiteral("/"), QStringLiteral("\\"), QStringLiteral(":"),  QStringLiteral("*"),
        QStringLiteral("<"), QStringLiteral(">"),  QStringLiteral("|"),  LinkSeparator};
    qsizetype expected = 0;
    for (const QString& character : refused)
        expected += text.contains(character) ? 1 : 0;
    const QList<Message> messages = refusedCharacters(text, Label);
    FUZZ_CHECK(messages.size() == expected, "refusedCharacters gave another number of messages",
               QStringLiteral("%1 instead of %2 for %3")
                   .arg(messages.size())
                   .arg(expected)
                   .arg(visible(text)));
    for (const Message& message : messages)
        FUZZ_CHECK(message.text.endsWith(Label) && !message.text.isEmpty(),
                   "refusedCharacters message lacks its label", visible(message.text));

    bool markup = false;
    for (const QChar c : text)
        markup = markup || QStringLiteral("<&>\"'").contains(c);
    FUZZ_CHECK(holdsMarkupCharacter(text) == markup, "holdsMarkupCharacter is wrong",
               visible(text));
    FUZZ_CHECK(
        !holdsMarkupCharacter(escapeXml(text).remove(QLatin1Char('&')).remove(QLatin1Char(';'))),
        "escaped text without its entity marks still holds markup");
}

void checkLists(const QString& text, const QStringList& entries)
{
    FUZZ_CHECK(!notListed(text, {text}), "a text is not listed in a list of itself");
    FUZZ_CHECK(!notListed(text, {text.toUpper()}), "letter case counts in notListed",
               visible(text));
    FUZZ_CHECK(notListed(text, {}), "a text is listed in an empty list");
    bool listed = false;
    for (const QString& entry : entries)
        listed = listed || entry.toUpper() == text.toUpper();
    FUZZ_CHECK(notListed(text, entries) == !listed, "notListed disagrees with a plain search");
}

void checkTrim(const QString& text)
{
    const QString trimmed = trimBlanks(text);
    FUZZ_CHECK(!trimmed.startsWith(QLatin1Char(' ')) && !trimmed.endsWith(QLatin1Char(' ')),
               "trimBlanks left a blank at an end", visible(trimmed));
    FUZZ_CHECK(trimBlanks(trimmed) == trimmed, "trimBlanks is not idempotent");
    const qsizetype at = text.indexOf(trimmed);
    FUZZ_CHECK(at >= 0, "trimBlanks result is not part of the text");
    if (!trimmed.isEmpty()) {
        // Only blanks around it were removed: tabs and line breaks stay.
        FUZZ_CHECK(text.first(at).count(QLatin1Char(' ')) == at, "trimBlanks removed a non-blank");
        const QString after = text.sliced(at + trimmed.size());
        FUZZ_CHECK(after.count(QLatin1Char(' ')) == after.size(), "trimBlanks removed a non-blank");
    } else {
        FUZZ_CHECK(text.count(QLatin1Char(' ')) == text.size(),
                   "trimBlanks emptied a non-blank text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(size));
    checkEscaping(text);
    checkRefusals(text);
    checkTrim(text);
    // Line breaks split the input into the entries of a list, as of project names.
    const QStringList lines = text.split(QLatin1Char('\n'));
    checkLists(lines.first(), lines.mid(1));
    return 0;
}
