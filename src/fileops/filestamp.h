#pragma once

#include <QString>

#include <optional>

#include <sys/types.h>

namespace fileops {

// What a directory entry is at one moment, as lstat gives it: a symbolic link is stamped
// as the link. Two equal stamps mean the path still holds the same file, unwritten since.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0; // modification time in nanoseconds since the epoch
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the entry at `path`, or nothing when it cannot be examined.
std::optional<FileStamp> stampOf(const QString& path);

// Whether `path` still holds the file stamped `before`.
bool unchangedSince(const QString& path, const FileStamp& before);

} // namespace fileops
