#include "documents/DefaultCategories.h"

#include <QSet>

namespace globalstab {

using namespace access;

QStringList DefaultCategories::read(const QString& path, qint32 installType)
{
    DefaultCategories defaults;
    if (!defaults.loadIfPresent(path))
        return QStringList();
    requireElement(defaults.m_doc, QStringLiteral("DefaultCategories"), path);
    return defaults.names(installType);
}

QStringList DefaultCategories::allNames() const
{
    QStringList names;
    for (const XmlNode& category :
         nodesOf(m_doc.selectNodes(QStringLiteral("DefaultCategories/*/Category"))))
        if (!names.contains(category.text().trimmed(), Qt::CaseInsensitive))
            names << category.text().trimmed();
    return names;
}

QStringList DefaultCategories::names(qint32 installType) const
{
    QStringList names;
    QSet<QString> seen; // folded, so that a long list is read in one pass
    const XmlNode root = m_doc.selectSingleNode(QStringLiteral("DefaultCategories"));
    if (root.isNull())
        return names;
    for (const XmlNode& group : nodesOf(root.childNodes())) {
        bool applies = group.nodeName() == QLatin1String("AllInstallTypes");
        if (group.nodeName() == QLatin1String("InstallType")) {
            bool ok = false;
            const int value = group.attribute(QStringLiteral("value")).trimmed().toInt(&ok);
            applies = ok && value == installType;
        }
        if (!applies)
            continue;
        for (const XmlNode& category : nodesOf(group.selectNodes(QStringLiteral("Category")))) {
            const QString name = category.text().trimmed();
            if (!name.isEmpty() && !seen.contains(name.toCaseFolded())) {
                seen.insert(name.toCaseFolded());
                names.append(name);
            }
        }
    }
    return names;
}

} // namespace globalstab
