#pragma once

#include "imaging/status.h"

class QImage;
class QIODevice;

namespace convert {

// The compression level that stands for "Par défaut": zlib's default.
inline constexpr int defaultPngLevel = 6;

// Whether encodePng takes `picture`: 8 bits a sample, as RGB32, ARGB32, RGB888 or
// Grayscale8. Any other layout goes to Qt's writer.
bool pngEncodable(const QImage& picture);

// Encodes `picture` (pngEncodable) as a PNG of 8 bits a sample: RGB, RGB with alpha (ARGB32)
// or grey. `level` is a zlib level, 0 to 9, mapped to the DEFLATE level of libdeflate that
// gives files of about the size zlib gives at it. Every row takes the filter whose output
// has the smallest sum of absolute values (none at level 0, where nothing is compressed).
// Writes the chunks Qt's writer writes for the same picture: the colour space's ICC profile
// (when it suits the colour type), the resolution, the text keys (tEXt, zTXt from 40
// characters, iTXt for text outside Latin-1) and the offset. Status::EncodeFailed when
// memory runs out, Status::DestinationWriteFailed when the device refuses a write. Keeps no
// state: safe to call from several threads at once.
Status encodePng(const QImage& picture, QIODevice& device, int level = defaultPngLevel);

} // namespace convert
