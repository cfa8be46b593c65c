#pragma once

#include "documents/DocumentAccess.h"

#include <QString>
#include <QStringList>

namespace globalstab {

// "PX_Selection.XML": every project of the data root, as PX entries of
// PX_Selection_List/PXs with the ID (PX_Acro), the name and rank (PX_Name) and the folder.
class SelectionList : public Document
{
public:
    struct Entry
    {
        QString id;
        QString name;
        QString rank;
        bool pro = false; // written as the "Pro" attribute, "Yes" or "No"
    };

    // The ID of a project. The name goes into the query between double quotes and
    // unescaped: a name holding a double quote makes the query invalid, which raises.
    QString projectId(const QString& projectName) const;
    // The Rank attribute of the project's entry (trimmed); empty when there is none.
    QString projectRank(const QString& projectName) const;
    // Every project name, in document order.
    QStringList projectNames() const;
    // True when an entry other than currentName's own is called name in any letter case.
    bool namesAnotherProject(const QString& name, const QString& currentName) const;
    // Drops the entry of oldName and appends a fresh one for the entry at the end. Raises
    // 91 when the document has no PX_Selection_List/PXs.
    void replaceEntry(const QString& oldName, const Entry& entry);
};

} // namespace globalstab
