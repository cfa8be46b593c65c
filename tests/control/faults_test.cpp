// One failure stepped through every file change of a user action: after the next start's
// recovery, every file is as it was before the action, or, without a failure, as after it.
#include "core/Action.h"
#include "platform/FileChangeObserver.h"
#include "platform/RuntimeError.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QMap>
#include <QSet>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;
using namespace globalstab::test;

namespace {

// Stops the n-th change with the error a full disk gives; counts the changes it sees.
class FailAt : public FileChangeObserver
{
public:
    explicit FailAt(int at) : m_at(at) {}
    void aboutToChange(DiskChange, const QString&, const QString&) override
    {
        if (++seen == m_at)
            raiseError(61, QStringLiteral("Disk full"));
    }
    int seen = 0;

private:
    int m_at;
};

struct UserAction
{
    const char* name;
    std::function<void(TabHarness&)> prepare;
    std::function<void(TabHarness&)> act;
};

const UserAction actions[] = {
    {"project rename", [](TabHarness&) {},
     [](TabHarness& h) {
         h.setText("txtProjectName", "Nova 2");
         h.setText("txtProjectID", "NV");
         h.click("cmdProjectNameApply");
     }},
    {"category refresh",
     [](TabHarness& h) {
         const QString set = "Docs/Orion Suite 2024/PX_BookCategories.xml";
         h.data.write(set, "<BookSet_Categories><Category><CategoryName>Reference</CategoryName>"
                           "</Category></BookSet_Categories>");
     },
     [](TabHarness& h) { h.pick("Edit", "Hierarchical Category"); }},
    {"category add", [](TabHarness& h) { h.pick("Add", "Hierarchical Category"); },
     [](TabHarness& h) {
         h.setText("txtCategoryName", "Manuals");
         h.click("cmdApplyAddEditCate");
     }},
    {"category rename", [](TabHarness& h) { h.pick("Edit", "Hierarchical Category"); },
     [](TabHarness& h) {
         h.clickItem("lstAvaBookCategories", "Reference");
         h.setText("txtCategoryName", "Manuals");
         h.click("cmdApplyAddEditCate");
     }},
    {"category delete", [](TabHarness& h) { h.pick("Edit", "Hierarchical Category"); },
     [](TabHarness& h) {
         h.clickItem("lstAvaBookCategories", "Administration");
         h.click("cmdCategoryDelete");
     }},
    {"global page add", [](TabHarness& h) { h.pick("Add", "Global Page"); },
     [](TabHarness& h) {
         h.setText("txtPageName", "Tour");
         h.setText("txtSourceTo", h.data.path("Library/Quick Tour.htm"));
         h.click("cmdAddGblPage");
     }},
};

} // namespace

// A fault ends the action as the tab's rules end it: reported, what was saved stays saved,
// and the next start keeps it that way. Undo then puts every file back as it was.
TEST(Faults, EveryFailureOfEveryActionIsReportedKeptAtTheNextStartAndUndoneWhole)
{
    for (const UserAction& action : actions) {
        SCOPED_TRACE(action.name);
        int changes = 0;
        {
            TabHarness h;
            action.prepare(h);
            FailAt counter(0);
            {
                const ObservedFileChanges observing(counter);
                action.act(h);
            }
            changes = counter.seen;
            const auto after = snapshot(h.data.root());
            EXPECT_TRUE(h.dialogs->reports().filter("Tovanel").isEmpty());
            EXPECT_TRUE(Action::recover(h.data.root()).empty());
            EXPECT_TRUE(snapshot(h.data.root()) == after);
        }
        ASSERT_GT(changes, 0);
        for (int at = 1; at <= changes; ++at) {
            TabHarness h;
            action.prepare(h);
            const auto before = snapshot(h.data.root());
            FailAt fault(at);
            {
                const ObservedFileChanges observing(fault);
                action.act(h);
            }
            EXPECT_FALSE(h.dialogs->texts().isEmpty()) << "at " << at;
            const auto ended = snapshot(h.data.root());
            EXPECT_TRUE(Action::recover(h.data.root()).empty()) << "at " << at;
            EXPECT_TRUE(snapshot(h.data.root()) == ended) << "at " << at;
            if (ended != before)
                Action::undoLast(h.data.root());
            const auto now = snapshot(h.data.root());
            QStringList differing;
            for (const QString& key : before.keys() + now.keys())
                if (before.value(key) != now.value(key) && !differing.contains(key))
                    differing << key;
            EXPECT_TRUE(differing.isEmpty()) << "failure at change " << at << " of " << changes
                                             << ": " << differing.first().toStdString();
        }
    }
}

// The journal itself fails at each of its writes, flushes, links and files in turn, with a
// full disk and with an I/O error: the tab goes on, says so naming the journal, and after
// the next start every file holds one whole version of itself, before or after the action.
TEST(Faults, AFullOrFailingJournalAtAnyPointEndsInAMessageAndWholeFiles)
{
    using Arm = void (*)(int, int);
    using Disarm = int (*)();
    const auto arm = reinterpret_cast<Arm>(::dlsym(RTLD_DEFAULT, "globalstabFaultArm"));
    const auto disarm = reinterpret_cast<Disarm>(::dlsym(RTLD_DEFAULT, "globalstabFaultDisarm"));
    if (!arm || !disarm)
        GTEST_SKIP() << "needs the journal fault library preloaded, as ctest runs it";
    for (const UserAction& action : actions) {
        SCOPED_TRACE(action.name);
        QSet<QByteArray> versions;
        QMap<QString, QByteArray> clean;
        int calls = 0;
        int told = 0;
        {
            TabHarness h;
            action.prepare(h);
            for (const QByteArray& hash : snapshot(h.data.root()))
                versions.insert(hash);
            arm(0, 0);
            action.act(h);
            calls = disarm();
            clean = snapshot(h.data.root());
            for (const QByteArray& hash : clean)
                versions.insert(hash);
        }
        ASSERT_GT(calls, 0);
        for (int at = 1; at <= calls; ++at) {
            for (const int error : {ENOSPC, EIO}) {
                TabHarness h;
                action.prepare(h);
                h.dialogs->clear();
                arm(at, error);
                action.act(h);
                disarm();
                const QStringList journalReports = h.dialogs->texts().filter("/.globalstab/");
                const auto ended = snapshot(h.data.root());
                Action::recover(h.data.root());
                const auto now = snapshot(h.data.root());
                for (auto it = now.cbegin(); it != now.cend(); ++it) {
                    EXPECT_TRUE(versions.contains(it.value()))
                        << "at " << at << ": " << it.key().toStdString() << " is torn";
                    EXPECT_FALSE(it.key().endsWith(".part")) << it.key().toStdString();
                }
                // A failure that changed the outcome was told, naming the journal.
                if (ended != clean) {
                    ++told;
                    ASSERT_FALSE(journalReports.isEmpty())
                        << "at " << at << " untold: " << h.dialogs->texts().join("|").toStdString();
                    EXPECT_TRUE(journalReports.first().contains(
                        error == ENOSPC ? "Disk full" : "Path/File access error"))
                        << journalReports.first().toStdString();
                }
            }
        }
        EXPECT_GT(told, 0);
    }
}
