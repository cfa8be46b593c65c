#pragma once

#include <QListWidget>

namespace globalstab {

// A list box of the tab holds one selected entry at most; its "list index" is the row of
// that entry, or -1 when nothing is selected.
inline int listIndex(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// The text of the selected entry, empty when nothing is selected.
inline QString listText(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

// Selects entry index (as setting the list index does); -1 clears the selection.
inline void setListIndex(QListWidget* list, int index)
{
    if (index < 0 || index >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        return;
    }
    list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

} // namespace globalstab
