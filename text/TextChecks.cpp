#include "text/TextChecks.h"

#include "core/StringTable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace globalstab {

namespace {
const QString Quote = QStringLiteral("\"");
} // namespace

QString escapeXml(const QString& word)
{
    static const std::pair<QString, QString> steps[] = {
        {LinkSeparator, QStringLiteral(" ")},
        {QStringLiteral("?"), Quote},
        {QStringLiteral("&"), QStringLiteral("&amp;")},
        {QStringLiteral("<"), QStringLiteral("&lt;")},
        {QStringLiteral(">"), QStringLiteral("&gt;")},
        {Quote, QStringLiteral("&quot;")},
        {QStringLiteral("'"), QStringLiteral("&apos;")},
    };
    QString escaped = word;
    for (const auto& [find, replacement] : steps)
        escaped.replace(find, replacement, Qt::CaseSensitive);
    return escaped;
}

// One pass, so that an escaped entity text ("&amp;lt;") comes back as the text the author
// typed ("&lt;").
QString unescapeXml(const QString& text)
{
    static const std::array<std::pair<QLatin1StringView, QChar>, 5> entities{{
        {QLatin1StringView("&amp;"), QLatin1Char('&')},
        {QLatin1StringView("&lt;"), QLatin1Char('<')},
        {QLatin1StringView("&gt;"), QLatin1Char('>')},
        {QLatin1StringView("&quot;"), QLatin1Char('"')},
        {QLatin1StringView("&apos;"), QLatin1Char('\'')},
    }};
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        bool replaced = false;
        if (text.at(i) == QLatin1Char('&')) {
            const QStringView rest = QStringView(text).mid(i);
            for (const auto& [entity, character] : entities) {
                if (rest.startsWith(entity)) {
                    result += character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += text.at(i++);
    }
    return result;
}

std::optional<Message> refusedEntity(const QString& text, const QString& label)
{
    const QString canNotBeUsed = resourceString(130);
    // "&quote;" (not "&quot;") is the entity refused here: authors may write "&quot;".
    static const QStringList entities = {
        LinkSeparator,          QStringLiteral("&amp;"),   QStringLiteral("&lt;"),
        QStringLiteral("&gt;"), QStringLiteral("&quote;"), QStringLiteral("&apos;")};
    for (const QString& entity : entities) {
        if (!text.contains(entity))
            continue;
        if (entity == LinkSeparator)
            return Message{LinkSeparator + canNotBeUsed + label, QString(), MessageIcon::Critical,
                           MessageButtons::Ok};
        return Message{entity + QStringLiteral(" ") + canNotBeUsed + label, QString(),
                       MessageIcon::Information, MessageButtons::Ok};
    }
    return std::nullopt;
}

QList<Message> refusedCharacters(const QString& text, const QString& label)
{
    const QString foundIn = resourceString(139);
    struct Refused
    {
        QString text;
        QString closing;
    };
    static const Refused refused[] = {
        {QStringLiteral("&"), QStringLiteral(") ")},
        {QStringLiteral("'"), QStringLiteral(") ")},
        {Quote, QStringLiteral(") ")},
        {QStringLiteral("?"), QStringLiteral(") ")},
        {QStringLiteral("/"), QStringLiteral(")")},
        {QStringLiteral("\\"), QStringLiteral(") ")},
        {QStringLiteral(":"), QStringLiteral(") ")},
        {QStringLiteral("*"), QStringLiteral(") ")},
        {QStringLiteral("<"), QStringLiteral(") ")},
        {QStringLiteral(">"), QStringLiteral(") ")},
        {QStringLiteral("|"), QStringLiteral(") ")},
        {LinkSeparator, QStringLiteral(")")},
    };
    QList<Message> messages;
    for (const Refused& entry : refused) {
        if (!text.contains(entry.text))
            continue;
        messages.append(Message{resourceString(141) + QStringLiteral("(") + entry.text +
                                    entry.closing + QStringLiteral(" ") + foundIn +
                                    QStringLiteral(" ") + label,
                                QString(), MessageIcon::Critical, MessageButtons::Ok});
    }
    return messages;
}

QString escapeReported(Feedback& feedback, const QString& word)
{
    QString result;
    trap(feedback, "mstrCheckSpecialCharacters", [&] { result = escapeXml(word); });
    return result;
}

bool checkCharacters(Feedback& feedback, const QString& text, const QString& label)
{
    bool result = false;
    trap(feedback, "bcheckCharacters", [&] {
        if (const std::optional<Message> refusal = refusedEntity(text, label)) {
            feedback.show(*refusal);
            return;
        }
        result = true;
    });
    return result;
}

QString checkXmlCharacters(Feedback& feedback, const QString& text, const QString& label)
{
    QString result;
    trap(feedback, "strCheckXMLCharacters", [&] {
        result = text;
        for (const Message& refusal : refusedCharacters(text, label)) {
            feedback.show(refusal);
            result.clear();
        }
    });
    return result;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool equalsUpper(const QString& text, const QString& upper)
{
    // An ASCII text needs no upper-case copy: a delete compares a name with every category
    // of thousands of books.
    if (text.size() != upper.size()) {
        // Upper case keeps the length of an ASCII text (the blanks between elements).
        if (isAscii(text))
            return false;
        return text.toUpper() == upper;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x80)
            return text.toUpper() == upper;
        if ((c >= u'a' && c <= u'z' ? c - 0x20 : c) != upper.at(i).unicode())
            return false;
    }
    return true;
}

bool notListed(const QString& item, const QStringList& entries)
{
    const QString wanted = item.toUpper();
    for (const QString& entry : entries) {
        if (equalsUpper(entry, wanted))
            return false;
    }
    return true;
}

bool holdsMarkupCharacter(const QString& name)
{
    for (const QChar c : name) {
        if (c == QLatin1Char('<') || c == QLatin1Char('&') || c == QLatin1Char('>') ||
            c == QLatin1Char('"') || c == QLatin1Char('\''))
            return true;
    }
    return false;
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace globalstab
