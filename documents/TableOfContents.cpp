#include "documents/TableOfContents.h"

#include <QSet>

#include <memory>

namespace globalstab {

using namespace access;

void TableOfContents::setProductInfo(const QString& platform, const QString& variation)
{
    m_doc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Platform")).setText(platform);
    m_doc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Variation")).setText(variation);
    m_doc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_ID")).setText(QString());
}

void TableOfContents::setBookKeys(
    const QString& projectName,
    const std::function<void(const QString& folder, const QString& file)>& bookDocument)
{
    for (const XmlNode& book : nodesOf(m_doc.getElementsByTagName(QStringLiteral("Book")))) {
        const XmlNode folder = book.selectSingleNode(QStringLiteral("Book_Folder"));
        XmlNode key = book.selectSingleNode(QStringLiteral("Book_Key"));
        if (key)
            key.setText(projectName);
        const QString file = book.selectSingleNode(QStringLiteral("Book_File")).text();
        if (folder.isNull())
            continue;
        bookDocument(folder.text(), file);
    }
}

TableOfContents::BookFiles TableOfContents::removeCategory(const QString& name)
{
    BookFiles books;
    const NameInAnyCase wanted(name);
    const XmlNode projectCategories =
        m_doc.selectSingleNode(QStringLiteral("PX_Master/PX/PX_Categories"));
    if (projectCategories && projectCategories.hasChildNodes())
        removeChildrenNamed(projectCategories, wanted);

    for (const XmlNode& book : m_doc.getElementsByTagName(QStringLiteral("Book"))) {
        for (XmlNode child = book.firstChild(); child; child = child.nextSibling()) {
            if (child.nodeNameIs(QLatin1StringView("Book_Folder")))
                books.folders << child.text();
            else if (child.nodeNameIs(QLatin1StringView("Book_File")))
                books.files << child.text();
            else if (child.nodeNameIs(QLatin1StringView("Book_Categories")))
                removeChildrenNamed(child, wanted);
        }
    }
    return books;
}

void TableOfContents::renameBookCategory(const QString& oldName, const QString& newName,
                                         const std::function<void()>& renamed)
{
    const XmlNodeList lists = m_doc.selectNodes(
        QStringLiteral("/PX_Master/PX_Books/Book/Book_Categories[Book_Category = '") + oldName +
        QStringLiteral("']"));
    for (const XmlNode& list : nodesOf(lists)) {
        for (XmlNode entry : nodesOf(list.childNodes())) {
            if (entry.text() == oldName) {
                entry.setText(newName);
                renamed();
                break;
            }
        }
    }
}

std::optional<QStringList> TableOfContents::uncategorisedBookAcros() const
{
    QStringList acros;
    const XmlNode books = m_doc.selectSingleNode(QStringLiteral("PX_Master/PX_Books"));
    if (!books.hasChildNodes())
        return std::nullopt;
    QString bookAcro;
    for (XmlNode book = books.firstChild(); book; book = book.nextSibling()) {
        for (XmlNode child = book.firstChild(); child; child = child.nextSibling()) {
            // The acronym stands before the category list of its book.
            if (child.nodeNameIs(QLatin1StringView("Book_Acro")))
                bookAcro = child.text();
            else if (child.nodeNameIs(QLatin1StringView("Book_Categories")) &&
                     !child.hasChildNodes())
                acros << bookAcro;
        }
    }
    return acros;
}

namespace {

// Visits each element of PX_Master/PX_Books/<name> ("*": of any name) in document order, as
// the query finds them, without compiling it.
template <typename Visit>
void forEachBookEntry(const XmlDocument& doc, QLatin1StringView name, const Visit& visit)
{
    constexpr QLatin1StringView masterName("PX_Master");
    constexpr QLatin1StringView booksName("PX_Books");
    const bool any = name == QLatin1StringView("*");
    for (XmlNode master = doc.firstChildElement(masterName); master;
         master = master.nextSiblingElement(masterName)) {
        for (XmlNode books = master.firstChildElement(booksName); books;
             books = books.nextSiblingElement(booksName)) {
            if (any) {
                for (XmlNode book = books.firstChild(); book; book = book.nextSibling())
                    if (book.isElement())
                        visit(book);
            } else {
                for (XmlNode book = books.firstChildElement(name); book;
                     book = book.nextSiblingElement(name))
                    visit(book);
            }
        }
    }
}

} // namespace

QStringList TableOfContents::booksWithoutCategory() const
{
    QStringList acros;
    QSet<QString> listed;
    forEachBookEntry(m_doc, QLatin1StringView("*"), [&](const XmlNode& book) {
        const XmlNode categories = book.firstChildElement(QLatin1StringView("Book_Categories"));
        if (categories.isNull() || categories.hasChildNodes())
            return;
        const QString acro = childText(book, QLatin1StringView("Book_Acro"));
        if (!acro.isEmpty() && !listed.contains(acro)) {
            acros.append(acro);
            listed.insert(acro);
        }
    });
    return acros;
}

namespace {

constexpr int CategoryIndexKey = 1;

// The acronyms of the books under each category, in the order of the books, each once: what
// categoryBooks() answers, found for every category in one walk. Book_Categories/
// Book_Category below each book is walked without a query and without lists: a large table
// of contents would compile one per book.
using CategoryIndex = QHash<QString, QStringList>;

std::shared_ptr<const CategoryIndex> indexCategories(const XmlDocument& doc)
{
    constexpr QLatin1StringView listName("Book_Categories");
    constexpr QLatin1StringView entryName("Book_Category");
    // Each name gets a slot the first time it is met; after that its text as the tree holds
    // it finds the slot without a string being made. Texts that read as the same name share
    // it, as they would share a key.
    std::vector<QStringList> lists;
    QHash<QString, qsizetype> slotByName;
    QHash<QByteArrayView, qsizetype> slotByText; // views into the tree, which stays unchanged
    const auto listOf = [&](const XmlNode& category) -> QStringList& {
        const std::optional<QByteArrayView> text = category.plainText();
        if (text)
            if (const auto found = slotByText.constFind(*text); found != slotByText.cend())
                return lists[size_t(*found)];
        const QString name = category.text();
        qsizetype slot = slotByName.value(name, -1);
        if (slot < 0) {
            slot = qsizetype(lists.size());
            slotByName.insert(name, slot);
            lists.emplace_back();
        }
        if (text)
            slotByText.insert(*text, slot);
        return lists[size_t(slot)];
    };
    // A book's acronym can stand twice under a category only when the book names it twice,
    // and then it is the last one filed there; unless another book had that acronym before.
    QSet<QString> acrosSeen;
    forEachBookEntry(doc, QLatin1StringView("Book"), [&](const XmlNode& book) {
        const QString acro = childText(book, QLatin1StringView("Book_Acro"));
        if (acro.isEmpty())
            return;
        const qsizetype seenBefore = acrosSeen.size();
        acrosSeen.insert(acro);
        const bool repeated = acrosSeen.size() == seenBefore;
        for (XmlNode list = book.firstChildElement(listName); list;
             list = list.nextSiblingElement(listName)) {
            for (XmlNode category = list.firstChildElement(entryName); category;
                 category = category.nextSiblingElement(entryName)) {
                QStringList& books = listOf(category);
                if (repeated ? !books.contains(acro) : (books.isEmpty() || books.last() != acro))
                    books.append(acro);
            }
        }
    });
    auto index = std::make_shared<CategoryIndex>();
    index->reserve(slotByName.size());
    for (auto it = slotByName.cbegin(); it != slotByName.cend(); ++it)
        index->insert(it.key(), std::move(lists[size_t(it.value())]));
    return index;
}

} // namespace

QStringList TableOfContents::categoryBooks(const QString& name) const
{
    // A refresh asks for every category in turn; the index makes that one walk.
    auto index = std::static_pointer_cast<const CategoryIndex>(m_doc.derived(CategoryIndexKey));
    if (!index) {
        index = indexCategories(m_doc);
        m_doc.keepDerived(CategoryIndexKey, index);
    }
    return index->value(name);
}

QHash<QString, QString> TableOfContents::bookNames() const
{
    QHash<QString, QString> names;
    for (const XmlNode& book : nodesOf(m_doc.selectNodes(QStringLiteral("//PX_Books/Book")))) {
        const XmlNode acro = book.selectSingleNode(QStringLiteral("Book_Acro"));
        const XmlNode name = book.selectSingleNode(QStringLiteral("Book_Name"));
        if (acro && name)
            names.insert(acro.text(), name.text());
    }
    return names;
}

QList<TableOfContents::Book> TableOfContents::books() const
{
    QList<Book> books;
    for (const XmlNode& book :
         nodesOf(m_doc.selectNodes(QStringLiteral("PX_Master/PX_Books/Book")))) {
        Book entry{childText(book, QStringLiteral("Book_Acro")),
                   childText(book, QStringLiteral("Book_Folder")),
                   childText(book, QStringLiteral("Book_File")),
                   {},
                   !book.selectSingleNode(QStringLiteral("Book_Categories")).isNull(),
                   std::nullopt};
        for (const XmlNode& list : book.childElements(QStringLiteral("Book_Categories")))
            for (const XmlNode& category : list.childElements(QStringLiteral("Book_Category")))
                entry.categories << category.text();
        if (const XmlNode key = book.selectSingleNode(QStringLiteral("Book_Key")))
            entry.key = key.text();
        books << entry;
    }
    return books;
}

TableOfContents::ProductInfo TableOfContents::productInfo() const
{
    const auto textOf = [this](const QString& xpath) {
        const XmlNode node = m_doc.selectSingleNode(xpath);
        return node ? std::optional<QString>(node.text()) : std::nullopt;
    };
    return {textOf(QStringLiteral("PX_Master/PX/PX_Platform")),
            textOf(QStringLiteral("PX_Master/PX/PX_Variation"))};
}

QStringList TableOfContents::projectCategories() const
{
    QStringList names;
    for (const XmlNode& category :
         nodesOf(m_doc.selectNodes(QStringLiteral("PX_Master/PX/PX_Categories/*"))))
        names << category.text();
    return names;
}

bool TableOfContents::addBook(const QString& name, const QString& acro, const QString& folder,
                              const QString& file, const QString& projectName, const QString& path)
{
    XmlNode master = requireElement(m_doc, QStringLiteral("PX_Master"), path);
    XmlNode books = master.selectSingleNode(QStringLiteral("PX_Books"));
    if (books.isNull())
        books = appendElement(m_doc, master, QStringLiteral("PX_Books"));
    for (const XmlNode& book : nodesOf(books.selectNodes(QStringLiteral("Book")))) {
        if (childText(book, QStringLiteral("Book_Folder")).compare(folder, Qt::CaseInsensitive) ==
                0 &&
            childText(book, QStringLiteral("Book_File")).compare(file, Qt::CaseInsensitive) == 0)
            return false;
    }

    // The entry names its own category, the one the book entry service files it under. With
    // an empty Book_Categories the filing of uncategorised books would put it under "Other
    // Category" as well.
    XmlNode book = appendElement(m_doc, books, QStringLiteral("Book"));
    appendElement(m_doc, book, QStringLiteral("Book_Name"), name);
    appendElement(m_doc, book, QStringLiteral("Book_Acro"), acro);
    appendElement(m_doc, book, QStringLiteral("Book_Folder"), folder);
    appendElement(m_doc, book, QStringLiteral("Book_File"), file);
    appendElement(m_doc, book, QStringLiteral("Book_Key"), projectName);
    XmlNode bookCategories = appendElement(m_doc, book, QStringLiteral("Book_Categories"));
    appendElement(m_doc, bookCategories, QStringLiteral("Book_Category"), name);

    XmlNode projectCategories = master.selectSingleNode(QStringLiteral("PX/PX_Categories"));
    if (!projectCategories.isNull()) {
        bool listed = false;
        for (const XmlNode& category : nodesOf(projectCategories.childNodes()))
            listed = listed || category.text().compare(name, Qt::CaseInsensitive) == 0;
        if (!listed)
            appendElement(m_doc, projectCategories, QStringLiteral("PX_Category"), name);
    }
    return true;
}

} // namespace globalstab
