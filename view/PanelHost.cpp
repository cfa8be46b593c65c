#include "view/PanelHost.h"

#include "core/StringTable.h"
#include "text/TextChecks.h"

#include <QKeyEvent>
#include <QListWidget>

namespace globalstab {

QString PanelHost::text(int id)
{
    QString result;
    trap(*this, "GetResString", [&] { result = resourceString(id); });
    return result;
}

QString PanelHost::escape(const QString& word)
{
    return escapeReported(*this, word);
}

bool PanelHost::checkCharacters(const QString& text, const QString& label)
{
    return globalstab::checkCharacters(*this, text, label);
}

QString PanelHost::checkXmlCharacters(const QString& text, const QString& label)
{
    return globalstab::checkXmlCharacters(*this, text, label);
}

bool PanelHost::checkElement(const QString& item, const QListWidget* list)
{
    bool result = false;
    trap(
        *this, "bCheckElement",
        [&] {
            if (!list)
                raiseError(rt::ObjectNotSet, QStringLiteral("Object variable not set: no list"));
            result = notListed(item, listEntries(list));
        },
        ErrorForm::UserControl);
    return result;
}

int listIndex(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

QString listText(const QListWidget* list)
{
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void setListIndex(QListWidget* list, int index)
{
    if (index < 0 || index >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        return;
    }
    list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QStringList listEntries(const QListWidget* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

namespace {

class ListKeys : public QObject
{
public:
    ListKeys(QListWidget* list, std::function<void()> activated, std::function<void()> escaped)
        : QObject(list), m_list(list), m_activated(std::move(activated)),
          m_escaped(std::move(escaped))
    {
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_list || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && m_escaped) {
            m_escaped();
            return true;
        }
        const bool activates = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                               key->key() == Qt::Key_Space;
        if (!activates || key->isAutoRepeat() || !m_list->currentItem())
            return false;
        setListIndex(m_list, m_list->currentRow());
        m_activated();
        return true;
    }

private:
    QListWidget* m_list;
    std::function<void()> m_activated;
    std::function<void()> m_escaped;
};

} // namespace

void activateByKeyboard(QListWidget* list, std::function<void()> activated,
                        std::function<void()> escaped)
{
    new ListKeys(list, std::move(activated), std::move(escaped));
}

void setListEntries(QListWidget* list, const QStringList& entries)
{
    list->clear();
    list->addItems(entries);
}

} // namespace globalstab
