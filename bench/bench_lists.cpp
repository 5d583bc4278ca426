// Listing, filtering and adding a folder of 100,000 files to the work list; walking and
// adding a tree of 100,000 pictures (a drop, "Ajouter un dossier et ses sous-dossiers…").
#include "lists/browsepanel.h"
#include "lists/folderlisting.h"
#include "lists/folderwalk.h"
#include "lists/listscontroller.h"
#include "lists/worklist.h"
#include "lists/worklistmodel.h"
#include "lists/worklistpanel.h"
#include "rename/newnamepreview.h"
#include "services/dialogs.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int fileCount = 100000;

struct Timing
{
    double wallMs = 1e300;
    double cpuMs = 1e300;
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Best of `runs`: the figures least disturbed by other work on the machine. The thread's CPU
// time is the engine's own cost; the wall time adds waiting for the disk and for other
// processes.
Timing bestOf(int runs, const std::function<void()>& setUp, const std::function<void()>& work)
{
    Timing best;
    for (int run = 0; run < runs; ++run) {
        if (setUp)
            setUp();
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        work();
        best.wallMs = std::min(best.wallMs, double(timer.nsecsElapsed()) / 1e6);
        best.cpuMs = std::min(best.cpuMs, threadCpuMs() - cpuStart);
    }
    return best;
}

void report(const char* what, Timing timing)
{
    std::printf("%-58s %8.1f ms cpu %8.1f ms wall\n", what, timing.cpuMs, timing.wallMs);
}

// Answers nothing: the benchmark's tree has no unreadable folder.
class SilentDialogs : public Dialogs
{
public:
    bool askOkCancel(const QString&, const QString&, DialogIcon) override { return false; }
    void message(const QString&, const QString&, DialogIcon) override { ++messages; }
    std::optional<QString> pickFolder(const QString&) override { return std::nullopt; }
    int messages = 0;
};

// 100 folders of 1,000 pictures (one level down in ten groups), plus a hidden folder.
bool makeTree(const QString& root)
{
    const QByteArray base = QFile::encodeName(root) + '/';
    for (int group = 0; group < 10; ++group) {
        for (int folder = 0; folder < 10; ++folder) {
            const QByteArray dir =
                base + "g" + QByteArray::number(group) + "/f" + QByteArray::number(folder) + '/';
            if (!QDir().mkpath(QFile::decodeName(dir)))
                return false;
            for (int i = 0; i < fileCount / 100; ++i) {
                const QByteArray path = dir + "IMG_" + QByteArray::number(i) + ".JPG";
                const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
                if (fd < 0)
                    return false;
                ::close(fd);
            }
        }
    }
    return QDir().mkpath(QFile::decodeName(base + ".hidden"));
}

// A tree of 100,000 pictures: the walk (worker thread), the addition (window's thread) and,
// through the controller, the time until the list shows them and the longest time the
// window's event loop was kept waiting meanwhile.
int benchTree()
{
    QTemporaryDir tree;
    if (!tree.isValid() || !makeTree(tree.path()))
        return 1;
    std::printf("\ntree of %d pictures in 100 folders\n", fileCount);
    lists::FolderWalk walk;
    report("walk + filter \"Tous fichiers Image\" (worker thread)",
           bestOf(5, {}, [&] { walk = lists::walkFolder(tree.path(), 0); }));
    if (walk.fileCount() != fileCount || !walk.unreadable.empty()) {
        std::printf("walk gave %lld files\n", qlonglong(walk.fileCount()));
        return 1;
    }
    std::vector<WorkList::PreparedFolder> prepared;
    report("identities of the files for the duplicate rule (worker)", bestOf(3, {}, [&] {
               prepared.clear();
               for (const lists::FolderFiles& folder : walk.folders)
                   prepared.push_back(WorkList::prepare(folder.folder, folder.names));
           }));
    WorkListPanel work;
    work.show();
    report("work-list panel: add the tree (window's thread)",
           bestOf(
               3, [&] { work.videLV2(); }, [&] { work.ajouter(prepared); }));
    report("work-list panel: add the tree again (all duplicates)",
           bestOf(3, {}, [&] { work.ajouter(prepared); }));

    BrowsePanel browse;
    browse.fillTypeFilter();
    SilentDialogs dialogs;
    QTemporaryDir settingsDir;
    SettingsStore settings(settingsDir.filePath(QStringLiteral("Morvane.ini")));
    PreviewController preview(&settings, &dialogs, browse.previewBox(), browse.previewSource(),
                              ListsController::browseListAccess(&browse),
                              ListsController::workListAccess(&work));
    ListsController controller(&browse, &work, &preview, &dialogs);
    Timing untilShown;
    double longestWaitMs = 0;
    for (int run = 0; run < 3; ++run) {
        work.videLV2();
        QEventLoop loop;
        QObject::connect(&controller, &ListsController::additionFinished, &loop, &QEventLoop::quit);
        // A 5 ms tick: the gaps between ticks are how long the window could not answer.
        QTimer tick;
        tick.setInterval(5);
        QElapsedTimer sinceTick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestWaitMs = std::max(longestWaitMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        QElapsedTimer timer;
        const double cpuStart = threadCpuMs();
        timer.start();
        sinceTick.start();
        tick.start();
        controller.ajouterChemins({tree.path()});
        loop.exec();
        untilShown.wallMs = std::min(untilShown.wallMs, double(timer.nsecsElapsed()) / 1e6);
        untilShown.cpuMs = std::min(untilShown.cpuMs, threadCpuMs() - cpuStart);
    }
    if (work.workList().count() != fileCount || dialogs.messages != 0) {
        std::printf("the controller added %d files\n", work.workList().count());
        return 1;
    }
    report("drop of the tree until listed (window's thread cpu)", untilShown);
    std::printf("%-58s %8.1f ms\n", "longest wait of the window's event loop meanwhile",
                longestWaitMs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // 90% pictures in several types and letter cases, 10% other files.
    const char* endings[] = {".JPG", ".jpg", ".jpeg", ".png", ".bmp",
                             ".gif", ".TIF", ".ico",  ".JPG", ".txt"};
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    for (int i = 0; i < fileCount; ++i) {
        const QByteArray path = base + "IMG_" + QByteArray::number(i) + endings[i % 10];
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return 1;
        ::close(fd);
    }
    std::printf("folder of %d files (%d pictures), best of 5 runs\n", fileCount,
                fileCount * 9 / 10);

    lists::FolderListing all;
    report("list + filter \"Tous fichiers Image\" (90,000 names, sorted)",
           bestOf(5, {}, [&] { all = lists::listFolder(dir.path(), 0); }));
    lists::FolderListing jpg;
    report("list + filter \"JPG/JPEG\" (20,000 names)",
           bestOf(5, {}, [&] { jpg = lists::listFolder(dir.path(), 3); }));
    QStringList reference;
    report("for comparison: QDir::entryList with the same patterns", bestOf(5, {}, [&] {
               reference = QDir(dir.path())
                               .entryList({QStringLiteral("*.BMP"), QStringLiteral("*.GIF"),
                                           QStringLiteral("*.JPG"), QStringLiteral("*.JPEG"),
                                           QStringLiteral("*.ICO"), QStringLiteral("*.PNG"),
                                           QStringLiteral("*.TIFF"), QStringLiteral("*.TIF")},
                                          QDir::Files, QDir::Name | QDir::IgnoreCase);
           }));
    if (all.names.size() != reference.size()) {
        std::printf("listing disagrees with QDir: %lld vs %lld\n", qlonglong(all.names.size()),
                    qlonglong(reference.size()));
        return 1;
    }

    WorkList list;
    int added = 0;
    report("work list: add 90,000 files to an empty list",
           bestOf(
               5, [&] { list.clear(); }, [&] { added = list.add(dir.path(), all.names); }));
    int again = -1;
    report("work list: add the same 90,000 again (all duplicates)",
           bestOf(5, {}, [&] { again = list.add(dir.path(), all.names); }));
    if (added != int(all.names.size()) || again != 0 || !list.isConsistent()) {
        std::printf("work list gave wrong results: %d added, %d on the second pass\n", added,
                    again);
        return 1;
    }
    report("work list: remove the first entry (index rebuilt)",
           bestOf(5, {}, [&] { list.remove(0); }));

    // The same through the panels, views included (models reset, rows laid out lazily).
    {
        BrowsePanel browse;
        WorkListPanel work;
        browse.fillTypeFilter();
        browse.show();
        work.show();
        report("browse panel: folder change to the 100,000-file folder",
               bestOf(
                   3, [&] { browse.setFolder(QDir::tempPath()); },
                   [&] { browse.setFolder(dir.path()); }));
        report("work-list panel: add all (empty list, view rebuilt)",
               bestOf(
                   3, [&] { work.videLV2(); },
                   [&] { work.ajouter(browse.folder(), browse.names()); }));
        report("work-list panel: add all again (all duplicates)",
               bestOf(3, {}, [&] { work.ajouter(browse.folder(), browse.names()); }));
    }
    // The browse panel's file-system model is gone with its pending work: the figures below
    // are the column's own.
    QCoreApplication::processEvents();

    // The "Nouveau nom" column over every file of the folder.
    QStringList everyName;
    for (int i = 0; i < fileCount; ++i)
        everyName.append(u"IMG_"_qs + QString::number(i) + QLatin1String(endings[i % 10]));
    WorkListPanel column;
    column.show();
    column.ajouter(dir.path() + u'/', everyName);
    renaming::ColumnRequest request;
    request.entries = column.workList().entries();
    request.clock = QDateTime::currentDateTime();
    std::printf("\n\"Nouveau nom\" column, %d entries in one folder\n",
                int(request.entries.size()));
    renaming::ColumnNames names;
    report("names, \"Remplace par Texte\" (window's thread)",
           bestOf(5, {}, [&] { names = renaming::columnNames(request); }));
    report("marks: lstat of every target, names given twice (worker)", bestOf(3, {}, [&] {
               renaming::ColumnNames marked = names;
               renaming::markNames(request, marked);
           }));
    renaming::ColumnRequest byFileTime = request;
    byFileTime.options.form = 17; // the file's date and a number: reads every file's time
    report("names, a form reading the files' times (worker)",
           bestOf(3, {}, [&] { names = renaming::columnNames(byFileTime); }));
    renaming::ColumnRequest conversion = request;
    conversion.conversion = true;
    conversion.format = convert::outputFormatAt(3);
    report("output names of the conversion to PNG (window's thread)",
           bestOf(5, {}, [&] { names = renaming::columnNames(conversion); }));
    report("marks of the conversion: outputs given twice (worker)", bestOf(3, {}, [&] {
               renaming::ColumnNames marked = names;
               renaming::markNames(conversion, marked);
           }));

    // Through the model and its view: what the window's thread spends on one refresh (the
    // request copied, the names made and shown), then the time until the marks are shown.
    int form = renaming::textForm;
    renaming::NewNamePreview preview(column.model(), [&] {
        renaming::ColumnRequest next;
        next.entries = column.workList().entries();
        next.options.form = form;
        next.clock = QDateTime::currentDateTime();
        return next;
    });
    QEventLoop loop;
    QObject::connect(&preview, &renaming::NewNamePreview::marksShown, &loop, &QEventLoop::quit);
    Timing windowThread;
    Timing untilMarks;
    for (int run = 0; run < 3; ++run) {
        form = form == renaming::textForm ? 11 : renaming::textForm;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        preview.refresh();
        windowThread.wallMs = std::min(windowThread.wallMs, double(timer.nsecsElapsed()) / 1e6);
        windowThread.cpuMs = std::min(windowThread.cpuMs, threadCpuMs() - cpuStart);
        loop.exec();
        untilMarks.wallMs = std::min(untilMarks.wallMs, double(timer.nsecsElapsed()) / 1e6);
        untilMarks.cpuMs = std::min(untilMarks.cpuMs, threadCpuMs() - cpuStart);
    }
    report("column refresh: the window's thread busy (best of 3)", windowThread);
    report("column refresh: until the marks are shown", untilMarks);
    return benchTree();
}
