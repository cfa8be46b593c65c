#include "tests/support/TestSupport.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace globalstab::test {

MessageAnswer RecordingDialogs::messageBox(QWidget*, const QString& text, const QString& title,
                                           MessageIcon icon, MessageButtons buttons)
{
    messages.append({text, title, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers.empty())
        return MessageAnswer::Yes;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
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

QStringList RecordingDialogs::texts() const
{
    QStringList result;
    for (const ShownMessage& message : messages)
        result << message.text;
    return result;
}

QString samplesDir()
{
    return QStringLiteral(GLOBALSTAB_SAMPLES_DIR);
}

bool copyTree(const QString& from, const QString& to)
{
    return QDir().mkpath(to) && !caught([&] { FileSystem().CopyFolder(from, to); });
}

SampleDataRoot::SampleDataRoot()
{
    if (m_dir.isValid())
        copyTree(samplesDir(), m_dir.path());
}

QString SampleDataRoot::path(const QString& relative) const
{
    return FileSystem::resolve(root() + relative);
}

QByteArray SampleDataRoot::read(const QString& relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void SampleDataRoot::write(const QString& relative, const QByteArray& data) const
{
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
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
    auto* target = widget<QPushButton>(button);
    if (target)
        QTest::mouseClick(target, Qt::LeftButton);
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
    QTest::mouseClick(target->viewport(), Qt::LeftButton, {},
                      target->visualItemRect(found.first()).center());
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
