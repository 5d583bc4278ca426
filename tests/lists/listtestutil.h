#pragma once

#include "lists/worklist.h"

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

// The names of the list's entries, in order.
inline QStringList names(const WorkList& list)
{
    QStringList result;
    for (const WorkEntry& entry : list.entries())
        result << entry.name;
    return result;
}

inline bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// A chain of folders under `parent` whose deepest levels have paths longer than the system
// accepts (20 levels of 251 bytes, well over PATH_MAX): they cannot be opened by their path,
// whoever asks (root included). Made and removed level by level through paths relative to
// each level; the deepest holds lost.jpg.
class TooDeepFolder
{
public:
    explicit TooDeepFolder(const QString& parent) : m_parent(parent) { walk(true); }
    ~TooDeepFolder() { walk(false); }
    TooDeepFolder(const TooDeepFolder&) = delete;
    TooDeepFolder& operator=(const TooDeepFolder&) = delete;

    // The first level, below `parent`.
    QString top() const { return m_parent + u'/' + QString(250, u'd'); }

private:
    // Down the chain, making each level when `make`; back up, removing each level otherwise.
    void walk(bool make) const
    {
        const std::string level(250, 'd');
        std::vector<int> fds{::open(QFile::encodeName(m_parent).constData(), O_RDONLY)};
        for (int i = 0; i < 20 && fds.back() >= 0; ++i) {
            if (make)
                ::mkdirat(fds.back(), level.c_str(), 0755);
            fds.push_back(::openat(fds.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
        }
        if (make)
            ::close(::openat(fds.back(), "lost.jpg", O_CREAT | O_WRONLY, 0644));
        else
            ::unlinkat(fds.back(), "lost.jpg", 0);
        for (std::size_t i = fds.size() - 1; i > 0; --i) {
            ::close(fds[i]);
            if (!make)
                ::unlinkat(fds[i - 1], level.c_str(), AT_REMOVEDIR);
        }
        ::close(fds[0]);
    }
    QString m_parent;
};

} // namespace listtest
