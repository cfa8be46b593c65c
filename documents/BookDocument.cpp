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

bool BookDocument::removeCategory(const QString& name)
{
    bool removed = false;
    for (const XmlNode& book : nodesOf(m_doc.getElementsByTagName(QStringLiteral("Book")))) {
        for (const XmlNode& child :
             nodesOf(book.childElements(QStringLiteral("BookSet_Categories"))))
            removed = removeChildrenNamed(child, name) || removed;
    }
    return removed;
}

} // namespace globalstab
