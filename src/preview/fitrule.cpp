#include "preview/fitrule.h"

#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace preview {

namespace {

// Nearest whole number, halves to the even neighbour.
double roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5)
        return down + 1;
    if (fraction < 0.5)
        return down;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1;
}

bool endsWithAny(QStringView name, std::initializer_list<const char*> endings)
{
    return std::any_of(endings.begin(), endings.end(), [name](const char* ending) {
        return name.endsWith(QLatin1String(ending), Qt::CaseInsensitive);
    });
}

} // namespace

QRectF fitAndDraw(double width, double height, double areaWidth, double areaHeight)
{
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {};
    if (width < areaWidth && height < areaHeight) {
        return {(areaWidth - width) / 2, (areaHeight - height) / 2, width, roundHalfEven(height)};
    }
    if (width >= height) {
        const double s = areaWidth / width;
        const double w = s * width;
        const double h = roundHalfEven(s * height);
        if (h <= areaHeight)
            return {(areaWidth - w) / 2, (areaHeight - s * height) / 2, w, h};
        const double t = areaHeight / h;
        return {(areaWidth - t * w) / 2, (areaHeight - t * h) / 2, t * w, roundHalfEven(t * h)};
    }
    const double s = areaHeight / height;
    return {(areaWidth - s * width) / 2, (areaHeight - s * height) / 2, s * width,
            roundHalfEven(s * height)};
}

QSize decodeSize(const QRectF& target)
{
    return {std::max(1, int(std::lround(target.width()))),
            std::max(1, int(std::lround(target.height())))};
}

bool isPreviewable(QStringView name, bool everyType)
{
    if (endsWithAny(name, {"bmp", "gif", "jpg", "jpe", "ico", "jpeg"}))
        return true;
    if (!everyType)
        return false;
    // The types the picture loader reads are those of the image reader.
    static const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return readable.contains(name.mid(dot + 1).toString().toLower().toLatin1());
}

bool isEnlargeable(QStringView name, bool everyType)
{
    return isPreviewable(name, everyType) ||
           name.endsWith(QLatin1String("wmf"), Qt::CaseInsensitive);
}

} // namespace preview
