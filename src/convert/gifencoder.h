#pragma once

#include "convert/status.h"

class QImage;
class QIODevice;
class QString;

namespace convert {

struct GifEncoderOptions
{
    int speed = 7;          // libimagequant speed, 1 (best) to 10 (fastest)
    float dithering = 1.0f; // Floyd-Steinberg dithering level, 0 to 1
};

// Encodes `picture` as a single-frame GIF with a palette of at most 256 colours built for
// it. Pixels less than half opaque become the one transparent palette entry; the others are
// composed onto white. Keeps no state: safe to call from several threads at once.
Status encodeGif(const QImage& picture, QIODevice& device, const GifEncoderOptions& options = {});

// Same, written atomically to `path`.
Status encodeGif(const QImage& picture, const QString& path, const GifEncoderOptions& options = {});

} // namespace convert
