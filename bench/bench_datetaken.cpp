// Date-taken figures: the EXIF dates of many camera JPEGs (copies of the sample photos),
// read once with a cold-ish cache and then warm; and the "Nouveau nom" column's names for a
// file-date form, by modification time and by date taken.
//   bench_datetaken [copies, default 10000] [sample folder, default /work/shared/corpus/jpeg]
//                   [folder to work in, default the temp folder]

#include "imaging/datetaken.h"
#include "imaging/exiv.h"
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
#include <time.h>
#include <unistd.h>

namespace {

constexpr int rounds = 3;

double ms(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The thread's processor time: on a busy machine the wall time adds waiting for other work.
double cpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const QString samples =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("/work/shared/corpus/jpeg");
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    imaging::initializeExiv2();

    const QStringList photos =
        QDir(samples).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG")}, QDir::Files);
    if (photos.isEmpty()) {
        std::printf("no JPEG in %s\n", qPrintable(samples));
        return 1;
    }
    QTemporaryDir dir(base + QStringLiteral("/bench-datetaken-XXXXXX"));
    const QString folder = dir.path() + QLatin1Char('/');
    QStringList paths;
    std::vector<WorkEntry> entries;
    qint64 bytes = 0;
    for (int i = 0; i < copies; ++i) {
        const QString& photo = photos.at(i % photos.size());
        const QString name = QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
        if (!QFile::copy(samples + QLatin1Char('/') + photo, folder + name)) {
            std::printf("copy failed\n");
            return 1;
        }
        bytes += QFileInfo(folder + name).size();
        paths.append(folder + name);
        entries.push_back({folder, name});
    }
    std::printf("%d copies of %lld sample JPEGs (%.0f MB) in %s\n", copies,
                static_cast<long long>(photos.size()), static_cast<double>(bytes) / 1e6,
                qPrintable(folder));

    int found = 0;
    const auto readAll = [&] {
        found = 0;
        for (const QString& path : paths)
            found += imaging::dateTaken(path).has_value() ? 1 : 0;
    };
    dropFromCache(paths);
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuMs();
    readAll();
    std::printf("dates taken, cache dropped:      %8.1f ms (processor %.1f ms; %d of %d with a "
                "date)\n",
                ms(timer), cpuMs() - cpu, found, copies);
    double best = 1e18;
    double bestCpu = 1e18;
    for (int round = 0; round < rounds; ++round) {
        timer.restart();
        cpu = cpuMs();
        readAll();
        best = std::min(best, ms(timer));
        bestCpu = std::min(bestCpu, cpuMs() - cpu);
    }
    std::printf("dates taken, warm (best of %d):  %8.1f ms (processor %.1f ms)\n", rounds, best,
                bestCpu);

    renaming::ColumnRequest request;
    request.entries = entries;
    request.options.form = 17; // file date and a number
    request.clock = QDateTime::currentDateTime();
    for (const bool taken : {false, true}) {
        request.options.dateTaken = taken;
        best = 1e18;
        bestCpu = 1e18;
        for (int round = 0; round < rounds; ++round) {
            timer.restart();
            cpu = cpuMs();
            const renaming::ColumnNames names = renaming::columnNames(request);
            best = std::min(best, ms(timer));
            bestCpu = std::min(bestCpu, cpuMs() - cpu);
            if (names.names.front().isEmpty())
                std::printf("no name\n");
        }
        std::printf("column names, form 17, %s (best of %d): %8.1f ms (processor %.1f ms)\n",
                    taken ? "date taken" : "modification time", rounds, best, bestCpu);
    }
    return 0;
}
