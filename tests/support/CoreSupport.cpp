#include "tests/support/CoreSupport.h"

#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace globalstab::test {

MessageAnswer MessageRecorder::record(const ShownMessage& message)
{
    messages.append(message);
    if (message.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers.empty())
        return MessageAnswer::Yes;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const ShownMessage& message : messages)
        result << message.text;
    return result;
}

QStringList MessageRecorder::reports() const
{
    QStringList procedures;
    for (const ShownMessage& message : messages)
        procedures << message.text.section(QStringLiteral(" - "), -1);
    return procedures;
}

QMap<QString, QByteArray> snapshot(const QString& folder, const QString& project)
{
    QMap<QString, QByteArray> files;
    const QString top = QDir(folder).absolutePath() + QLatin1Char('/');
    for (QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        QString path = it.next().mid(top.size());
        if (path.startsWith(QLatin1String("Docs/.globalstab")))
            continue;
        if (!project.isEmpty())
            path.replace(QStringLiteral("Docs/") + project, QStringLiteral("Docs/<project>"));
        QFile file(it.filePath());
        files.insert(
            path, it.fileInfo().isDir() || !file.open(QIODevice::ReadOnly)
                      ? QByteArray("<folder>")
                      : QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
    }
    return files;
}

bool hasFinding(const QList<check::Finding>& findings, check::Finding::Kind kind,
                const QString& text, const QString& fileName, const QString& element)
{
    for (const check::Finding& finding : findings)
        if (finding.kind == kind && finding.text == text && finding.file.endsWith(fileName) &&
            (element.isEmpty() || finding.element == element))
            return true;
    return false;
}

QStringList xmlTexts(const QString& file, const QString& xpath)
{
    XmlDocument doc;
    QStringList texts;
    if (doc.load(file))
        for (const XmlNode& node : doc.selectNodes(xpath))
            texts << node.text();
    return texts;
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

} // namespace globalstab::test
