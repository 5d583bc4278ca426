#include "convert/atomicfile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <initializer_list>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace convert {

using namespace Qt::StringLiterals;

namespace {

// This machine, as the temporary names show it: FNV-1a of the host name and of the
// process-id namespace, so that a folder shared by several machines (or containers) is
// cleaned only of leftovers whose process ids mean something here.
QString machineTag()
{
    static const QString tag = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        char space[64] = {};
        if (::readlink("/proc/self/ns/pid", space, sizeof space - 1) < 0)
            space[0] = 0;
        quint32 hash = 2166136261u;
        for (const char* part : std::initializer_list<const char*>{host, "/", space}) {
            for (const char* c = part; *c; ++c)
                hash = (hash ^ quint8(*c)) * 16777619u;
        }
        return u"%1"_s.arg(hash, 8, 16, QLatin1Char('0'));
    }();
    return tag;
}

bool processGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

#ifdef MORVANE_TEST_HOOKS
QMutex hookMutex;
testing::WriteFailureHook& failureHook()
{
    static testing::WriteFailureHook hook;
    return hook;
}

qint64 failureBudget(const QString& destination)
{
    const QMutexLocker lock(&hookMutex);
    return failureHook() ? failureHook()(destination) : -1;
}
#else
qint64 failureBudget(const QString& /*destination*/)
{
    return -1;
}
#endif

// Passes writes on to the file until the budget is spent, then fails them.
class BudgetedDevice : public QIODevice
{
public:
    BudgetedDevice(QIODevice& target, qint64 budget) : m_target(target), m_budget(budget)
    {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        if (length > m_budget) {
            m_failed = true;
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        m_budget -= length;
        return m_target.write(data, length);
    }

private:
    QIODevice& m_target;
    qint64 m_budget;
    bool m_failed = false;
};

bool entryExists(const QByteArray& path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0 || errno != ENOENT;
}

// A temporary file in a folder, removed on destruction unless it was put in place.
class Temporary
{
public:
    // Creates stagingPath(destination) in the destination's folder, never opening an
    // existing entry.
    explicit Temporary(const QString& destination)
    {
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_path = QFile::encodeName(stagingPath(destination));
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0666);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
    }
    ~Temporary()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_placed)
            ::unlink(m_path.constData());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // Syncs and closes the file; false when the disk failed.
    bool finish()
    {
        const bool synced = ::fdatasync(m_fd) == 0;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        return synced && closed;
    }

    // Gives the file the name `destination`.
    Status place(const QByteArray& destination, WriteMode mode)
    {
        if (mode == WriteMode::Replace) {
            // rename(2) replaces the entry at the name (a link included), never a link's target.
            if (::rename(m_path.constData(), destination.constData()) != 0)
                return Status::DestinationWriteFailed;
            m_placed = true;
            return Status::Ok;
        }
        if (::renameat2(AT_FDCWD, m_path.constData(), AT_FDCWD, destination.constData(),
                        RENAME_NOREPLACE) == 0) {
            m_placed = true;
            return Status::Ok;
        }
        if (errno == EEXIST)
            return Status::DestinationExists;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return Status::DestinationWriteFailed;
        // The file system has no exclusive rename: a hard link fails on a taken name too.
        if (::link(m_path.constData(), destination.constData()) != 0)
            return errno == EEXIST ? Status::DestinationExists : Status::DestinationWriteFailed;
        return Status::Ok; // the temporary name is removed on destruction
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_placed = false;
};

} // namespace

Status writeAtomically(const QString& destination,
                       const std::function<Status(QIODevice& device)>& write, WriteMode mode)
{
    if (destination.isEmpty())
        return Status::DestinationNotWritable;
    const QFileInfo target(destination);
    const QByteArray name = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    struct stat existing;
    const bool exists = ::lstat(name.constData(), &existing) == 0;
    if ((exists && S_ISDIR(existing.st_mode)) || !QFileInfo(target.absolutePath()).isDir())
        return Status::DestinationNotWritable;
    // Caught here rather than at the final rename, after the whole picture was encoded.
    const long nameMax = pathconf(folder.constData(), _PC_NAME_MAX);
    if (nameMax > 0 && QFile::encodeName(target.fileName()).size() > nameMax)
        return Status::DestinationNotWritable;
    if (mode == WriteMode::NoReplace && (exists || entryExists(name)))
        return Status::DestinationExists;

    Temporary temporary(target.absoluteFilePath());
    if (!temporary.isOpen())
        return Status::DestinationNotWritable;
    // A replaced file keeps its permissions (a link's target is not looked at).
    if (exists && S_ISREG(existing.st_mode))
        ::fchmod(temporary.descriptor(), existing.st_mode & 07777);

    QFile file;
    if (!file.open(temporary.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return Status::DestinationNotWritable;
    Status status = Status::Ok;
    const qint64 budget = failureBudget(destination);
    if (budget >= 0) {
        BudgetedDevice device(file, budget);
        status = write(device);
        // An encoder that ignores a failed write must not make the output look complete.
        if (device.failed())
            status = Status::DestinationWriteFailed;
    } else {
        status = write(file);
    }
    if (!file.flush() || file.error() != QFileDevice::NoError)
        status = Status::DestinationWriteFailed; // the disk failed, not the encoder
    file.close();
    if (status != Status::Ok)
        return status;
    if (!temporary.finish())
        return Status::DestinationWriteFailed;
    return temporary.place(name, mode);
}

Status writeAtomically(const QString& destination, const QByteArray& bytes, WriteMode mode)
{
    return writeAtomically(
        destination,
        [&bytes](QIODevice& device) {
            return device.write(bytes) == bytes.size() ? Status::Ok
                                                       : Status::DestinationWriteFailed;
        },
        mode);
}

QString stagingPath(const QString& output)
{
    return output.left(output.lastIndexOf(u'/') + 1) +
           u".morvane-%1-%2-%3"_s.arg(machineTag())
               .arg(::getpid())
               .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

int removeStaleStaging(const QString& folder)
{
    static const QRegularExpression pattern(u"^\\.morvane-([0-9a-f]{8})-([0-9]+)-[0-9a-f]{16}$"_s);
    int removed = 0;
    QDirIterator it(folder.isEmpty() ? u"."_s : folder, {u".morvane-*"_s},
                    QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch match = pattern.match(it.fileName());
        if (!match.hasMatch() || match.captured(1) != machineTag() ||
            !processGone(match.captured(2).toLongLong()))
            continue;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::unlink(QFile::encodeName(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

#ifdef MORVANE_TEST_HOOKS
void testing::setWriteFailureHook(WriteFailureHook hook)
{
    const QMutexLocker lock(&hookMutex);
    failureHook() = std::move(hook);
}
#endif

} // namespace convert
