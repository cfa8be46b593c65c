#include "documents/CategorySet.h"

#include <QHash>
#include <QSet>

#include <memory>

namespace globalstab {

using namespace access;

const QString CategorySet::OtherCategory = QStringLiteral("Other Category");

namespace {

// The first Category of each CategoryName, kept with the tree: a refresh looks up each of
// hundreds of categories twice, each time in a set that grew since. A change the set makes
// itself keeps the index up to date and stamps it anew; any other change of the tree
// drops it.
constexpr int NameIndexKey = 2; // TableOfContents uses 1
using NameIndex = QHash<QString, XmlNode>;

std::shared_ptr<NameIndex> nameIndex(const XmlDocument& doc, const XmlNode& root)
{
    if (auto index = std::const_pointer_cast<NameIndex>(
            std::static_pointer_cast<const NameIndex>(doc.derived(NameIndexKey))))
        return index;
    auto index = std::make_shared<NameIndex>();
    for (const XmlNode& category : root.childElements(QStringLiteral("Category"))) {
        const XmlNode name = category.firstChildElement(QStringLiteral("CategoryName"));
        if (name && !index->contains(name.text()))
            index->insert(name.text(), category); // the first of a name
    }
    doc.keepDerived(NameIndexKey, index);
    return index;
}

XmlNode appendCategory(XmlDocument& doc, XmlNode root, const QString& name)
{
    XmlNode category = appendElement(doc, root, QStringLiteral("Category"));
    appendElement(doc, category, QStringLiteral("CategoryName"), name);
    return category;
}

// Puts moving in front of before, its neighbour; false when there is no such neighbour.
bool putBefore(const XmlNode& moving, const XmlNode& before)
{
    if (!moving || !before)
        return false;
    XmlNode parent = before.parentNode();
    parent.removeChild(moving);
    parent.insertBefore(moving, before);
    return true;
}

} // namespace

void CategorySet::create(const QStringList& defaultNames, const QStringList& uncategorisedBooks)
{
    m_doc = XmlDocument();
    XmlNode root = m_doc.appendChild(m_doc.createElement(QStringLiteral("BookSet_Categories")));
    for (const QString& name : defaultNames) {
        XmlNode category = appendCategory(m_doc, root, name);
        if (name != OtherCategory)
            continue;
        for (const QString& acro : uncategorisedBooks)
            appendElement(m_doc, category, QStringLiteral("BookAcro"), acro);
    }
}

QStringList CategorySet::names() const
{
    QStringList names;
    for (const XmlNode& name :
         nodesOf(m_doc.selectNodes(QStringLiteral("BookSet_Categories/Category/CategoryName"))))
        names << name.text();
    return names;
}

QList<CategorySet::Category> CategorySet::categories() const
{
    QList<Category> result;
    for (const XmlNode& category :
         nodesOf(m_doc.selectNodes(QStringLiteral("BookSet_Categories/Category")))) {
        Category entry{childText(category, QStringLiteral("CategoryName")), {}};
        for (const XmlNode& acro : nodesOf(category.selectNodes(QStringLiteral("BookAcro"))))
            entry.bookAcros << acro.text();
        result << entry;
    }
    return result;
}

bool CategorySet::add(const QString& name, const QString& path)
{
    XmlNode root = requireElement(m_doc, QStringLiteral("BookSet_Categories"), path);
    const std::shared_ptr<NameIndex> index = nameIndex(m_doc, root);
    if (index->contains(name))
        return false;
    index->insert(name, appendCategory(m_doc, root, name));
    m_doc.keepDerived(NameIndexKey, index);
    return true;
}

bool CategorySet::rename(const QString& oldName, const QString& newName, const QString& path)
{
    bool renamed = false;
    const XmlNode root = requireElement(m_doc, QStringLiteral("BookSet_Categories"), path);
    for (const XmlNode& category : nodesOf(root.selectNodes(QStringLiteral("Category")))) {
        XmlNode categoryName = category.selectSingleNode(QStringLiteral("CategoryName"));
        if (!categoryName.isNull() && categoryName.text() == oldName) {
            categoryName.setText(newName);
            renamed = true;
        }
    }
    return renamed;
}

bool CategorySet::setBooks(const QString& name, const QStringList& acros, const QString& path)
{
    XmlNode root = requireElement(m_doc, QStringLiteral("BookSet_Categories"), path);
    const std::shared_ptr<NameIndex> index = nameIndex(m_doc, root);
    XmlNode category = index->value(name);
    if (category.isNull()) {
        if (name != OtherCategory)
            return false;
        category = appendCategory(m_doc, root, name);
        index->insert(name, category);
    }
    for (const XmlNode& acro : category.childElements(QStringLiteral("BookAcro")))
        category.removeChild(acro);
    QSet<QString> written;
    QStringList kept;
    for (const QString& acro : acros) {
        if (acro.isEmpty() || written.contains(acro))
            continue;
        kept << acro;
        written.insert(acro);
    }
    category.appendElements(QStringLiteral("BookAcro"), kept);
    m_doc.keepDerived(NameIndexKey, index); // only books changed
    return true;
}

bool CategorySet::fileBook(const QString& name, const QString& acro, const QString& path)
{
    XmlNode root = requireElement(m_doc, QStringLiteral("BookSet_Categories"), path);
    const std::shared_ptr<NameIndex> index = nameIndex(m_doc, root);
    XmlNode category = index->value(name);
    if (category.isNull()) {
        category = appendCategory(m_doc, root, name);
        index->insert(name, category);
        m_doc.keepDerived(NameIndexKey, index);
    }
    for (const XmlNode& listed : category.childElements(QStringLiteral("BookAcro"))) {
        if (listed.text() == acro)
            return false;
    }
    appendElement(m_doc, category, QStringLiteral("BookAcro"), acro);
    m_doc.keepDerived(NameIndexKey, index);
    return true;
}

QStringList CategorySet::removeCategory(const QString& name)
{
    QStringList acros;
    XmlNode root = m_doc.selectSingleNode(QStringLiteral("BookSet_Categories"));
    if (!root)
        return acros;
    // Every category of that name goes, first to last; one query finds them all.
    const QString query =
        QStringLiteral("BookSet_Categories/Category[CategoryName='") + name + QStringLiteral("']");
    for (const XmlNode& category : nodesOf(m_doc.selectNodes(query))) {
        for (const XmlNode& acro : nodesOf(category.selectNodes(QStringLiteral("BookAcro"))))
            acros << acro.text();
        root.removeChild(category);
    }
    return acros;
}

bool CategorySet::moveCategory(const QString& escapedName, bool up)
{
    const XmlNode category =
        m_doc.selectSingleNode(QStringLiteral("BookSet_Categories/Category[CategoryName = '") +
                               escapedName + QStringLiteral("']"));
    if (!category)
        return false;
    return up ? putBefore(category, category.previousSibling())
              : putBefore(category.nextSibling(), category);
}

} // namespace globalstab
