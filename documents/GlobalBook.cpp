#include "documents/GlobalBook.h"

#include "text/TextChecks.h"

namespace globalstab {

using namespace access;

const QString GlobalBook::BookName = QStringLiteral("Global Information");
const QString GlobalBook::BookAcro = QStringLiteral("Global");
const QString GlobalBook::FolderName = QStringLiteral("_Global Information");
const QString GlobalBook::FileName = QStringLiteral("Book_Global.xml");

namespace {

XmlNode headingsOf(XmlDocument& doc, const QString& path)
{
    XmlNode master = requireElement(doc, QStringLiteral("Book_Master"), path);
    XmlNode headings = master.selectSingleNode(QStringLiteral("Book_Headings"));
    if (headings.isNull())
        headings = appendElement(doc, master, QStringLiteral("Book_Headings"));
    return headings;
}

QList<XmlNode> pagesNamed(const XmlNode& headings, const QString& name)
{
    QList<XmlNode> pages;
    for (const XmlNode& heading :
         nodesOf(headings.selectNodes(QStringLiteral("Heading[@level='H1']")))) {
        const XmlNode pageName = heading.selectSingleNode(QStringLiteral("HName"));
        if (!pageName.isNull() && pageName.text() == name)
            pages.append(heading);
    }
    return pages;
}

XmlNode firstPageNamed(const XmlNode& headings, const QString& name)
{
    const QList<XmlNode> pages = pagesNamed(headings, name);
    return pages.isEmpty() ? XmlNode() : pages.first();
}

// A name taken from the page list, or the escaped form of a link text.
XmlNode pageCalled(const XmlNode& headings, const QString& name)
{
    const XmlNode page = firstPageNamed(headings, name);
    return page.isNull() ? firstPageNamed(headings, unescapeXml(name)) : page;
}

} // namespace

QStringList GlobalBook::pageNames() const
{
    QStringList names;
    for (const XmlNode& heading : nodesOf(m_doc.selectNodes(
             QStringLiteral("Book_Master/Book_Headings/Heading[@level = 'H1']")))) {
        if (!heading)
            continue;
        const XmlNode name = heading.selectSingleNode(QStringLiteral("HName"));
        if (name)
            names << name.text();
    }
    return names;
}

QList<std::pair<QString, QString>> GlobalBook::pageFiles() const
{
    QList<std::pair<QString, QString>> pages;
    for (const XmlNode& heading : nodesOf(
             m_doc.selectNodes(QStringLiteral("Book_Master/Book_Headings/Heading[@level = 'H1']"))))
        pages.append({childText(heading, QStringLiteral("HName")),
                      childText(heading, QStringLiteral("HFile"))});
    return pages;
}

std::optional<QString> GlobalBook::pageSource(const QString& name) const
{
    // The blank before "[" and the missing one before "and" are the query's own.
    const XmlNode heading =
        m_doc
            .selectNodes(
                QStringLiteral("/Book_Master/Book_Headings/Heading [@level = 'H1'and HName='") +
                name + QStringLiteral("']"))
            .item(0);
    if (!heading)
        return std::nullopt;
    const XmlNode file = heading.selectSingleNode(QStringLiteral("HFile"));
    if (!file)
        return std::nullopt;
    return file.text();
}

void GlobalBook::create(const QString& projectName)
{
    XmlNode master = createBook(BookName, BookAcro, projectName,
                                projectName + QLatin1Char('\\') + FolderName, BookName);
    appendElement(m_doc, master, QStringLiteral("Book_Headings"));
}

QString GlobalBook::pageFile(const QString& name) const
{
    const XmlNode headings = m_doc.selectSingleNode(QStringLiteral("Book_Master/Book_Headings"));
    if (headings.isNull())
        return QString();
    const XmlNode page = pageCalled(headings, name);
    return page.isNull() ? QString() : childText(page, QStringLiteral("HFile"));
}

bool GlobalBook::addPage(const QString& name, const QString& fileName, const QString& path)
{
    XmlNode headings = headingsOf(m_doc, path);
    if (!firstPageNamed(headings, name).isNull())
        return false;
    XmlNode heading = appendElement(m_doc, headings, QStringLiteral("Heading"));
    heading.setAttribute(QStringLiteral("level"), QStringLiteral("H1"));
    appendElement(m_doc, heading, QStringLiteral("HName"), name);
    appendElement(m_doc, heading, QStringLiteral("HFile"), fileName);
    return true;
}

bool GlobalBook::editPage(const QString& oldName, const QString& newName, const QString& fileName,
                          const QString& path)
{
    XmlNode headings = headingsOf(m_doc, path);
    const XmlNode page = pageCalled(headings, oldName);
    if (page.isNull())
        return false;
    // Renaming onto another page would leave two pages of one name, of which the readers
    // only ever find the first.
    const XmlNode clash = firstPageNamed(headings, newName);
    if (!clash.isNull() && !(clash == page))
        return false;
    setChildText(m_doc, page, QStringLiteral("HName"), newName);
    setChildText(m_doc, page, QStringLiteral("HFile"), fileName);
    return true;
}

bool GlobalBook::removePage(const QString& name)
{
    XmlNode headings = m_doc.selectSingleNode(QStringLiteral("Book_Master/Book_Headings"));
    if (headings.isNull())
        return false;
    const QList<XmlNode> pages = pagesNamed(headings, name);
    for (const XmlNode& page : pages)
        headings.removeChild(page);
    return !pages.isEmpty();
}

} // namespace globalstab
