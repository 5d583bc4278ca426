#pragma once

#include <QByteArrayView>

namespace convert {

// Whether the file `data` of format `format` ("jpeg", "png", "gif", "bmp", as Qt names the
// readers) ends before its first picture does. Qt's readers decode such a file, fill the
// missing part with grey and report success, so the loader asks this before decoding.
//
// Only a premature end counts: the structure is walked as far as the first picture needs,
// and anything after it (extra frames, trailing bytes, a missing GIF trailer) is ignored.
// - JPEG: the end-of-image marker must follow the first start-of-scan. Entropy-coded data
//   cannot hold that marker (0xFF is always stuffed), and libjpeg itself reports "premature
//   end" exactly when the data runs out before it.
// - PNG: the chunks, walked by their lengths, must reach IEND.
// - GIF: the blocks up to the end of the first image's data sub-blocks must all be present,
//   and that data must yield every pixel of the image (its LZW codes are counted, not
//   decoded). A GIF without image data is damaged whatever size its header declares.
// - BMP: the file must hold the pixel rows that the header declares (uncompressed), or the
//   declared image size (run-length encoded).
// Other formats are not checked (false).
bool endsPrematurely(QByteArrayView data, QByteArrayView format);

} // namespace convert
