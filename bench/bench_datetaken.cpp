// Date-taken figures: the EXIF dates of many camera JPEGs (copies of the sample photos),
// read once with the cache dropped and then warm; the "Nouveau nom" column's names for a
// file-date form over them, by modification time and by date taken; and the column's names
// over 100,000 files by modification time.
//   bench_datetaken [copies, default 10000; 0: only the 100,000 files]
//                   [sample folder, default /work/shared/corpus/jpeg]
//                   [folder to work in, default the temp folder]

#include "imaging/datetaken.h"
#include "imaging/exiv.h"
#include "rename/filetimes.h"
#include "rename/namerule.h"
#include "rename/newnamepreview.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int rounds = 3;

double ms(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The process's processor time, every thread: on a busy machine the wall time adds waiting
// for other work, and the names are made on several threads.
double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3) +
           (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
}

// Drops the copies from the page cache where the system lets us, so the first round reads
// the disk as a freshly inserted card would.
void dropFromCache(const QStringList& paths)
{
    for (const QString& path : paths) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

struct Timing
{
    double wallMs = 1e18;
    double cpuMs = 1e18;
};

// The best of `runs` runs of `work`, wall and processor time apart.
template <typename Work> Timing bestOf(int runs, Work work)
{
    Timing best;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        work();
        best.wallMs = std::min(best.wallMs, ms(timer));
        best.cpuMs = std::min(best.cpuMs, cpuMs() - cpu);
    }
    return best;
}

void report(const char* what, const Timing& timing)
{
    std::printf("  %-58s %8.1f ms (processor %.1f ms)\n", what, timing.wallMs, timing.cpuMs);
}

// The dates taken of `copies` copies of the sample photos, and the column's names from them.
bool photos(int copies, const QString& samples, const QString& base)
{
    const QStringList photos =
        QDir(samples).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG")}, QDir::Files);
    if (photos.isEmpty()) {
        std::printf("no JPEG in %s\n", qPrintable(samples));
        return false;
    }
    QTemporaryDir dir(base + QStringLiteral("/bench-datetaken-XXXXXX"));
    const QString folder = dir.path() + QLatin1Char('/');
    QStringList paths;
    renaming::ColumnRequest request;
    qint64 bytes = 0;
    for (int i = 0; i < copies; ++i) {
        const QString& photo = photos.at(i % photos.size());
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
        if (!QFile::copy(samples + QLatin1Char('/') + photo, folder + name)) {
            std::printf("copy failed\n");
            return false;
        }
        bytes += QFileInfo(folder + name).size();
        paths.append(folder + name);
        request.entries.push_back({folder, name});
    }
    std::printf("%d copies of the %lld sample JPEGs (%.0f MB) in %s\n", copies,
                static_cast<long long>(photos.size()), static_cast<double>(bytes) / 1e6,
                qPrintable(folder));

    int found = 0;
    const auto readAll = [&] {
        found = 0;
        for (const QString& path : paths)
            found += imaging::dateTaken(path).has_value() ? 1 : 0;
    };
    dropFromCache(paths);
    report("dates taken, cache dropped first", bestOf(1, readAll));
    std::printf("  (%d of %d with a date)\n", found, copies);
    report("dates taken, warm (best of 3)", bestOf(rounds, readAll));

    request.options.form = 17; // file date and a number
    request.clock = QDateTime::currentDateTime();
    for (const bool taken : {false, true}) {
        request.options.dateTaken = taken;
        report(taken ? "column names, form 17, by date taken (best of 3)"
                     : "column names, form 17, by modification time (best of 3)",
               bestOf(rounds, [&] { renaming::columnNames(request); }));
    }
    return true;
}

// The column's names over 100,000 entries of one folder with a form reading the files' times.
bool manyFiles(const QString& base)
{
    constexpr int entryCount = 100000;
    QTemporaryDir dir(base + QStringLiteral("/bench-datetaken-XXXXXX"));
    renaming::ColumnRequest request;
    request.options.form = 17;
    request.clock = QDateTime::currentDateTime();
    for (int i = 0; i < entryCount; ++i) {
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
        const int fd = ::open(QFile::encodeName(dir.path() + QLatin1Char('/') + name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::printf("cannot make the files\n");
            return false;
        }
        ::close(fd);
        request.entries.push_back({dir.path() + QLatin1Char('/'), name});
    }
    std::printf("%d empty files in one folder\n", entryCount);
    report("column names, form 17, by modification time (best of 5)",
           bestOf(5, [&] { renaming::columnNames(request); }));
    // The same names made on one thread, each time read in turn: what the column did before.
    report("the same on one thread (best of 5)", bestOf(5, [&] {
               renaming::FileTimes times(false);
               renaming::FileTime time;
               renaming::NameInput input{
                   {}, 17, {}, {}, renaming::autoStyle, entryCount, request.clock, {}};
               qsizetype total = 0;
               for (int i = 0; i < entryCount; ++i) {
                   const WorkEntry& entry = request.entries[static_cast<std::size_t>(i)];
                   if (!times.read(entry.folder, entry.name, &time).ok())
                       continue;
                   input.name = entry.name;
                   input.number = QString::number(i + 1);
                   input.fileTime = time.wallClock;
                   total += renaming::newName(input).name.size();
               }
               if (total == 0)
                   std::printf("no names\n");
           }));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(0, std::atoi(argv[1])) : 10000;
    const QString samples =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/work/shared/corpus/jpeg");
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    imaging::initializeExiv2();
    if (copies > 0 && !photos(copies, samples, base))
        return 1;
    return manyFiles(base) ? 0 : 1;
}
