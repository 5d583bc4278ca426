#pragma once

#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/status.h"

#include "fileops/fileactions.h"
#include "fileops/fileops.h"
#include "fileops/filestamp.h"

#include <QSize>
#include <QString>

#include <optional>

class QImage;

namespace convert {

// Rounds to the nearest integer, halves to even (2.5 gives 2, 3.5 gives 4).
int roundHalfEven(double value);

// Where the single conversion writes, before the extension is replaced: the original path
// when `convOrig` is true, else the conversion folder followed by the original's name.
QString singleOutputBasePath(const QString& originalPath, bool convOrig, const QString& repertConv);

// The output path of the single conversion: `basePath` less its extension (its last three
// characters, or four when it ends with "jpeg" in any letter case; the whole extension after
// the dot of a ".tif", ".tiff" or ".webp" name) followed by the format's lower-case extension.
QString singleOutputPath(const QString& basePath, const OutputFormat& format);

// The size of the conversion preview for a picture of natural size `natural` in a box of
// `box`, proportions `aspectRatio` (width / height): the natural size when it fits,
// otherwise the box's width or height with the other side from the ratio.
QSize previewFit(QSize natural, QSize box, double aspectRatio);

// The output height for the output width `width`: width / aspectRatio, rounded half to
// even, never below 1 pixel.
int outputHeightFor(int width, double aspectRatio);

struct SingleResult
{
    Status status = Status::Ok; // of the encoding and the atomic save
    bool originalDeleted = false;
    // Set when the original should have been deleted and could not be.
    std::optional<fileops::FileResult> deletionFailure;
    // The original's path no longer held the file that was read: it was kept.
    bool originalChanged = false;
    // Written, but something of the original was not carried over (unreadable metadata).
    QString warning;
    bool written() const { return status == Status::Ok; }
};

// Whether a picture of `size` stays within the loader's allocation limit at 32 bits per
// pixel.
bool fitsMemoryLimit(QSize size);

// Writes `picture` (decoded from `originalPath`, stamped `readStamp` just before it was
// read) at `outputSize` to `outputPath` in `format`, encoded from memory and saved
// atomically. An output size over the loader's allocation limit is refused before scaling
// (Status::SourceTooLarge). With `deleteOriginal` the original is then deleted (a link as a
// link), provided the output was written, is another file than the original (decided
// before writing, because the save replaces the file at the output path) and the path still
// holds the file stamped `readStamp`. The output is encoded with the quality and compression
// of `options` and takes from the original what options.keep asks for; options.maxSize is
// not used (`outputSize` is the size).
SingleResult convertPicture(const CodecRegistry& registry, const QImage& picture, QSize outputSize,
                            const QString& originalPath,
                            const std::optional<fileops::FileStamp>& readStamp,
                            const QString& outputPath, const OutputFormat& format,
                            const ConvertOptions& options, bool deleteOriginal,
                            const fileops::RemoveOptions& removal = {},
                            const fileops::TrashFallback& deleteForGood = {});

} // namespace convert
