// The tab's actions on generated projects of growing size, each set against a floor: the
// least file work the same result needs, measured in the same run on the same disk.
// Run: make bench [BENCH_ARGS="--quick --scenario NAME --work-dir DIR --runs N"].
//
// Every measurement runs in a child process of its own, on a fresh copy of the generated
// data root (the copy is not timed and is flushed before), so that each has its own peak
// memory and no state of an earlier one.
#include "bench/DataGenerator.h"
#include "documents/CategorySet.h"
#include "documents/TableOfContents.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/GlobalVariables.h>
#include <globalstab/ctlGlobalsTab.h>

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWindow>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

using namespace globalstab;
using namespace globalstab::bench;

namespace {

const QString NewProjectName = QStringLiteral("Scale Project 2");

// ---- one measurement, in the child process --------------------------------------------

// Answers Yes to every question and keeps what was shown, to tell success from failure. The
// progress of long actions is the real one, drawn as a user sees it.
// The longest the window went without handling its events (a progress update or a message
// lets it paint) is kept as well, from the start of the action to its end.
class AnsweringDialogs : public QtDialogProvider
{
public:
    MessageAnswer messageBox(QWidget*, const QString& text, const QString&, MessageIcon,
                             MessageButtons buttons) override
    {
        // A message box would paint the window behind it.
        responsive();
        shown << text;
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
    bool progress(QWidget* parent, int done, int total) override
    {
        const bool stop = QtDialogProvider::progress(parent, done, total);
        responsive();
        return stop;
    }

    // Restarts the count of the longest pause.
    void start()
    {
        m_since.start();
        longestPauseMs = 0;
    }
    void responsive()
    {
        if (m_since.isValid())
            longestPauseMs = std::max(longestPauseMs, double(m_since.nsecsElapsed()) / 1e6);
        m_since.start();
    }

    QStringList shown;
    double longestPauseMs = 0;

private:
    QElapsedTimer m_since;
};

// The tab on a data root, shown offscreen and driven through its window as a user drives it.
class Tab
{
public:
    Tab(const QString& root, const QString& project)
        : dialogs(std::make_shared<AnsweringDialogs>()),
          services(std::make_shared<DefaultServiceProvider>(root + QLatin1Char('/'), 0))
    {
        resetGlobalVariables();
        installDialogProvider(dialogs);
        installServiceProvider(services);
        tab = std::make_unique<ctlGlobalsTab>();
        tab->show();
        tab->setProjectName(project);
        // Focus changes reach the text boxes' handlers only in the active window.
        QApplication::setActiveWindow(tab.get());
        // A user clicks in a window that was painted: its first paint (the style loads its
        // images then) is not part of any action.
        if (!QTest::qWaitForWindowExposed(tab.get()))
            std::fprintf(stderr, "the tab's window was not shown\n");
        QCoreApplication::processEvents();
    }

    template <typename Widget> Widget* widget(const char* name) const
    {
        return tab->findChild<Widget*>(QLatin1String(name));
    }
    void clickAt(QWidget* target, const QPoint& position)
    {
        QWidget* top = target->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, target->mapTo(top, position));
    }
    void click(const char* button)
    {
        if (auto* target = widget<QPushButton>(button))
            clickAt(target, target->rect().center());
    }
    bool clickItem(const char* list, const QString& text)
    {
        auto* target = widget<QListWidget>(list);
        const auto found =
            target ? target->findItems(text, Qt::MatchExactly) : QList<QListWidgetItem*>();
        if (found.isEmpty())
            return false;
        target->scrollToItem(found.first());
        clickAt(target->viewport(),
                (target->visualItemRect(found.first()) & target->viewport()->rect()).center());
        return true;
    }
    bool pick(const char* function, const QString& entry)
    {
        const bool add = qstrcmp(function, "Add") == 0;
        click(add ? "cmdAdd" : "cmdEdit");
        return clickItem(add ? "lstAddItems" : "lstEditItems", entry);
    }
    void type(const char* edit, const QString& text)
    {
        auto* target = widget<QLineEdit>(edit);
        target->setFocus();
        target->selectAll();
        QTest::keyClicks(target, text);
    }

    std::shared_ptr<AnsweringDialogs> dialogs;
    std::shared_ptr<DefaultServiceProvider> services;
    std::unique_ptr<ctlGlobalsTab> tab;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes back whatever is pending on the file system of path, so that a measurement pays only
// for its own writes (syncfs and fsync wait for other writers' data too).
void flushFileSystem(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ::syncfs(fd);
    ::close(fd);
}

long peakRssKib()
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    long kib = 0;
    const qsizetype at = status.indexOf("VmHWM:");
    if (at >= 0)
        std::sscanf(status.constData() + at, "VmHWM: %ld", &kib);
    return kib;
}

struct ChildArgs
{
    QString kind, root, project;
    QString category;  // the one to rename or delete
    QString reference; // a copy the rename ran on, for the rename's floor
};

// A file the project rename rewrites, with the bytes it ends with.
struct NewFile
{
    QString path; // relative to the data root, below the project's new name
    QByteArray bytes;
};

// What the rename changed: every file of the reference copy (renamed there once beforehand)
// whose bytes differ from the same file of the untouched copy. The journal is the tool's own.
QList<NewFile> renamedFiles(const ChildArgs& args)
{
    QList<NewFile> files;
    const QString oldFolder = QStringLiteral("Docs/") + args.project + QLatin1Char('/');
    const QString newFolder = QStringLiteral("Docs/") + NewProjectName + QLatin1Char('/');
    for (QDirIterator it(args.reference, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString relative = it.next().mid(args.reference.size() + 1);
        if (relative.startsWith(QLatin1String("Docs/.globalstab")))
            continue;
        QString before = relative;
        if (before.startsWith(newFolder))
            before.replace(0, newFolder.size(), oldFolder);
        QByteArray bytes = readFile(it.filePath());
        if (bytes != readFile(args.root + QLatin1Char('/') + before))
            files.append({relative, std::move(bytes)});
    }
    return files;
}

// The least a durable rename with its pages needs: the folder moved, every new file written
// beside its target, one flush of the file system, the renames, one flush per folder.
bool writeRenamedFiles(const QString& root, const QString& project, const QList<NewFile>& files)
{
    const QByteArray docs = QFile::encodeName(root + QStringLiteral("/Docs/"));
    bool ok = ::rename((docs + QFile::encodeName(project)).constData(),
                       (docs + QFile::encodeName(NewProjectName)).constData()) == 0;
    QSet<QByteArray> folders{docs};
    for (const NewFile& file : files) {
        const QByteArray target = QFile::encodeName(root + QLatin1Char('/') + file.path);
        const int fd = ::open((target + ".floor").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ok = ok && fd >= 0 &&
             ::write(fd, file.bytes.constData(), file.bytes.size()) == file.bytes.size();
        ok = ::close(fd) == 0 && ok;
        folders.insert(target.left(target.lastIndexOf('/')));
    }
    const int rootFd = ::open(docs.constData(), O_RDONLY);
    ok = ok && ::syncfs(rootFd) == 0;
    ::close(rootFd);
    for (const NewFile& file : files) {
        const QByteArray target = QFile::encodeName(root + QLatin1Char('/') + file.path);
        ok = ok && ::rename((target + ".floor").constData(), target.constData()) == 0;
    }
    for (const QByteArray& folder : folders) {
        const int fd = ::open(folder.constData(), O_RDONLY);
        ok = ok && fd >= 0 && ::fsync(fd) == 0;
        ::close(fd);
    }
    return ok;
}

// The command-line tool, as built beside this program; GLOBALSTAB_CLI names another.
QString commandLineTool()
{
    const QString chosen = qEnvironmentVariable("GLOBALSTAB_CLI");
    return chosen.isEmpty() ? QStringLiteral(GLOBALSTAB_CLI_PATH) : chosen;
}

// What a run of the command-line tool came to: its exit status and its own peak memory.
struct ToolRun
{
    int status = -1; // the exit status; -1 when it did not start or did not exit
    long peakKib = 0;
};

// Runs the command-line tool with its output thrown away (a dry run prints a line for every
// file) and waits for it; the peak is the tool's own, not this process's.
ToolRun runTool(const QStringList& arguments)
{
    std::vector<QByteArray> texts{QFile::encodeName(commandLineTool())};
    for (const QString& argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ToolRun run;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage;
        if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
            run.status = WEXITSTATUS(status);
            run.peakKib = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// Runs one action and prints "<milliseconds> <peak RSS KiB>"; 1 when it did not do its work.
int runChild(const ChildArgs& args)
{
    const QString projectFolder = args.root + QStringLiteral("/Docs/") + args.project;
    const QString setPath = projectFolder + QStringLiteral("/PX_BookCategories.xml");
    QElapsedTimer timer;
    bool done = false;
    long toolPeakKib = 0; // the peak of the command-line tool, for its kinds
    QStringList expected; // the messages the action shows when it works
    std::optional<Tab> tab;
    if (args.kind.startsWith(QLatin1String("category-")) ||
        args.kind == QLatin1String("project-rename"))
        tab.emplace(args.root, args.project);
    const auto tag = [](const QString& name) { return "<CategoryName>" + name.toUtf8() + '<'; };
    const auto start = [&] {
        // A user acts on a panel that was painted: the paint that showing it leads to is
        // not part of the next action.
        QCoreApplication::processEvents();
        flushFileSystem(args.root);
        if (tab)
            tab->dialogs->start();
        timer.start();
    };

    if (args.kind == QLatin1String("category-show")) {
        start();
        done = tab->pick("Edit", QStringLiteral("Hierarchical Category"));
    } else if (args.kind == QLatin1String("category-add")) {
        tab->pick("Add", QStringLiteral("Hierarchical Category"));
        start();
        tab->type("txtCategoryName", QStringLiteral("Added Category"));
        tab->click("cmdApplyAddEditCate");
        done = readFile(setPath).contains(tag(QStringLiteral("Added Category")));
    } else if (args.kind == QLatin1String("category-rename")) {
        tab->pick("Edit", QStringLiteral("Hierarchical Category"));
        start();
        done = tab->clickItem("lstAvaBookCategories", args.category);
        tab->type("txtCategoryName", QStringLiteral("Renamed Category"));
        tab->click("cmdApplyAddEditCate");
        const QByteArray set = readFile(setPath);
        done = done && set.contains(tag(QStringLiteral("Renamed Category"))) &&
               !set.contains(tag(args.category));
    } else if (args.kind == QLatin1String("category-delete")) {
        tab->pick("Edit", QStringLiteral("Hierarchical Category"));
        start();
        done = tab->clickItem("lstAvaBookCategories", args.category);
        tab->click("cmdCategoryDelete");
        done = done && !readFile(setPath).contains(tag(args.category));
        expected << QStringLiteral("Are you sure you want to Delete ?");
    } else if (args.kind == QLatin1String("project-rename")) {
        tab->widget<QLineEdit>("txtProjectName")->setText(NewProjectName);
        tab->widget<QLineEdit>("txtProjectID")->setText(QStringLiteral("SP2"));
        tab->widget<QLineEdit>("txtPrjoectRank")->setText(QStringLiteral("10"));
        tab->widget<QPushButton>("cmdProjectNameApply")->setFocus();
        start();
        tab->click("cmdProjectNameApply");
        done = QDir(args.root + QStringLiteral("/Docs/") + NewProjectName).exists() &&
               !QDir(projectFolder).exists();
        expected << QStringLiteral("Applied the project information");
    } else if (args.kind == QLatin1String("category-floor") ||
               args.kind == QLatin1String("work-rename") ||
               args.kind == QLatin1String("work-delete")) {
        // The floor; and the least document work a rename and a delete must do besides:
        // a rename writes the table of contents as well, a delete reads every book too.
        const QString tocPath = projectFolder + QStringLiteral("/PX_TOC.xml");
        start();
        TableOfContents toc;
        CategorySet set;
        done = toc.load(tocPath) && set.load(setPath);
        if (args.kind == QLatin1String("work-delete")) {
            QStringList books;
            for (const TableOfContents::Book& book : toc.books())
                if (book.file.contains(QLatin1String(".XML")))
                    books << projectFolder + QLatin1Char('/') + book.folder + QLatin1Char('/') +
                                 book.file;
            const auto read =
                DocumentCache::inspect(books, [](const XmlDocument&) { return true; });
            done = done && std::all_of(read.begin(), read.end(), [](DocumentCache::Inspected seen) {
                       return seen == DocumentCache::Inspected::Yes;
                   });
        }
        if (args.kind == QLatin1String("category-floor")) {
            set.save(setPath);
        } else {
            WriteBatch together; // durable together, as an action's saves are
            set.save(setPath);
            toc.save(tocPath);
        }
    } else if (args.kind == QLatin1String("cli-rename") ||
               args.kind == QLatin1String("cli-dry-run")) {
        // The same rename as the panel's, from a shell: a process of its own, timed from its
        // start to its end, with its own peak memory.
        const bool dry = args.kind == QLatin1String("cli-dry-run");
        QStringList arguments{QStringLiteral("--data-root"), args.root};
        if (dry)
            arguments << QStringLiteral("--dry-run");
        arguments << QStringLiteral("rename-project") << args.project << NewProjectName
                  << QStringLiteral("--id") << QStringLiteral("SP2") << QStringLiteral("--rank")
                  << QStringLiteral("10");
        start();
        const ToolRun run = runTool(arguments);
        toolPeakKib = run.peakKib;
        const bool moved = QDir(args.root + QStringLiteral("/Docs/") + NewProjectName).exists() &&
                           !QDir(projectFolder).exists();
        done = run.status == 0 && moved != dry;
        if (run.status != 0)
            std::fprintf(stderr, "%s exited with %d\n", qPrintable(commandLineTool()), run.status);
    } else if (args.kind == QLatin1String("rename-floor")) {
        const QList<NewFile> files = renamedFiles(args);
        start();
        done = !files.isEmpty() && writeRenamedFiles(args.root, args.project, files);
    } else {
        std::fprintf(stderr, "unknown measurement %s\n", qPrintable(args.kind));
        return 2;
    }
    QCoreApplication::processEvents();
    const double ms = double(timer.nsecsElapsed()) / 1e6;

    if (tab && tab->dialogs->shown != expected) {
        std::fprintf(stderr, "%s showed: %s\n", qPrintable(args.kind),
                     qPrintable(tab->dialogs->shown.join(QStringLiteral(" | "))));
        done = false;
    }
    if (!done) {
        std::fprintf(stderr, "%s did not do its work on %s\n", qPrintable(args.kind),
                     qPrintable(args.root));
        return 1;
    }
    if (tab)
        tab->dialogs->responsive();
    std::printf("%.3f %ld %.3f\n", ms, toolPeakKib > 0 ? toolPeakKib : peakRssKib(),
                tab ? tab->dialogs->longestPauseMs : ms);
    return 0;
}

// ---- the runs, in the parent process --------------------------------------------------

struct Size
{
    QString label;
    DataShape shape;
    int runs; // the median of these
    QStringList scenarios;
    QString floor;
    double allowed;     // 0: shown, not judged
    bool quick = false; // one of the sizes of --quick
};

struct Result
{
    double ms = 0;
    long peakKib = 0;
    double longestPauseMs = 0; // without a progress update or a message
};

class Runner
{
public:
    explicit Runner(const QString& workDir, int settleSeconds)
        : m_work(workDir), m_settleSeconds(settleSeconds)
    {
        m_sinceRemoval.start();
    }

    bool failed = false;

    // Removes a copy. Its files count as removed until the next measurement has waited.
    void remove(const QString& root)
    {
        std::filesystem::remove_all(root.toStdString());
        m_sinceRemoval.start();
    }

    // A fresh copy of the template, flushed so that the measurement does not pay for it.
    QString freshCopy(const QString& from)
    {
        const QString copy = m_work + QStringLiteral("/run%1").arg(m_copies++);
        std::filesystem::copy(from.toStdString(), copy.toStdString(),
                              std::filesystem::copy_options::recursive);
        flush();
        return copy;
    }
    void flush() const { flushFileSystem(m_work); }

    std::optional<Result> measure(const QString& kind, const QString& root, const Size& size,
                                  const QString& reference = QString())
    {
        // The child's arguments: --child kind root project category [reference].
        const QStringList args{QStringLiteral("--child"),
                               kind,
                               root,
                               size.shape.projectName,
                               categoryName(size.shape.categories / 2),
                               reference};
        // ext4 without a journal passes over the inodes freed in the last minute when it
        // creates a file: a measurement right after thousands were freed (a copy removed, a
        // rename's files replaced) pays for it in every file it creates.
        const qint64 wait = qint64(m_settleSeconds) * 1000 - m_sinceRemoval.elapsed();
        if (wait > 0)
            QThread::msleep(ulong(wait));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), args);
        child.waitForFinished(-1);
        // A rename frees the files it replaced, the floor as well.
        m_sinceRemoval.start();
        const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
            out.size() != 3) {
            std::fprintf(stderr, "%s at %s failed (%s %d):\n%s\n", qPrintable(kind),
                         qPrintable(size.label),
                         child.exitStatus() == QProcess::NormalExit ? "exit" : "crash",
                         child.exitCode(), child.readAllStandardError().constData());
            failed = true;
            return std::nullopt;
        }
        return Result{out[0].toDouble(), out[1].toLong(), out[2].toDouble()};
    }

    // The median of the runs of each measurement (the action, its floor, ...), each run on
    // a copy of its own; a run measures each in turn, so that they share the disk's moods.
    std::optional<std::vector<Result>> medians(const QStringList& kinds, const QString& base,
                                               const Size& size, const QString& reference)
    {
        std::vector<std::vector<Result>> results(size_t(kinds.size()));
        for (int run = 0; run < size.runs; ++run) {
            // Each run starts with the next kind: none is always the one after a removal of
            // thousands of files, which the file system is still busy with.
            for (qsizetype i = 0; i < kinds.size(); ++i) {
                const qsizetype k = (i + run) % kinds.size();
                const QString root = freshCopy(base);
                const auto result = measure(kinds.at(k), root, size, reference);
                remove(root);
                if (!result)
                    return std::nullopt;
                results[size_t(k)].push_back(*result);
            }
        }
        std::vector<Result> middle;
        for (std::vector<Result>& runs : results) {
            std::sort(runs.begin(), runs.end(),
                      [](const Result& a, const Result& b) { return a.ms < b.ms; });
            middle.push_back(runs[runs.size() / 2]);
        }
        return middle;
    }

private:
    QString m_work;
    int m_copies = 0;
    int m_settleSeconds = 0;
    QElapsedTimer m_sinceRemoval;
};

QString fileSystemName(const QString& path)
{
    struct statfs info;
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("unknown");
    static const std::map<long, const char*> names = {
        {0xEF53, "ext4"}, {0x01021994, "tmpfs"}, {0x58465342, "xfs"}, {0x9123683E, "btrfs"}};
    const auto found = names.find(long(info.f_type));
    return found != names.end() ? QString::fromLatin1(found->second)
                                : QStringLiteral("0x%1").arg(ulong(info.f_type), 0, 16);
}

int runAll(const QStringList& arguments)
{
    const bool quick = arguments.contains(QStringLiteral("--quick"));
    const auto value = [&](const char* option) {
        const qsizetype at = arguments.indexOf(QLatin1String(option));
        return at >= 0 ? arguments.value(at + 1) : QString();
    };
    const QString only = value("--scenario");
    const QStringList categoryScenarios{
        QStringLiteral("category-show"), QStringLiteral("category-add"),
        QStringLiteral("category-rename"), QStringLiteral("category-delete")};
    const QString floorC = QStringLiteral("category-floor");
    const QString floorR = QStringLiteral("rename-floor");
    const auto shape = [](int categories, int books, int pages) {
        DataShape made;
        made.categories = categories;
        made.books = books;
        made.pages = pages;
        return made;
    };
    const QString tabRename = QStringLiteral("project-rename");
    const QString cliRename = QStringLiteral("cli-rename");
    const QString cliDryRun = QStringLiteral("cli-dry-run");
    const QStringList rename{tabRename};
    // Projects shaped like the samples, one page a book: the panel's rename and the command
    // line's, each against the floor of the same run.
    const QStringList bothRenames{tabRename, cliRename};
    std::vector<Size> sizes = {
        {QStringLiteral("30 cat/300 books"), shape(30, 300, 0), 3, categoryScenarios, floorC, 2.0,
         true},
        {QStringLiteral("300 cat/3000 books"), shape(300, 3000, 0), 1, categoryScenarios, floorC,
         2.0},
        {QStringLiteral("2000 pages"), shape(10, 20, 2000), 3, rename, floorR, 1.5, true},
        {QStringLiteral("20000 pages"), shape(30, 200, 20000), 1, rename, floorR, 0},
        {QStringLiteral("3000 books"), shape(300, 3000, 3000), 3, bothRenames, floorR, 1.5},
        {QStringLiteral("10000 books"), shape(1000, 10000, 10000), 3, bothRenames, floorR, 1.5},
        // The largest sizes once each, for their memory above all.
        {QStringLiteral("30000 books"), shape(3000, 30000, 30000), 1,
         bothRenames + QStringList{cliDryRun}, floorR, 0},
        {QStringLiteral("3000 cat/30000 books"), shape(3000, 30000, 0), 1, categoryScenarios,
         floorC, 2.0},
    };
    if (quick)
        std::erase_if(sizes, [](const Size& size) { return !size.quick; });
    // A noisy disk wants more runs; each size then takes the median of that many.
    const int runs = value("--runs").toInt();
    for (Size& size : sizes) {
        size.runs = runs > 0 ? runs : size.runs;
        size.scenarios.removeIf([&](const QString& name) { return !name.startsWith(only); });
    }
    const QStringList onlySizes = value("--size").split(QLatin1Char(','), Qt::SkipEmptyParts);
    std::erase_if(sizes, [&](const Size& size) {
        return size.scenarios.isEmpty() ||
               (!onlySizes.isEmpty() && !onlySizes.contains(size.label));
    });
    if (sizes.empty()) {
        std::fprintf(stderr, "no size %s has a scenario called %s\n",
                     qPrintable(onlySizes.join(QLatin1Char(','))), qPrintable(only));
        return 2;
    }

    const QString workParent =
        value("--work-dir").isEmpty() ? QDir::tempPath() : value("--work-dir");
    QTemporaryDir work(workParent + QStringLiteral("/globalstab-scale-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot create a work folder in %s\n", qPrintable(workParent));
        return 1;
    }
    const QString fs = fileSystemName(work.path());
    std::printf("Work folder %s on %s%s\n", qPrintable(work.path()), qPrintable(fs),
                fs == QLatin1String("tmpfs") ? " (in memory: fsync costs nothing there, so the "
                                               "floors are lower than on a disk)"
                                             : "");
    if (const int settle = value("--settle").toInt(); settle > 0)
        std::printf("At least %d s between a removal of files and each measurement.\n", settle);
    if (runs > 0)
        std::printf("Median of %d runs at every size.\n\n", runs);
    else
        std::printf("Median of 3 runs at the smaller sizes, 1 run at the largest.\n\n");

    std::printf("%-16s %-20s %11s %11s %7s %8s  %-6s %s\n", "scenario", "size", "action ms",
                "floor ms", "ratio", "allowed", "result", "its own work (ms, ratio)");
    Runner runner(work.path(), value("--settle").toInt());
    // Every rename measured, for the summary below the table.
    struct RenameRow
    {
        QString kind;
        DataShape shape;
        Result result;
    };
    std::vector<RenameRow> renames;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Size& size = sizes[i];
        const QString base = work.path() + QStringLiteral("/template%1").arg(i);
        if (!generateDataRoot(base, size.shape)) {
            std::fprintf(stderr, "could not generate %s\n", qPrintable(base));
            return 1;
        }
        runner.flush();
        // The files a rename ends with, from one run of it beforehand on a copy of its own.
        QString reference;
        if (size.floor == floorR) {
            reference = runner.freshCopy(base);
            const QString maker = size.scenarios.contains(tabRename) ? tabRename : cliRename;
            if (!runner.measure(maker, reference, size))
                continue;
        }
        // The renames of a size share one floor and every run measures them all in turn, so
        // that they meet the same moods of the disk; each category action has its own.
        QList<QStringList> groups;
        if (size.floor == floorR)
            groups << size.scenarios;
        else
            for (const QString& scenario : size.scenarios)
                groups << QStringList{scenario};
        for (const QStringList& group : groups) {
            // A rename and a delete must do more than the floor; how much more is shown
            // beside the verdict, which stays against the floor.
            QStringList kinds = group;
            kinds << size.floor;
            if (group == QStringList{QStringLiteral("category-rename")})
                kinds << QStringLiteral("work-rename");
            else if (group == QStringList{QStringLiteral("category-delete")})
                kinds << QStringLiteral("work-delete");
            const auto result = runner.medians(kinds, base, size, reference);
            if (!result)
                continue;
            const Result& floor = result->at(size_t(group.size()));
            for (qsizetype k = 0; k < group.size(); ++k) {
                const QString& scenario = group.at(k);
                const Result& action = result->at(size_t(k));
                const double ratio = action.ms / floor.ms;
                // A dry run writes nothing: the floor is shown beside it, not held against it.
                const double allowed = scenario == cliDryRun ? 0 : size.allowed;
                const QString shown = allowed > 0 ? QString::number(allowed, 'f', 1) : "-";
                const char* verdict = allowed <= 0 ? "-" : ratio <= allowed ? "PASS" : "OVER";
                const QString work = result->size() > size_t(group.size()) + 1
                                         ? QStringLiteral("%1 ms, ratio %2")
                                               .arg(result->back().ms, 0, 'f', 1)
                                               .arg(action.ms / result->back().ms, 0, 'f', 2)
                                         : QString();
                std::printf("%-16s %-20s %11.1f %11.1f %7.2f %8s  %-6s %s\n", qPrintable(scenario),
                            qPrintable(size.label), action.ms, floor.ms, ratio, qPrintable(shown),
                            verdict, qPrintable(work));
                std::fflush(stdout);
                if (size.floor == floorR)
                    renames.push_back({scenario, size.shape, action});
            }
        }
        if (!reference.isEmpty())
            runner.remove(reference);
        runner.remove(base);
    }

    // How the renames grow and what memory they take at the largest sizes.
    if (!renames.empty()) {
        std::printf("\n%-16s %-20s %13s %14s %10s\n", "rename", "size", "ms per page",
                    "longest pause", "peak RSS");
        for (const RenameRow& row : renames) {
            // Only the panel has a window to keep painted.
            const QString pause =
                row.kind == tabRename
                    ? QStringLiteral("%1 ms").arg(row.result.longestPauseMs, 0, 'f', 0)
                    : QStringLiteral("-");
            std::printf(
                "%-16s %-20s %13.3f %14s %6.1f MiB\n", qPrintable(row.kind),
                qPrintable(
                    QStringLiteral("%1 books, %2 pages").arg(row.shape.books).arg(row.shape.pages)),
                row.result.ms / row.shape.pages, qPrintable(pause),
                double(row.result.peakKib) / 1024);
        }
        const auto find = [&](const QString& kind, int books, int pages) -> const Result* {
            for (const RenameRow& row : renames)
                if (row.kind == kind && row.shape.books == books && row.shape.pages == pages)
                    return &row.result;
            return nullptr;
        };
        for (const QString& kind : {tabRename, cliRename}) {
            const Result* small = find(kind, 3000, 3000);
            const Result* large = find(kind, 10000, 10000);
            if (small && large) {
                const double growth = large->ms / small->ms;
                std::printf("%s from 3000 to 10000 books: %.2fx the time (at most 4x: %s)\n",
                            qPrintable(kind), growth, growth <= 4.0 ? "PASS" : "OVER");
            }
        }
        const auto judgeMemory = [&](const QString& kind, int books, int pages, int limitMib) {
            if (const Result* result = find(kind, books, pages))
                std::printf("%s peak at %d books, %d pages: %.1f MiB (limit %d MiB: %s)\n",
                            qPrintable(kind), books, pages, double(result->peakKib) / 1024,
                            limitMib, result->peakKib <= limitMib * 1024 ? "PASS" : "OVER");
        };
        judgeMemory(tabRename, 200, 20000, 64);
        judgeMemory(tabRename, 30000, 30000, 256);
        judgeMemory(cliRename, 30000, 30000, 256);
        if (const Result* dry = find(cliDryRun, 30000, 30000))
            std::printf("%s peak at 30000 books, 30000 pages: %.1f MiB (shown)\n",
                        qPrintable(cliDryRun), double(dry->peakKib) / 1024);
    }
    return runner.failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.value(0) == QLatin1String("--child")) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const ChildArgs args{arguments.value(1), arguments.value(2), arguments.value(3),
                             arguments.value(4), arguments.value(5)};
        return runChild(args);
    }
    bool known = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        if (option == QLatin1String("--scenario") || option == QLatin1String("--work-dir") ||
            option == QLatin1String("--runs") || option == QLatin1String("--size") ||
            option == QLatin1String("--settle"))
            known = known && ++i < arguments.size();
        else
            known = known && option == QLatin1String("--quick");
    }
    if (!known) {
        std::printf("globalstab_scale [--quick] [--scenario NAME] [--size SIZE] [--work-dir DIR] "
                    "[--runs N] [--settle SECONDS]\n"
                    "  NAME: category-show, category-add, category-rename, category-delete, "
                    "project-rename, cli-rename, cli-dry-run, or a prefix of them "
                    "(\"category\", \"cli\")\n"
                    "  SIZE: sizes as the table shows them, separated by commas, e.g. "
                    "\"3000 books,10000 books\"\n"
                    "  SECONDS: the least time between a removal of files and a measurement\n");
        return arguments.contains(QStringLiteral("--help")) ? 0 : 2;
    }
    QCoreApplication app(argc, argv);
    try {
        return runAll(arguments);
    } catch (const std::exception& error) { // a copy or a removal that failed
        std::fprintf(stderr, "globalstab_scale: %s\n", error.what());
        return 1;
    }
}
