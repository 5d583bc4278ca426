#include "fileops/filestamp.h"

#include <QFile>

#include <sys/stat.h>

namespace fileops {

std::optional<FileStamp> stampOf(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp{st.st_dev, st.st_ino, st.st_size,
                     static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

bool unchangedSince(const QString& path, const FileStamp& before)
{
    return stampOf(path) == before;
}

} // namespace fileops
