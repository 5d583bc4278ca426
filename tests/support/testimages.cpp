#include "testimages.h"

#include <QFile>
#include <QImageWriter>
#include <QPainter>

namespace testimages {

QImage quadrants(int width, int height, bool withAlpha)
{
    QImage image(width, height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(withAlpha ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    const int halfWidth = width / 2;
    const int halfHeight = height / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, QColor(200, 30, 30));
    painter.fillRect(halfWidth, 0, width - halfWidth, halfHeight, QColor(30, 160, 40));
    painter.fillRect(0, halfHeight, halfWidth, height - halfHeight, QColor(30, 60, 200));
    if (!withAlpha)
        painter.fillRect(halfWidth, halfHeight, width - halfWidth, height - halfHeight,
                         QColor(230, 210, 40));
    return image;
}

bool write(const QImage& image, const QString& path, const char* format)
{
    return QImageWriter(path, format).write(image);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace testimages
