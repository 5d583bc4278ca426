#include "convert/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace convert {

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
    const Status status = write(file);
    if (status != Status::Ok) {
        file.cancelWriting();
        return status;
    }
    if (file.error() != QFileDevice::NoError || !file.commit())
        return Status::DestinationWriteFailed;
    return Status::Ok;
}

} // namespace convert
