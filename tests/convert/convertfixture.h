#pragma once

#include "convert/codecregistry.h"
#include "convert/gifencoder.h"

#include "testimages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace converttest {

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in `folder` (hidden names and sub-folders included), by name.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A picture with detail everywhere, so every format spreads it over the whole file.
inline QImage detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) & 255, (x * y) & 255, (x ^ y) & 255));
    return image;
}

// `picture` encoded by Qt's writer for `format`.
inline QByteArray encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(picture);
    return bytes;
}

// Writes `picture` in `format`, GIF through the project's own encoder.
inline bool writePicture(const QImage& picture, const QString& path, const char* format)
{
    if (qstrcmp(format, "GIF") == 0)
        return convert::encodeGif(picture, path) == convert::Status::Ok;
    return testimages::write(picture, path, format);
}

// A temporary folder and the system's codecs.
class ConvertTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    const convert::CodecRegistry registry = convert::CodecRegistry::system();
};

} // namespace converttest
