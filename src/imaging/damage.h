#pragma once

#include <QByteArrayView>

namespace convert {

// The type that the first bytes of a file announce: "jpeg", "png", "gif", "tiff", "webp" or
// "bmp" (a BMP header of a known size), empty for anything else. A file with such a signature that
// does not decode is damaged rather than foreign.
QByteArrayView signatureFormat(QByteArrayView head);

// Whether the file `data` of format `format` ("jpeg", "png", "gif", "bmp", as Qt names the
// readers) is damaged. Qt's readers decode a file that ends early, fill the missing part
// with grey and report success, so the loader asks this before decoding.
//
// The structure is walked as far as the first picture needs, and anything after it (extra
// frames, trailing bytes, a missing GIF trailer) is ignored.
// - JPEG: the end-of-image marker must follow the first start-of-scan. Entropy-coded data
//   cannot hold that marker (0xFF is always stuffed), and libjpeg itself reports "premature
//   end" exactly when the data runs out before it.
// - PNG: the chunks, walked by their lengths, must reach IEND; libpng prints its own error
//   and stops on a first chunk that is not a valid IHDR, a chunk type that is not four
//   letters, a critical chunk failing its CRC or a palette picture without a valid PLTE
//   before its data, so all of these are damage too.
// - GIF: the blocks up to the end of the first image's data sub-blocks must all be present,
//   and that data must yield every pixel of the image (its LZW codes are counted, not
//   decoded). A GIF without image data is damaged whatever size its header declares.
// - BMP: the file must hold the pixel rows that the header declares (uncompressed), or the
//   declared image size (run-length encoded).
// Other formats are not checked (false).
bool isDamaged(QByteArrayView data, QByteArrayView format);

// Whether the part of the file a reader parses to learn the size is damaged: for PNG, the
// chunks before the first IDAT (libpng prints its own error on them, before the loader
// could call isDamaged). `complete`: `data` is the whole file, not only its start. Other
// formats: false.
bool headerDamaged(QByteArrayView data, QByteArrayView format, bool complete);

} // namespace convert
