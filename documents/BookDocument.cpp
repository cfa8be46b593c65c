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

void BookDocument::removeCategory(const QString& name)
{
    for (const XmlNode& book : nodesOf(m_doc.getElementsByTagName(QStringLiteral("Book")))) {
        for (const XmlNode& child : nodesOf(book.childNodes())) {
            if (child.nodeName() == QLatin1String("BookSet_Categories"))
                removeChildrenNamed(child, name);
        }
    }
}

} // namespace globalstab
