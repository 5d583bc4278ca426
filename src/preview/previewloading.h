#pragma once

#include "imaging/status.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

namespace preview {

// A picture ready to be drawn into an area: decoded at the size it is drawn at.
struct FittedPicture
{
    convert::Status status = convert::Status::Ok;
    QImage image;
    QRectF target; // where the picture goes in the area (fit-and-draw rule)

    bool ok() const { return status == convert::Status::Ok; }
};

// Reads the picture's upright size from its header, applies the fit-and-draw rule against
// `area`, then decodes at that size only (JPEG decodes with DCT scaling), so a large photo
// costs a fraction of a full decode.
FittedPicture loadFitted(const QString& path, QSize area);

// The description shown when a picture cannot be read.
QString loadFailureText(convert::Status status);

} // namespace preview
