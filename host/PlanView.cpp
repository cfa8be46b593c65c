#include "host/PlanView.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace globalstab::host {

PlanView::PlanView(const QString& what, const QList<FileChange>& plan, const QString& dataRoot,
                   QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("planView"));
    setWindowTitle(tr("Preview: %1").arg(what));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(tr("<b>%1</b> would change, and nothing else:").arg(what.toHtmlEscaped())));
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("planFilter"));
    m_filter->setPlaceholderText(tr("Filter by file or change"));
    m_filter->setClearButtonEnabled(true);
    layout->addWidget(m_filter);
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("planTree"));
    m_tree->setHeaderLabels({tr("File"), tr("Change")});
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(m_tree, 1);
    m_counts = new QLabel;
    layout->addWidget(m_counts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Folders below the data root as branches, files as leaves.
    // The documents name files with either separator; the tree shows one.
    const auto slashed = [](QString path) {
        return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    };
    const QString root = slashed(QDir(dataRoot).absolutePath()) + QLatin1Char('/');
    QHash<QString, QTreeWidgetItem*> folders;
    const auto folderItem = [&](const QString& folder) {
        QTreeWidgetItem*& item = folders[folder];
        if (!item) {
            item = new QTreeWidgetItem(m_tree, {folder.isEmpty() ? tr("(data root)") : folder});
            item->setFirstColumnSpanned(true);
        }
        return item;
    };
    for (const FileChange& change : plan) {
        QString path = slashed(change.path);
        if (path.startsWith(root))
            path = path.mid(root.size());
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        QString summary = change.summary;
        if (change.action == FileChange::Action::MoveFolder) {
            ++m_moves;
            QString from = slashed(change.from);
            if (from.startsWith(root))
                from = from.mid(root.size());
            summary = tr("moved from %1").arg(from);
        } else {
            ++m_files;
        }
        new QTreeWidgetItem(folderItem(slash < 0 ? QString() : path.left(slash)),
                            {slash < 0 ? path : path.mid(slash + 1), summary});
    }
    m_tree->expandAll();
    connect(m_filter, &QLineEdit::textChanged, this, &PlanView::filter);
    filter(QString());
    resize(760, 520);
}

int PlanView::shownFiles() const
{
    int shown = 0;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* folder = m_tree->topLevelItem(i);
        for (int j = 0; j < folder->childCount(); ++j)
            shown += folder->child(j)->isHidden() ? 0 : 1;
    }
    return shown;
}

void PlanView::filter(const QString& text)
{
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* folder = m_tree->topLevelItem(i);
        int visible = 0;
        for (int j = 0; j < folder->childCount(); ++j) {
            QTreeWidgetItem* file = folder->child(j);
            const bool match = text.isEmpty() ||
                               folder->text(0).contains(text, Qt::CaseInsensitive) ||
                               file->text(0).contains(text, Qt::CaseInsensitive) ||
                               file->text(1).contains(text, Qt::CaseInsensitive);
            file->setHidden(!match);
            visible += match ? 1 : 0;
        }
        folder->setHidden(visible == 0);
    }
    m_counts->setText(tr("%1 of %2 changes shown: %3 file(s), %4 folder(s) moved")
                          .arg(shownFiles())
                          .arg(m_files + m_moves)
                          .arg(m_files)
                          .arg(m_moves));
}

} // namespace globalstab::host
