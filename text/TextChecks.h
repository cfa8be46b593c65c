#pragma once

#include "core/Feedback.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The character rules for names, and XML escaping. Pure functions: the messages they
// compose are shown by the caller.

namespace globalstab {

// The separator of link texts, which no name may hold.
inline const QString LinkSeparator = QStringLiteral("@px@");

// The word escaped for XML: "@px@" becomes a blank and "?" a quote, then "&", "<", ">",
// quotes and apostrophes become entities ("&" first, so nothing is escaped twice).
QString escapeXml(const QString& word);
// The five entities turned back into their characters, in one pass.
QString unescapeXml(const QString& text);

// The message for the first refused entity in a page name ("@px@", "&amp;", "&lt;",
// "&gt;", "&quote;", "&apos;"); nullopt when there is none. label ends the message.
std::optional<Message> refusedEntity(const QString& text, const QString& label);
// A message for every refused character of a project name or ID, in a fixed order, so that
// the author hears of all of them at once.
QList<Message> refusedCharacters(const QString& text, const QString& label);

// The procedures around these checks, each reporting its own errors through feedback as the
// tab always has: "mstrCheckSpecialCharacters", "bcheckCharacters" (true when the name
// passes) and "strCheckXMLCharacters" (the text, or "" when a character was refused).
QString escapeReported(Feedback& feedback, const QString& word);
bool checkCharacters(Feedback& feedback, const QString& text, const QString& label);
QString checkXmlCharacters(Feedback& feedback, const QString& text, const QString& label);

// True when every character of text is ASCII.
bool isAscii(QStringView text);
// text.toUpper() == upper, where upper is already upper case: how names compare without
// regard to letter case.
bool equalsUpper(const QString& text, const QString& upper);
// True when no entry equals item without regard to letter case.
bool notListed(const QString& item, const QStringList& entries);
// Characters that would break the XPath lookups and the documents a category name goes into.
bool holdsMarkupCharacter(const QString& name);
// Leading and trailing blanks removed; tabs and line breaks stay, as the classic Trim does.
QString trimBlanks(const QString& text);

} // namespace globalstab
