// A rename run in a process of its own, as the tab runs it (journalled, its saves batched),
// killed with SIGKILL at the n-th change of the disk (never when n is 0): a change announced
// to the journal or a rename of the batch's commit. Prints how many changes the rename made.
//
//   rename_child DATA_ROOT OLD_NAME NEW_NAME N
#include "core/Action.h"
#include "operations/PageTokens.h"
#include "operations/ProjectRename.h"
#include "platform/FileChangeObserver.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"
#include "tests/support/SaveFaults.h"

#include <QTextStream>

#include <csignal>
#include <unistd.h>

using namespace globalstab;

namespace {

int g_changes = 0;
int g_killAt = 0;

void change()
{
    if (++g_changes == g_killAt)
        ::kill(::getpid(), SIGKILL);
}

class KillAt : public FileChangeObserver
{
public:
    void aboutToChange(DiskChange, const QString&, const QString&) override { change(); }
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
    g_killAt = QByteArray(argv[4]).toInt();
    KillAt killer;
    const ObservedFileChanges observing(killer);
    globalstab::testing::setBeforeSaveRename(change);
    Silent feedback;
    {
        Action action(root, QStringLiteral("CmdProjectNameApply_click"));
        const ProjectContext project{root, oldName, 0};
        if (ProjectRename({project, newName, QStringLiteral("NV"), QStringLiteral("10")})
                .apply(feedback))
            rewritePageTokens(FileSystem().GetFolder(project.docsFolder() + newName),
                              {root, oldName, newName, 0}, feedback);
    }
    QTextStream(stdout) << g_changes << '\n';
    return 0;
}
