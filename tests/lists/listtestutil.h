#pragma once

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace listtest {

// The names of a blank-separated list: words("a.jpg b.jpg").
inline QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
}

inline bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// A chain of folders under `parent` whose deepest levels have paths longer than the system
// accepts: they cannot be opened by their path, whoever asks (root included). Made and
// removed level by level through paths relative to each level; the deepest holds lost.jpg.
class TooDeepFolder
{
public:
    explicit TooDeepFolder(const QString& parent) : m_parent(parent)
    {
        int fd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; fd >= 0 && i < levels; ++i) {
            const int next = ::mkdirat(fd, level().c_str(), 0755) == 0
                                 ? ::openat(fd, level().c_str(), O_RDONLY | O_DIRECTORY)
                                 : -1;
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) {
            ::close(::openat(fd, "lost.jpg", O_CREAT | O_WRONLY, 0644));
            ::close(fd);
        }
    }
    ~TooDeepFolder()
    {
        std::vector<int> fds{
            ::open(QFile::encodeName(m_parent).constData(), O_RDONLY | O_DIRECTORY)};
        for (int i = 0; i < levels && fds.back() >= 0; ++i)
            fds.push_back(::openat(fds.back(), level().c_str(), O_RDONLY | O_DIRECTORY));
        ::unlinkat(fds.back(), "lost.jpg", 0);
        for (std::size_t i = fds.size() - 1; i > 0; --i) {
            ::close(fds[i]);
            ::unlinkat(fds[i - 1], level().c_str(), AT_REMOVEDIR);
        }
        ::close(fds[0]);
    }
    TooDeepFolder(const TooDeepFolder&) = delete;
    TooDeepFolder& operator=(const TooDeepFolder&) = delete;

    // The first level, below `parent`.
    QString top() const { return m_parent + u'/' + QString::fromStdString(level()); }

    static constexpr int levels = 20; // 20 x 251 bytes: well over PATH_MAX (4096)

private:
    static std::string level() { return std::string(250, 'd'); }
    QString m_parent;
};

} // namespace listtest
