#pragma once

#include "convert/atomicfile.h"
#include "convert/codecregistry.h"
#include "convert/outputformats.h"
#include "imaging/metadata.h"
#include "imaging/status.h"

#include <optional>

#include <time.h>

#include <QSize>

class QImage;
class QString;

namespace convert {

// What a conversion carries from its source file into its output besides the pixels.
struct SourceKeeping
{
    bool metadata = true;          // EXIF, XMP, IPTC and ICC profile, where the target holds them
    bool modificationTime = false; // the output gets the source's modification time
};

// How a file is converted besides its format: how it is encoded, the size it may take and
// what it keeps of its source.
struct ConvertOptions
{
    int quality = conversionJpegQuality;        // JPEG and WebP
    int pngCompression = defaultPngCompression; // 0 to 9, -1 for the encoder's default
    QSize maxSize; // a larger picture is scaled down into it (upright, proportions kept)
    SourceKeeping keep;
};

// The encoder parameters of a save: the quality for JPEG and WebP (used as given from 0 to
// 100, 75 otherwise), the compression level for PNG when it is one from 0 to 9, none for the
// other formats.
EncoderParameters encoderParametersFor(int formatCode, int quality,
                                       int pngCompression = defaultPngCompression);

// The picture as format `alpha` can store it: composed onto white where the format has no
// alpha channel, unchanged otherwise; a palette picture is completed first (see
// withCompletePalette). Null when that would exceed the allocation limit.
QImage preparedForFormat(const QImage& picture, AlphaHandling alpha);

// Encodes `picture` in the format with code `formatCode` (1 BMP, 2 JPEG, 3 PNG, 4 GIF,
// 6 TIFF, 7 WebP) with the registry's first encoder for its MIME type and the parameters of
// encoderParametersFor, and writes it atomically to `destination` (see writeAtomically for
// `mode`). Returns the status; shows nothing. A format that holds
// metadata gets `metadata` put into the encoded bytes before they are written (a failure
// there sets `warning` and writes the picture without); the others get the picture in sRGB,
// as their readers assume.
Status SauverFormat(const CodecRegistry& registry, const QImage& picture,
                    const QString& destination, int formatCode, int quality,
                    WriteMode mode = WriteMode::Replace, int pngCompression = defaultPngCompression,
                    const imaging::PictureMetadata& metadata = {}, QString* warning = nullptr);

// Loads the picture file `source` with PictureLoader (one larger than options.maxSize scaled
// down to fit it, see PictureLoader::loadWithin; never scaled up), then SauverFormat with
// the options' encoder settings and what options.keep asks for; `warning` tells of metadata
// or a date that could not be carried over (the output is written).
Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, const ConvertOptions& options = {},
                   WriteMode mode = WriteMode::Replace, QString* warning = nullptr);

// Reads what `keep` asks for from `source` for an output in `format`: its metadata, where the
// format holds some (else none), and its modification time. Called once the source was
// decoded (the loader alone judges what may be opened); only a regular file is read.
struct KeptSource
{
    imaging::PictureMetadata metadata;
    QString warning;
    std::optional<timespec> modified;
};
KeptSource readKept(const QString& source, const OutputFormat& format, const SourceKeeping& keep);

// `picture`, decoded from `source`, as SauverFormat needs it for `format`: with the colour
// space of the source's ICC profile where the picture lost it and the format cannot carry a
// profile (it is then converted to sRGB).
QImage profiledFor(const OutputFormat& format, const QImage& picture, const QString& source);

// Gives the file at `output`, just put in place, the modification time `kept` holds (to the
// nanosecond); false when that failed. Nothing to do is success.
bool applyKeptTime(const QString& output, const KeptSource& kept);

// The warning of an output whose modification time could not be set.
QString keptTimeFailureText();

Status VersBMP(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersJPEG(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality);
Status VersPNG(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersGIF(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersTIFF(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersWEBP(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality);

} // namespace convert
