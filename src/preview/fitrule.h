#pragma once

#include <QRectF>
#include <QSize>
#include <QStringView>

namespace preview {

// Where a W x H picture is drawn in a BW x BH area: scaled down with its proportions kept and
// centred; a picture smaller than the area keeps its own size. Heights are rounded to the
// nearest whole number, halves to the even neighbour.
QRectF fitAndDraw(double width, double height, double areaWidth, double areaHeight);

// The size to decode a picture at so that it fills `target` (at least 1 x 1).
QSize decodeSize(const QRectF& target);

// Names the preview box reads: ending in bmp, gif, jpg, jpe, ico or jpeg, letter case ignored;
// with `everyType`, also those whose extension names a type the picture loader reads (png,
// tif, webp...).
bool isPreviewable(QStringView name, bool everyType = false);
// Names the enlarged view accepts: the previewable ones and those ending in wmf.
bool isEnlargeable(QStringView name, bool everyType = false);

} // namespace preview
