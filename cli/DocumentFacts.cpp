#include "cli/DocumentFacts.h"

#include "documents/CategorySet.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "platform/RuntimeError.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

namespace globalstab::cli {

namespace {

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString listOf(const QStringList& names)
{
    QStringList quotedNames;
    for (const QString& name : names)
        quotedNames << quoted(name);
    return names.isEmpty() ? QStringLiteral("none") : quotedNames.join(QStringLiteral(", "));
}

Fact plain(const QString& what, const QString& value)
{
    return {what, value, {}, false};
}

Fact listFact(const QString& what, const QStringList& names)
{
    return {what, listOf(names), names, true};
}

// A list told by what left it and what joined it, or by its new order.
QString listChange(const Fact& then, const Fact& now)
{
    QStringList removed;
    for (const QString& item : then.items)
        if (!now.items.contains(item))
            removed << item;
    QStringList added;
    for (const QString& item : now.items)
        if (!then.items.contains(item))
            added << item;
    QStringList parts;
    if (!removed.isEmpty())
        parts << listOf(removed) + QStringLiteral(" removed");
    if (!added.isEmpty())
        parts << listOf(added) + QStringLiteral(" added");
    if (parts.isEmpty())
        parts << QStringLiteral("reordered, %1 -> %2").arg(then.value, now.value);
    return then.what + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QString encodingName(textCodec::Encoding encoding)
{
    switch (encoding) {
    case textCodec::Encoding::Utf16LEWithMark:
        return QStringLiteral("UTF-16LE with a byte-order mark");
    case textCodec::Encoding::Utf16BEWithMark:
        return QStringLiteral("UTF-16BE with a byte-order mark");
    case textCodec::Encoding::Utf8WithMark:
        return QStringLiteral("UTF-8 with a byte-order mark");
    case textCodec::Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case textCodec::Encoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case textCodec::Encoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case textCodec::Encoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    }
    return QString();
}

using Said = QList<Fact>;

// Any other XML document (a linked glossary) says nothing of a book.
void bookFacts(const BookDocument& book, Said& said)
{
    const BookDocument::ProjectFields fields = book.projectFields();
    const QStringList categories = book.categories();
    if (!fields.key && !fields.path && categories.isEmpty())
        return;
    if (fields.key)
        said.append(plain(QStringLiteral("Book_Key"), quoted(*fields.key)));
    if (fields.path)
        said.append(plain(QStringLiteral("Book_Path"), quoted(*fields.path)));
    said.append(listFact(QStringLiteral("the book's categories"), categories));
}

void pageFacts(const QByteArray& bytes, Said& said)
{
    static const QRegularExpression token(QStringLiteral("\\*\\*([^*\\r\\n]+)\\*\\*"));
    textCodec::Encoding encoding = textCodec::Encoding::Utf8;
    const QString text = textCodec::decodeText(bytes, &encoding);
    QMap<QString, int> counts;
    for (const QRegularExpressionMatch& match : token.globalMatch(text))
        ++counts[match.captured(0)];
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        said.append(plain(QStringLiteral("token ") + quoted(it.key()),
                          QStringLiteral("%1 time(s)").arg(it.value())));
    said.append(plain(QStringLiteral("encoding"), encodingName(encoding)));
}

// The documents are read as the tab reads them; one that does not load says nothing.
void documentFacts(const QString& name, const QString& native, FileFacts& facts)
{
    Said& said = facts.said;
    if (name == QLatin1String("px_bookcategories.xml")) {
        CategorySet set;
        if (!set.load(native))
            return;
        for (const CategorySet::Category& category : set.categories()) {
            QStringList books = category.bookAcros;
            books.removeAll(QString());
            said.append(plain(QStringLiteral("category ") + quoted(category.name),
                              books.isEmpty()
                                  ? QStringLiteral("no books")
                                  : QStringLiteral("books ") + books.join(QStringLiteral(", "))));
            facts.order << category.name;
        }
    } else if (name == QLatin1String("px_toc.xml")) {
        TableOfContents toc;
        if (!toc.load(native))
            return;
        const TableOfContents::ProductInfo info = toc.productInfo();
        if (info.platform)
            said.append(plain(QStringLiteral("PX_Platform"), quoted(*info.platform)));
        if (info.variation)
            said.append(plain(QStringLiteral("PX_Variation"), quoted(*info.variation)));
        said.append(listFact(QStringLiteral("the project's categories"), toc.projectCategories()));
        for (const TableOfContents::Book& book : toc.books()) {
            const QString what = QStringLiteral("book ") + book.acro;
            said.append(plain(what, quoted(book.folder + QLatin1Char('\\') + book.file)));
            said.append(listFact(what + QStringLiteral(" categories"), book.categories));
            if (book.key)
                said.append(plain(what + QStringLiteral(" Book_Key"), quoted(*book.key)));
        }
    } else if (name == QLatin1String("px_selection.xml")) {
        SelectionList selection;
        if (!selection.load(native))
            return;
        for (const QString& project : selection.projectNames()) {
            QString id;
            try {
                id = selection.projectId(project);
            } catch (const RuntimeError&) {
                // A name its query cannot hold: its entry is told without an ID.
            }
            said.append(plain(QStringLiteral("project ") + quoted(project),
                              QStringLiteral("ID %1, rank %2")
                                  .arg(quoted(id), quoted(selection.projectRank(project)))));
        }
    } else if (name == QLatin1String("book_global.xml")) {
        GlobalBook book;
        if (!book.load(native))
            return;
        bookFacts(book, said);
        for (const auto& [page, file] : book.pageFiles())
            said.append(plain(QStringLiteral("page ") + quoted(page),
                              QStringLiteral("document ") + quoted(file)));
    } else if (name.endsWith(QLatin1String(".xml"))) {
        BookDocument book;
        if (book.load(native))
            bookFacts(book, said);
    }
}

} // namespace

FileFacts factsOf(const QString& relativePath, const QString& native)
{
    FileFacts facts;
    QFile file(native);
    if (!QFileInfo(native).isFile() || !file.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray bytes = file.readAll();
    facts.exists = true;
    facts.size = bytes.size();
    facts.hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    const QString name = QFileInfo(relativePath).fileName().toLower();
    if (name.contains(QLatin1String(".htm")))
        pageFacts(bytes, facts.said);
    else
        documentFacts(name, native, facts);
    return facts;
}

QStringList changesBetween(const FileFacts& before, const FileFacts& after)
{
    if (before.exists && after.exists && before.hash == after.hash)
        return {QStringLiteral("written again, unchanged")};
    QStringList changes;
    QHash<QString, Fact> then;
    for (const Fact& fact : before.said)
        then.insert(fact.what, fact);
    QHash<QString, Fact> now;
    for (const Fact& fact : after.said)
        now.insert(fact.what, fact);
    for (const Fact& fact : before.said)
        if (!now.contains(fact.what))
            changes << fact.what + QStringLiteral(" removed");
    for (const Fact& fact : after.said) {
        const auto was = then.constFind(fact.what);
        if (was == then.cend())
            changes << fact.what + QStringLiteral(" added: ") + fact.value;
        else if (was->value == fact.value)
            continue;
        else if (fact.list && was->list)
            changes << listChange(*was, fact);
        else
            changes << QStringLiteral("%1: %2 -> %3").arg(fact.what, was->value, fact.value);
    }
    // A category that took another's place under a new name was renamed.
    if (before.order.size() == after.order.size()) {
        qsizetype differ = 0;
        qsizetype at = -1;
        for (qsizetype i = 0; i < before.order.size(); ++i)
            if (before.order.at(i) != after.order.at(i)) {
                ++differ;
                at = i;
            }
        const QString oldName = at >= 0 ? before.order.at(at) : QString();
        const QString newName = at >= 0 ? after.order.at(at) : QString();
        if (differ == 1 && !after.order.contains(oldName) && !before.order.contains(newName)) {
            const QString removed = QStringLiteral("category ") + quoted(oldName);
            const QString added = QStringLiteral("category ") + quoted(newName);
            changes.removeOne(removed + QStringLiteral(" removed"));
            changes.removeOne(added + QStringLiteral(" added: ") + now.value(added).value);
            changes.prepend(QStringLiteral("%1 renamed to %2").arg(removed, quoted(newName)));
            if (then.value(removed).value != now.value(added).value)
                changes << QStringLiteral("%1: %2 -> %3")
                               .arg(added, then.value(removed).value, now.value(added).value);
        }
    }
    // The order of the categories that stayed.
    QStringList thenOrder = before.order;
    QStringList nowOrder = after.order;
    thenOrder.removeIf([&](const QString& name) { return !after.order.contains(name); });
    nowOrder.removeIf([&](const QString& name) { return !before.order.contains(name); });
    if (thenOrder != nowOrder)
        changes << QStringLiteral("categories reordered: %1 -> %2")
                       .arg(thenOrder.join(QStringLiteral(", ")),
                            nowOrder.join(QStringLiteral(", ")));
    if (changes.isEmpty() && before.exists && after.exists)
        changes << QStringLiteral("rewritten, %1 bytes before, %2 after")
                       .arg(before.size)
                       .arg(after.size);
    return changes;
}

} // namespace globalstab::cli
