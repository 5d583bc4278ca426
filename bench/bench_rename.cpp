// Rename engine figures: the name rule over 100,000 entries, and a rename run over the files
// of one folder against a plain loop of renameat2 calls doing the same renames.
//   bench_rename [files to rename, default 100000] [folder to work in, default the temp folder]

#include "rename/nameforms.h"
#include "rename/namerule.h"
#include "rename/renameengine.h"
#include "rename/renamejournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int rounds = 3;

QString fileName(int i)
{
    return QStringLiteral("IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0'));
}

bool makeFiles(const QString& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const int fd = ::open(QFile::encodeName(folder + fileName(i)).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

double nameRuleMs(int entries, int form)
{
    double best = 1e18;
    for (int round = 0; round < rounds; ++round) {
        renaming::NameInput input{
            QString(), form,    QStringLiteral("vacances"),   QString(),
            4,         entries, QDateTime::currentDateTime(), QDateTime::currentDateTime()};
        qsizetype total = 0;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < entries; ++i) {
            input.name = fileName(i);
            input.number = QString::number(i + 1);
            total += renaming::newName(input).name.size();
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (total == 0)
            std::printf("no names\n");
    }
    return best;
}

// The best whole run, and the part of it spent on the plan (names, check, no change yet),
// in wall-clock and in processor time (user and system): on a busy machine they differ.
double planPart = 0;
double planCpuPart = 0;

double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3) +
           (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
}

double runMs(const QString& base, int files)
{
    double best = 1e18;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir(base + QStringLiteral("/bench-rename-XXXXXX"));
        const QString folder = dir.path() + QLatin1Char('/');
        if (!makeFiles(folder, files))
            return -1;
        QTemporaryDir state(base + QStringLiteral("/bench-state-XXXXXX"));
        QStringList sources;
        for (int i = 0; i < files; ++i)
            sources.append(folder + fileName(i));
        renaming::RenameOptions options;
        options.nameText = QStringLiteral("vacances");
        options.format = renaming::autoStyle;
        ::sync();
        QElapsedTimer timer;
        const double cpuBefore = cpuMs();
        timer.start();
        const renaming::RenamePlan plan =
            renaming::planRename(sources, options, QDateTime::currentDateTime());
        const double planned = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        const double planCpu = cpuMs() - cpuBefore;
        renaming::RenameJournal journal(state.path());
        renaming::RunControls controls;
        controls.journal = &journal;
        const renaming::RunReport report = renaming::runPlan(plan, controls);
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (plan.refused() || !report.complete()) {
            std::printf("run failed\n");
            return -1;
        }
        if (ms < best) {
            planPart = planned;
            planCpuPart = planCpu;
        }
        best = std::min(best, ms);
    }
    return best;
}

double loopMs(const QString& base, int files)
{
    double best = 1e18;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir(base + QStringLiteral("/bench-rename-XXXXXX"));
        const QString folder = dir.path() + QLatin1Char('/');
        if (!makeFiles(folder, files))
            return -1;
        const int width = renaming::numberWidth(renaming::autoStyle, files);
        std::vector<QByteArray> from;
        std::vector<QByteArray> to;
        for (int i = 0; i < files; ++i) {
            from.push_back(QFile::encodeName(folder + fileName(i)));
            to.push_back(QFile::encodeName(folder + QStringLiteral("vacances") +
                                           renaming::numberText(QString::number(i + 1), width) +
                                           QStringLiteral(".JPG")));
        }
        ::sync();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < files; ++i) {
            if (::renameat2(AT_FDCWD, from[static_cast<size_t>(i)].constData(), AT_FDCWD,
                            to[static_cast<size_t>(i)].constData(), RENAME_NOREPLACE) != 0) {
                std::printf("renameat2 failed\n");
                return -1;
            }
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();

    constexpr int entries = 100000;
    std::printf("name rule, %d entries (best of %d):\n", entries, rounds);
    for (int form : {0, 2, 20})
        std::printf("  form %2d: %8.1f ms\n", form, nameRuleMs(entries, form));

    std::printf("renaming %d files in one folder under %s (best of %d):\n", files, qPrintable(base),
                rounds);
    const double run = runMs(base, files);
    const double loop = loopMs(base, files);
    std::printf("  engine (plan, journal, run):  %8.1f ms\n", run);
    std::printf("    of which the plan:           %8.1f ms (processor time %.1f ms)\n", planPart,
                planCpuPart);
    std::printf("  plain loop of renameat2:      %8.1f ms\n", loop);
    std::printf("  ratio run / loop:             %8.2f\n", loop > 0 ? run / loop : 0.0);
    return run < 0 || loop < 0 ? 1 : 0;
}
