#pragma once

#include "convert/atomicfile.h"
#include "convert/codecregistry.h"
#include "convert/outputformats.h"
#include "convert/status.h"

#include <QSize>

class QImage;
class QString;

namespace convert {

// The encoder parameters of a save: the quality for JPEG and WebP (used as given from 0 to
// 100, 75 otherwise), the compression level for PNG when it is one from 0 to 9, none for the
// other formats.
EncoderParameters encoderParametersFor(int formatCode, int quality,
                                       int pngCompression = defaultPngCompression);

// The picture as format `alpha` can store it: composed onto white where the format has no
// alpha channel, unchanged otherwise; a palette picture is completed first (see
// withCompletePalette). Null when that would exceed the allocation limit.
QImage preparedForFormat(const QImage& picture, AlphaHandling alpha);

// Encodes `picture` in the format with code `formatCode` (1 BMP, 2 JPEG, 3 PNG, 4 GIF) with
// the registry's first encoder for its MIME type, and writes it atomically to `destination`
// (see writeAtomically for `mode`). Returns the status; shows nothing.
Status SauverFormat(const CodecRegistry& registry, const QImage& picture,
                    const QString& destination, int formatCode, int quality,
                    WriteMode mode = WriteMode::Replace,
                    int pngCompression = defaultPngCompression);

// Loads the picture file `source` with PictureLoader, then SauverFormat.
Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, int quality, WriteMode mode = WriteMode::Replace);

// How a file is read and written besides its format.
struct ConvertOptions
{
    int quality = conversionJpegQuality;        // JPEG and WebP
    int pngCompression = defaultPngCompression; // 0 to 9, -1 for the encoder's default
    QSize maxSize; // a larger picture is scaled down into it (upright, proportions kept)
};

// convertFile with `options`: a picture larger than options.maxSize is loaded scaled down
// to fit it (see PictureLoader::loadWithin), never scaled up.
Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, const ConvertOptions& options,
                   WriteMode mode = WriteMode::Replace);

Status VersBMP(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersJPEG(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality);
Status VersPNG(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersGIF(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersTIFF(const CodecRegistry& registry, const QString& source, const QString& destination);
Status VersWEBP(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality);

} // namespace convert
