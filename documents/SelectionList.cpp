#include "documents/SelectionList.h"

#include "documents/DocumentAccess.h"

namespace globalstab {

QString SelectionList::projectId(const QString& projectName) const
{
    const XmlNode acro = m_doc.selectSingleNode(
        QStringLiteral("PX_Selection_List/PXs/PX[PX_Name=") + QLatin1Char('"') + projectName +
        QLatin1Char('"') + QStringLiteral("]/PX_Acro"));
    return acro ? acro.text() : QString();
}

QString SelectionList::projectRank(const QString& projectName) const
{
    for (const XmlNode& project :
         access::nodesOf(m_doc.selectNodes(QStringLiteral("PX_Selection_List/PXs/PX")))) {
        const XmlNode name = project.selectSingleNode(QStringLiteral("PX_Name"));
        if (!name.isNull() && name.text() == projectName)
            return name.attribute(QStringLiteral("Rank")).trimmed();
    }
    return QString();
}

QStringList SelectionList::projectNames() const
{
    QStringList names;
    for (const XmlNode& name : access::nodesOf(m_doc.selectNodes(QStringLiteral("//PX/PX_Name"))))
        names << name.text();
    return names;
}

bool SelectionList::namesAnotherProject(const QString& name, const QString& currentName) const
{
    for (const XmlNode& entry :
         access::nodesOf(m_doc.selectNodes(QStringLiteral("PX_Selection_List/PXs/PX")))) {
        const XmlNode entryName = entry.selectSingleNode(QStringLiteral("PX_Name"));
        if (!entryName)
            continue;
        const QString existing = entryName.text();
        // The open project's own entry never counts, so its letter case may change.
        if (existing.compare(name, Qt::CaseInsensitive) == 0 && existing != currentName)
            return true;
    }
    return false;
}

void SelectionList::replaceEntry(const QString& oldName, const Entry& entry)
{
    XmlNode pxs = m_doc.selectSingleNode(QStringLiteral("PX_Selection_List/PXs"));
    const XmlNode oldEntry = m_doc.selectSingleNode(
        QStringLiteral("PX_Selection_List/PXs/PX[PX_Name='") + oldName + QStringLiteral("']"));
    if (oldEntry)
        pxs.removeChild(oldEntry);

    XmlNode px = m_doc.createElement(QStringLiteral("PX"));
    pxs.appendChild(px);

    XmlNode acro = m_doc.createElement(QStringLiteral("PX_Acro"));
    acro.setText(entry.id);
    px.appendChild(acro);

    XmlNode name = m_doc.createElement(QStringLiteral("PX_Name"));
    name.setText(entry.name);
    name.setAttribute(QStringLiteral("AddDate"), QString());
    name.setAttribute(QStringLiteral("Pro"),
                      entry.pro ? QStringLiteral("Yes") : QStringLiteral("No"));
    name.setAttribute(QStringLiteral("Enable"), QStringLiteral("Yes"));
    px.appendChild(name);
    name.setAttribute(QStringLiteral("Rank"), entry.rank);

    XmlNode location = m_doc.createElement(QStringLiteral("PX_Location"));
    location.setText(QStringLiteral("Docs\\") + entry.name + QStringLiteral("\\"));
    px.appendChild(location);
}

} // namespace globalstab
