#include "convert/atomicfile.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>

#include <unistd.h>

namespace convert {

namespace {

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

} // namespace

Status writeAtomically(const QString& destination,
                       const std::function<Status(QIODevice& device)>& write)
{
    const QFileInfo target(destination);
    if (destination.isEmpty() || target.isDir() || !QFileInfo(target.absolutePath()).isDir())
        return Status::DestinationNotWritable;
    // Caught here rather than at the final rename, after the whole picture was encoded.
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const long nameMax = pathconf(folder.constData(), _PC_NAME_MAX);
    if (nameMax > 0 && QFile::encodeName(target.fileName()).size() > nameMax)
        return Status::DestinationNotWritable;

    // QSaveFile writes a unique temporary beside the destination, syncs it on commit and
    // renames it into place; destroyed uncommitted, it removes the temporary.
    QSaveFile file(destination);
    if (!file.open(QIODevice::WriteOnly))
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
    if (status != Status::Ok && file.error() != QFileDevice::NoError)
        status = Status::DestinationWriteFailed; // the disk failed, not the encoder
    if (status != Status::Ok) {
        file.cancelWriting();
        return status;
    }
    if (file.error() != QFileDevice::NoError || !file.commit())
        return Status::DestinationWriteFailed;
    return Status::Ok;
}

void testing::setWriteFailureHook(WriteFailureHook hook)
{
    const QMutexLocker lock(&hookMutex);
    failureHook() = std::move(hook);
}

} // namespace convert
