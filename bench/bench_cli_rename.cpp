// morvane-batch rename over the files of one folder, as a whole process (start-up, reading
// the paths, the check before the run, the renames), against a bare loop of renameat2 calls
// doing the same renames.
//   bench_cli_rename [files, default 100000] [folder to work in, default the temp folder]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int rounds = 3;

QByteArray oldName(int i)
{
    return QByteArray("IMG_") + QByteArray::number(i).rightJustified(6, '0') + ".JPG";
}

QByteArray newName(int i, int count)
{
    const int width = static_cast<int>(QByteArray::number(count).size());
    return QByteArray("vacances") + QByteArray::number(i + 1).rightJustified(width, '0') + ".JPG";
}

bool makeFiles(const QByteArray& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const int fd = ::open(QByteArray(folder + oldName(i)).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    ::sync();
    return true;
}

double bareLoopMs(const QString& base, int count)
{
    double best = 1e18;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir(base + QStringLiteral("/bench-cli-rename-XXXXXX"));
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        if (!makeFiles(folder, count))
            return -1;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < count; ++i) {
            if (::renameat2(AT_FDCWD, QByteArray(folder + oldName(i)).constData(), AT_FDCWD,
                            QByteArray(folder + newName(i, count)).constData(),
                            RENAME_NOREPLACE) != 0)
                return -1;
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

double toolMs(const QString& base, int count)
{
    double best = 1e18;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir(base + QStringLiteral("/bench-cli-rename-XXXXXX"));
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        if (!makeFiles(folder, count))
            return -1;
        QByteArray paths;
        for (int i = 0; i < count; ++i)
            paths += folder + oldName(i) + '\n';
        QProcess tool;
        // The run's journal goes to a temporary state folder, not the user's.
        QTemporaryDir state;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
        tool.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        tool.start(QStringLiteral(MORVANE_BATCH_EXECUTABLE),
                   {QStringLiteral("rename"), QStringLiteral("--form"), QStringLiteral("text"),
                    QStringLiteral("--text"), QStringLiteral("vacances"), QStringLiteral("-")});
        tool.write(paths);
        tool.closeWriteChannel();
        if (!tool.waitForFinished(600000) || tool.exitCode() != 0) {
            std::fprintf(stderr, "%s", tool.readAllStandardError().constData());
            return -1;
        }
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!QFile::exists(QFile::decodeName(folder + newName(count - 1, count))))
            return -1;
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    const QString base = arguments.size() > 2 ? arguments.at(2) : QDir::tempPath();
    const double bare = bareLoopMs(base, count);
    const double tool = toolMs(base, count);
    std::printf("morvane-batch rename, %d files in one folder (best of %d):\n", count, rounds);
    std::printf("  bare renameat2 loop      %9.1f ms\n", bare);
    std::printf("  morvane-batch rename     %9.1f ms  (%.2f x the bare loop)\n", tool,
                bare > 0 ? tool / bare : 0.0);
    return bare < 0 || tool < 0 ? 1 : 0;
}
