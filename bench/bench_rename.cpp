// Rename engine figures: the name rule over 100,000 entries, and a rename run over the files
// of one folder against a plain loop of renameat2 calls doing the same renames.
//   bench_rename [files to rename, default 100000] [folder to work in, default the temp folder]
//                [rounds, default 5]

#include "rename/nameforms.h"
#include "rename/namerule.h"
#include "rename/renameengine.h"
#include "rename/renamejournal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int rounds = 5;

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

// Wall-clock and processor time (user and system) of one measure, and the page faults: on a
// busy machine wall and processor time differ, and the processor time is the steadier.
struct Figures
{
    double wall = 0;
    double cpu = 0;
    long faults = 0;
};

Figures usageNow()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {0,
            (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3) +
                (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3),
            usage.ru_minflt + usage.ru_majflt};
}

class Stopwatch
{
public:
    Stopwatch() : m_start(usageNow()) { m_timer.start(); }
    Figures elapsed() const
    {
        const Figures now = usageNow();
        return {static_cast<double>(m_timer.nsecsElapsed()) / 1e6, now.cpu - m_start.cpu,
                now.faults - m_start.faults};
    }

private:
    QElapsedTimer m_timer;
    Figures m_start;
};

// The whole run of the engine (plan with its check, journal, renames) and the plan's part.
struct EngineFigures
{
    Figures run;
    Figures plan;
    qint64 journalBytes = 0;
};

std::optional<EngineFigures> engineRound(const QString& base, int files)
{
    QTemporaryDir dir(base + QStringLiteral("/bench-rename-XXXXXX"));
    const QString folder = dir.path() + QLatin1Char('/');
    if (!makeFiles(folder, files))
        return std::nullopt;
    QTemporaryDir state(base + QStringLiteral("/bench-state-XXXXXX"));
    QStringList sources;
    for (int i = 0; i < files; ++i)
        sources.append(folder + fileName(i));
    renaming::RenameOptions options;
    options.nameText = QStringLiteral("vacances");
    options.format = renaming::autoStyle;
    ::sync();
    EngineFigures figures;
    const Stopwatch watch;
    const renaming::RenamePlan plan =
        renaming::planRename(sources, options, QDateTime::currentDateTime());
    figures.plan = watch.elapsed();
    renaming::RenameJournal journal(state.path());
    renaming::RunControls controls;
    controls.journal = &journal;
    const renaming::RunReport report = renaming::runPlan(plan, controls);
    figures.run = watch.elapsed();
    figures.journalBytes = QFileInfo(journal.path()).size();
    if (plan.refused() || !report.complete())
        return std::nullopt;
    return figures;
}

std::optional<Figures> loopRound(const QString& base, int files)
{
    QTemporaryDir dir(base + QStringLiteral("/bench-rename-XXXXXX"));
    const QString folder = dir.path() + QLatin1Char('/');
    if (!makeFiles(folder, files))
        return std::nullopt;
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
    const Stopwatch watch;
    for (int i = 0; i < files; ++i) {
        if (::renameat2(AT_FDCWD, from[static_cast<size_t>(i)].constData(), AT_FDCWD,
                        to[static_cast<size_t>(i)].constData(), RENAME_NOREPLACE) != 0)
            return std::nullopt;
    }
    return watch.elapsed();
}

// The rounds of one figure: median, best and worst.
class Summary
{
public:
    void add(double value) { m_values.push_back(value); }
    double median() const { return at(m_values.size() / 2); }
    double best() const { return at(0); }
    double worst() const { return at(m_values.size() - 1); }
    void print(const char* what, const char* unit) const
    {
        std::printf("  %-22s median %8.2f %s, best %8.2f, worst %8.2f\n", what, median(), unit,
                    best(), worst());
    }

private:
    double at(std::size_t i) const
    {
        std::vector<double> sorted = m_values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : sorted[i];
    }
    std::vector<double> m_values;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const QString base = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    if (argc > 3)
        rounds = std::max(1, std::atoi(argv[3]));

    constexpr int entries = 100000;
    std::printf("name rule, %d entries (best of %d):\n", entries, rounds);
    for (int form : {0, 2, 20})
        std::printf("  form %2d: %8.1f ms\n", form, nameRuleMs(entries, form));

    std::printf("renaming %d files in one folder under %s, engine (plan with its check, journal,\n"
                "renames) against a plain loop of renameat2, %d rounds, each on fresh folders:\n",
                files, qPrintable(base), rounds);
    std::printf("     loop ms (cpu)       engine ms (cpu)     of which plan (cpu)  ratio (cpu)  "
                "faults  journal\n");
    Summary loopWall, loopCpu, engineWall, engineCpu, ratioWall, ratioCpu, faults;
    qint64 journalBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        // The order alternates, so neither side always meets the writeback of the other.
        std::optional<Figures> loop;
        std::optional<EngineFigures> engine;
        if (round % 2 == 0) {
            engine = engineRound(base, files);
            loop = loopRound(base, files);
        } else {
            loop = loopRound(base, files);
            engine = engineRound(base, files);
        }
        if (!loop || !engine) {
            std::printf("run failed\n");
            return 1;
        }
        const double ratio = engine->run.wall / loop->wall;
        const double cpuRatio = engine->run.cpu / loop->cpu;
        std::printf("  %d: %7.1f (%6.1f)   %8.1f (%6.1f)   %7.1f (%6.1f)   %5.2f (%4.2f)  %6ld  "
                    "%lld\n",
                    round + 1, loop->wall, loop->cpu, engine->run.wall, engine->run.cpu,
                    engine->plan.wall, engine->plan.cpu, ratio, cpuRatio, engine->run.faults,
                    static_cast<long long>(engine->journalBytes));
        loopWall.add(loop->wall);
        loopCpu.add(loop->cpu);
        engineWall.add(engine->run.wall);
        engineCpu.add(engine->run.cpu);
        ratioWall.add(ratio);
        ratioCpu.add(cpuRatio);
        faults.add(static_cast<double>(engine->run.faults));
        journalBytes = engine->journalBytes;
    }
    loopWall.print("loop, wall", "ms");
    loopCpu.print("loop, processor", "ms");
    engineWall.print("engine, wall", "ms");
    engineCpu.print("engine, processor", "ms");
    ratioWall.print("ratio, wall", "  ");
    ratioCpu.print("ratio, processor", "  ");
    faults.print("engine, page faults", "  ");
    std::printf("  journal: %lld bytes, %.1f per file\n", static_cast<long long>(journalBytes),
                static_cast<double>(journalBytes) / files);
    return 0;
}
