#pragma once

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

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

} // namespace listtest
