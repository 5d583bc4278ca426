#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace testimages {

// A picture with a distinct colour in each quadrant, so orientation and scaling show.
QImage quadrants(int width, int height, bool withAlpha = false);

// Writes `image` to `path` in `format` ("BMP", "JPEG", "PNG", "ICO"); false on failure.
bool write(const QImage& image, const QString& path, const char* format);

// Writes raw bytes to `path`.
bool writeBytes(const QString& path, const QByteArray& bytes);

} // namespace testimages
