#pragma once

#include "convert/status.h"

#include <QImage>
#include <QSize>

class QString;

namespace convert {

struct LoadedPicture
{
    Status status = Status::Ok;
    QImage image; // null unless status is Status::Ok
    bool ok() const { return status == Status::Ok; }
};

struct PictureProbe
{
    Status status = Status::Ok;
    QSize uprightSize; // natural size, turned upright by the EXIF orientation
};

// The one picture loader of the program (conversions, preview box, enlarged view).
// The format is judged by content, not by the name; camera photos are turned upright by
// their EXIF orientation; an icon gives its largest image, an animation its first frame; a
// picture whose decoded size would exceed the allocation limit is refused before decoding.
// Keeps no state: safe to call from several threads at once.
class PictureLoader
{
public:
    // Enough for a 100-megapixel photo at 32 bits per pixel, not for a decompression bomb.
    static constexpr int allocationLimitMiB = 1024;

    PictureLoader() = delete;

    static LoadedPicture load(const QString& path);

    // Loads at `uprightSize` exactly (as the picture is shown, after the EXIF orientation),
    // decoding at reduced size where the format allows (JPEG). An empty size loads at
    // natural size.
    static LoadedPicture loadScaled(const QString& path, QSize uprightSize);

    // Loads at the largest size that fits into `box` with the proportions kept; a picture that
    // already fits is loaded at its natural size.
    static LoadedPicture loadFitted(const QString& path, QSize box);

    // Reads the upright natural size from the header, without decoding the picture.
    static PictureProbe probe(const QString& path);
};

} // namespace convert
