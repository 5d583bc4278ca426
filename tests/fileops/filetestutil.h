#pragma once

#include "fileops/fileops.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>

#include <ostream>

#include <unistd.h>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace filetest {

// A fixed time stamp for files made by tests (local time, whole seconds).
inline QDateTime stamp()
{
    return QDateTime(QDate(2007, 7, 3), QTime(18, 45, 12));
}

// Writes `content` to `path` and sets its modification time.
inline bool makeFile(const QString& path, const QByteArray& content,
                     const QDateTime& modified = stamp())
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
           file.flush() && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QDateTime modified(const QString& path)
{
    return QFileInfo(path).lastModified();
}

// The names in a folder, hidden ones included.
inline QSet<QString> names(const QString& folder)
{
    const QStringList list =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return QSet<QString>(list.begin(), list.end());
}

// Fails every `which` call on a path ending with one of `endings` (on any path when none).
inline void failOn(fileops::testing::Call which, int error, const QStringList& endings = {})
{
    fileops::testing::setFailureHook([=](fileops::testing::Call call, const QString& path) {
        bool hit = endings.isEmpty();
        for (const QString& end : endings)
            hit = hit || path.endsWith(end);
        return call == which && hit ? error : 0;
    });
}

inline int hardLink(const QString& from, const QString& to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData());
}

} // namespace filetest
