// A rename run in a process of its own, as the tab runs it, killed with SIGKILL at the n-th
// change of the disk (never when n is 0). Prints how many changes the rename made.
//
//   rename_child DATA_ROOT OLD_NAME NEW_NAME N
#include "core/Journal.h"
#include "platform/FileChanges.h"
#include "platform/FileSystem.h"
#include "projectinfo/PageTokens.h"
#include "projectinfo/ProjectRename.h"

#include <QTextStream>

#include <csignal>
#include <unistd.h>

using namespace globalstab;

namespace {

class KillAt : public FileChangeObserver
{
public:
    explicit KillAt(int at) : m_at(at) {}
    void aboutToChange(DiskChange, const QString&, const QString&) override
    {
        if (++changes == m_at)
            ::kill(::getpid(), SIGKILL);
    }
    int changes = 0;

private:
    int m_at;
};

class Silent : public Feedback
{
public:
    MessageAnswer show(const Message& message) override
    {
        QTextStream(stderr) << message.text << '\n';
        return MessageAnswer::Ok;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString oldName = QString::fromLocal8Bit(argv[2]);
    const QString newName = QString::fromLocal8Bit(argv[3]);
    KillAt killer(QByteArray(argv[4]).toInt());
    const ObservedFileChanges observing(killer);
    Silent feedback;
    {
        const WriteBoundary boundary(root);
        JournalScope action(root, QStringLiteral("CmdProjectNameApply_click"));
        const ProjectContext project{root, oldName, 0};
        if (ProjectRename({project, newName, QStringLiteral("NV"), QStringLiteral("10")})
                .apply(feedback))
            rewritePageTokens(FileSystem().GetFolder(project.docsFolder() + newName),
                              {root, oldName, newName, 0}, feedback);
    }
    QTextStream(stdout) << killer.changes << '\n';
    return 0;
}
