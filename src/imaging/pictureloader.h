#pragma once

#include "imaging/status.h"

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
    // Bytes a load at natural size holds at its peak: the file, read whole, and the decoded
    // picture (at least 32 bits a pixel, as palette pictures are widened). 0 unless Ok.
    qint64 decodeCost = 0;
};

// The one picture loader of the program (conversions, preview box, enlarged view).
// Only regular files are read (a link to one is followed); FIFOs, sockets and devices are
// refused without being waited on. The format is judged by content, not by the name; camera
// photos are turned upright by their EXIF orientation; an icon gives its largest image, an
// animation its first frame; a picture whose decoded size would exceed the allocation limit
// is refused before decoding. A palette picture whose pixels use entries beyond its colour
// table is widened to 32 bits, the missing entries opaque black, so no encoder or scaler
// reads past the table. A file of a known type (by its signature) that the reader refuses
// or that ends early is Status::SourceDamaged; anything else unreadable is
// Status::SourceNotDecodable.
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

    // Loads as loadFitted does, for an output rather than a preview: the picture is decoded
    // whole, then scaled to the fitted size by downscaled() (a JPEG decoded at a reduced DCT
    // size loses detail that the scaling cannot give back).
    static LoadedPicture loadWithin(const QString& path, QSize box);

    // Reads the upright natural size from the header, without decoding the picture.
    static PictureProbe probe(const QString& path);

    // probe(path).decodeCost: the memory a load of `path` needs, from the header only; -1
    // when the header cannot be read (the load then fails before decoding).
    static qint64 decodeCost(const QString& path);
};

// `picture` scaled to `size` for an output: a larger opaque picture of 32 bits a pixel through
// a Lanczos-3 filter (sharper than Qt's smooth scaling, which averages areas), anything else
// by Qt's smooth scaling. Null when the result cannot be allocated.
QImage downscaled(const QImage& picture, QSize size);

// Whether a picture of `size` at `format` (32 bits a pixel by default) holds more than
// PictureLoader::allocationLimitMiB. False for an empty or invalid size.
bool exceedsAllocationLimit(QSize size, QImage::Format format = QImage::Format_ARGB32);

// `picture` as every encoder and scaler can take it: a palette picture (8-bit or 1-bit)
// whose pixels use entries beyond its colour table is widened to 32 bits (with alpha when
// the table has any), the missing entries opaque black; any other picture is returned as it
// is. A colour table longer than the depth can index (over 256 or 2 entries) is cut to
// that length. Null when the widened picture would exceed the allocation limit.
QImage withCompletePalette(const QImage& picture);

} // namespace convert
