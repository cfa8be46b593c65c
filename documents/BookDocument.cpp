#include "documents/BookDocument.h"

namespace globalstab {

using namespace access;

void BookDocument::setProject(const QString& projectName, const QString& folder)
{
    XmlNode key = m_doc.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Key"));
    if (key)
        key.setText(projectName);
    XmlNode path = m_doc.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Path"));
    if (path)
        path.setText(projectName + QStringLiteral("\\") + folder);
}

QStringList BookDocument::categories() const
{
    QStringList names;
    for (const XmlNode& category :
         nodesOf(m_doc.selectNodes(QStringLiteral("Book_Master/Book/BookSet_Categories/*"))))
        names << category.text();
    return names;
}

BookDocument::ProjectFields BookDocument::projectFields() const
{
    const auto textOf = [](const XmlNode& node) {
        return node ? std::optional<QString>(node.text()) : std::nullopt;
    };
    return {textOf(m_doc.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Key"))),
            textOf(m_doc.selectSingleNode(QStringLiteral("Book_Master/Book/Book_Path")))};
}

XmlNode BookDocument::createBook(const QString& name, const QString& acro, const QString& key,
                                 const QString& path, const QString& category)
{
    m_doc = XmlDocument();
    XmlNode master = m_doc.appendChild(m_doc.createElement(QStringLiteral("Book_Master")));
    XmlNode book = appendElement(m_doc, master, QStringLiteral("Book"));
    appendElement(m_doc, book, QStringLiteral("Book_Name"), name);
    appendElement(m_doc, book, QStringLiteral("Book_Acro"), acro);
    appendElement(m_doc, book, QStringLiteral("Book_Key"), key);
    appendElement(m_doc, book, QStringLiteral("Book_Path"), path);
    XmlNode categories = appendElement(m_doc, book, QStringLiteral("BookSet_Categories"));
    appendElement(m_doc, categories, QStringLiteral("BookSet_Category"), category);
    return master;
}

namespace {
// Each BookSet_Categories of a Book: where a book lists its categories.
template <typename Visit> void forEachCategoryList(const XmlDocument& doc, const Visit& visit)
{
    for (const XmlNode& book : doc.getElementsByTagName(QStringLiteral("Book")))
        for (const XmlNode& list : book.childElements(QStringLiteral("BookSet_Categories")))
            visit(list);
}
} // namespace

bool BookDocument::removeCategory(const QString& name)
{
    bool removed = false;
    const NameInAnyCase wanted(name);
    forEachCategoryList(m_doc, [&](const XmlNode& list) {
        removed = removeChildrenNamed(list, wanted) || removed;
    });
    return removed;
}

bool BookDocument::holdsCategory(const XmlDocument& doc, const NameInAnyCase& name)
{
    bool held = false;
    forEachCategoryList(doc,
                        [&](const XmlNode& list) { held = held || holdsChildNamed(list, name); });
    return held;
}

} // namespace globalstab
