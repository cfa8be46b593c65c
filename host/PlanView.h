#pragma once

#include <globalstab/ChangePreview.h>

#include <QDialog>

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace globalstab::host {

// Shows the plan of an operation before it is applied: the files and folders it will
// change, in a tree of folders, each with what changes; a filter narrows the tree.
class PlanView : public QDialog
{
    Q_OBJECT

public:
    PlanView(const QString& what, const QList<FileChange>& plan, const QString& dataRoot,
             QWidget* parent = nullptr);

    // How many files the tree shows under the current filter.
    int shownFiles() const;

private:
    void filter(const QString& text);

    QLabel* m_counts = nullptr;
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_tree = nullptr;
    int m_files = 0;
    int m_moves = 0;
};

} // namespace globalstab::host
