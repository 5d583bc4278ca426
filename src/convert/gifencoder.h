#pragma once

#include "imaging/status.h"

class QImage;
class QIODevice;
class QString;

namespace convert {

struct GifEncoderOptions
{
    // libimagequant speed, 1 (best) to 10 (fastest). From 8 up it skips the dither map and
    // the palette refinement: on a 12-megapixel photo about 1.7 times as fast as 7 for
    // 0.4 dB less.
    int speed = 8;
    // Floyd-Steinberg dithering level, 0 to 1. Measured on camera photos (bench_convert gif):
    // 0 is the fastest (0.9 s against 1.35 s a photo of 3 to 9 megapixels at speed 8) and the
    // closest to the source (39.3 dB against 37.1 dB at 1.0).
    float dithering = 0.0f;
};

// Encodes `picture` as a single-frame GIF with a palette of at most 256 colours built for
// it. Pixels less than half opaque become the one transparent palette entry; the others are
// composed onto white. Keeps no state: safe to call from several threads at once.
Status encodeGif(const QImage& picture, QIODevice& device, const GifEncoderOptions& options = {});

// Same, written atomically to `path`.
Status encodeGif(const QImage& picture, const QString& path, const GifEncoderOptions& options = {});

} // namespace convert
