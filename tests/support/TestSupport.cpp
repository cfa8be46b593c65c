#include "tests/support/TestSupport.h"

#include "platform/FileSystem.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace globalstab::test {

MessageAnswer RecordingDialogs::messageBox(QWidget*, const QString& text, const QString& title,
                                           MessageIcon icon, MessageButtons buttons)
{
    return record({text, title, icon, buttons});
}

bool RecordingDialogs::progress(QWidget*, int done, int total)
{
    progressUpdates.append({done, total});
    return progressUpdates.size() == cancelAtProgress;
}

QString RecordingDialogs::getOpenFileName(QWidget*, const QString& title, const QString& filter)
{
    ++openDialogCount;
    lastOpenTitle = title;
    lastOpenFilter = filter;
    if (fileNames.empty())
        return QString();
    const QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

std::string listState(const QListWidget* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << (list->item(i)->isSelected() ? "[" + list->item(i)->text() + "]"
                                                : list->item(i)->text());
    return entries.join('|').toStdString();
}

TabHarness::TabHarness(qint32 installType, bool openSampleProject)
    : dialogs(std::make_shared<RecordingDialogs>()),
      services(std::make_shared<DefaultServiceProvider>(data.root(), installType))
{
    resetGlobalVariables();
    installDialogProvider(dialogs);
    installServiceProvider(services);
    tab = std::make_unique<ctlGlobalsTab>();
    tab->show();
    if (openSampleProject)
        tab->setProjectName(sampleProject());
}

TabHarness::~TabHarness()
{
    tab.reset();
    installDialogProvider(nullptr);
    installServiceProvider(nullptr);
    resetGlobalVariables();
}

void TabHarness::click(const char* button)
{
    if (auto* target = widget<QPushButton>(button))
        clickAt(target, target->rect().center());
}

void TabHarness::clickAt(QWidget* target, const QPoint& position)
{
    // Through the window, as a real pointer arrives: the press and the release go wherever
    // the window's own event handling sends them.
    QWidget* top = target->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, target->mapTo(top, position));
}

bool TabHarness::clickItem(const char* list, const QString& text)
{
    auto* target = widget<QListWidget>(list);
    if (!target)
        return false;
    const QList<QListWidgetItem*> found = target->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    target->scrollToItem(found.first());
    // Where the entry shows: a long entry reaches beyond the list's right edge.
    const QRect shown = target->visualItemRect(found.first()) & target->viewport()->rect();
    clickAt(target->viewport(), shown.center());
    return true;
}

bool TabHarness::pick(const QString& function, const QString& entry)
{
    const bool add = function == QLatin1String("Add");
    click(add ? "cmdAdd" : "cmdEdit");
    return clickItem(add ? "lstAddItems" : "lstEditItems", entry);
}

void TabHarness::type(const char* edit, const QString& text)
{
    auto* target = widget<QLineEdit>(edit);
    if (!target)
        return;
    target->setFocus();
    target->selectAll();
    if (text.isEmpty())
        QTest::keyClick(target, Qt::Key_Backspace);
    else
        QTest::keyClicks(target, text);
}

void TabHarness::setText(const char* edit, const QString& text)
{
    if (auto* target = widget<QLineEdit>(edit))
        target->setText(text);
}

QStringList TabHarness::items(const char* list) const
{
    QStringList result;
    if (auto* target = widget<QListWidget>(list)) {
        for (int i = 0; i < target->count(); ++i)
            result << target->item(i)->text();
    }
    return result;
}

} // namespace globalstab::test
