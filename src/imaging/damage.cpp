#include "imaging/damage.h"

#include <QtEndian>

#include <array>
#include <cstdlib>

namespace convert {

namespace {

quint32 le32(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.data() + at);
}

quint16 le16(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.data() + at);
}

bool jpegEndsPrematurely(QByteArrayView data)
{
    const auto byte = [&](qsizetype at) { return uchar(data[at]); };
    qsizetype at = 2; // after SOI
    // Marker segments up to the first scan.
    for (;;) {
        while (at < data.size() && byte(at) != 0xFF)
            ++at; // tolerate junk between segments, as libjpeg does (with a warning)
        while (at < data.size() && byte(at) == 0xFF)
            ++at;
        if (at >= data.size())
            return true;
        const uchar marker = byte(at++);
        if (marker == 0xD9) // EOI before any scan: nothing to decode, not a truncation
            return false;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // stand-alone markers
        if (at + 2 > data.size())
            return true;
        const qsizetype length = (qsizetype(byte(at)) << 8) | byte(at + 1);
        if (marker == 0xDA) {
            at += length;
            break;
        }
        at += length;
    }
    if (at > data.size())
        return true;
    for (qsizetype i = at; i + 1 < data.size(); ++i) {
        if (byte(i) == 0xFF && byte(i + 1) == 0xD9)
            return false;
    }
    return true;
}

quint32 crc32(QByteArrayView data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> built{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            built[n] = c;
        }
        return built;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ uchar(byte)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// Whether the 13 bytes of an IHDR chunk hold values libpng accepts: a size, a valid pair of
// colour type and bit depth, the one compression and filter method, a known interlace.
bool pngHeaderValid(QByteArrayView ihdr)
{
    const quint32 width = qFromBigEndian<quint32>(ihdr.data());
    const quint32 height = qFromBigEndian<quint32>(ihdr.data() + 4);
    const int depth = uchar(ihdr[8]);
    const int colour = uchar(ihdr[9]);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return false;
    const bool wide = depth == 8 || depth == 16;
    const bool narrow = depth == 1 || depth == 2 || depth == 4 || depth == 8;
    const bool pair = colour == 0   ? narrow || depth == 16
                      : colour == 3 ? narrow
                                    : (colour == 2 || colour == 4 || colour == 6) && wide;
    return pair && ihdr[10] == 0 && ihdr[11] == 0 && uchar(ihdr[12]) <= 1;
}

// Walks the PNG chunks by their lengths, up to IEND, or only up to the first IDAT when
// `headerOnly`. Damage is what makes libpng stop with an error it prints itself: a first
// chunk that is not a valid IHDR, a chunk type that is not four letters, a critical chunk
// (upper-case first letter) failing its CRC, a palette picture without a valid PLTE before
// its data. When `complete` is false, `data` is only the start of the file and running off
// its end proves nothing.
bool pngDamaged(QByteArrayView data, bool headerOnly, bool complete)
{
    qsizetype at = 8; // signature
    bool palette = false;
    bool paletteSeen = false;
    while (at + 8 <= data.size()) {
        const quint32 length = qFromBigEndian<quint32>(data.data() + at);
        const QByteArrayView type = data.sliced(at + 4, 4);
        const qint64 next = qint64(at) + 12 + qint64(length);
        for (const char letter : type) {
            if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
                return true;
        }
        if (next > data.size())
            return complete;
        const QByteArrayView body = data.sliced(at + 8, qsizetype(length));
        if (at == 8) {
            if (type != "IHDR" || length != 13 || !pngHeaderValid(body))
                return true;
            palette = uchar(body[9]) == 3;
        }
        if (type == "IDAT") {
            if (palette && !paletteSeen)
                return true;
            if (headerOnly)
                return false;
        }
        const bool critical = type[0] >= 'A' && type[0] <= 'Z';
        if (critical && crc32(data.sliced(at + 4, qsizetype(length) + 4)) !=
                            qFromBigEndian<quint32>(data.data() + next - 4))
            return true;
        if (type == "PLTE") {
            paletteSeen = true;
            if (palette && (length == 0 || length % 3 != 0 || length > 768))
                return true;
        }
        if (type == "IEND")
            return false;
        at = qsizetype(next);
    }
    return complete;
}

// The bytes of a GIF image's data sub-blocks, one at a time.
class SubBlockBytes
{
public:
    SubBlockBytes(QByteArrayView data, qsizetype at) : m_data(data), m_at(at) {}

    // The next byte, or -1 at the block terminator or where the file ends.
    int next()
    {
        if (m_left == 0) {
            if (m_ended || m_at >= m_data.size())
                return -1;
            m_left = uchar(m_data[m_at++]);
            if (m_left == 0) {
                m_ended = true;
                return -1;
            }
        }
        if (m_at >= m_data.size())
            return -1;
        --m_left;
        return uchar(m_data[m_at++]);
    }

    // Skips what is left up to the terminator; false when the file ends first.
    bool skipToTerminator()
    {
        while (next() >= 0) {
        }
        return m_ended;
    }

    // Where the next byte would be read from: after the terminator once it was reached.
    qsizetype position() const { return m_at; }

private:
    QByteArrayView m_data;
    qsizetype m_at;
    int m_left = 0;
    bool m_ended = false;
};

// Counts the pixels that the LZW codes of one GIF image yield, up to `wanted`. The strings
// are not built: a new dictionary entry is one pixel longer than the entry it extends.
// Counting stops at the end code and at a code no decoder can follow.
qint64 gifPixels(SubBlockBytes& bytes, int minimumCodeSize, qint64 wanted)
{
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    std::array<int, 4096> length{};
    for (int code = 0; code < clear; ++code)
        length[code] = 1;
    int codeSize = minimumCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    quint32 bits = 0;
    int bitCount = 0;
    qint64 pixels = 0;
    while (pixels < wanted) {
        while (bitCount < codeSize) {
            const int byte = bytes.next();
            if (byte < 0)
                return pixels;
            bits |= quint32(byte) << bitCount;
            bitCount += 8;
        }
        const int code = int(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minimumCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear)
                break;
            pixels += 1;
        } else if (code < next || (code == next && next < 4096)) {
            const int produced = code < next ? length[code] : length[previous] + 1;
            pixels += produced;
            if (next < 4096) {
                length[next] = length[previous] + 1;
                ++next;
                if (next == (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            }
        } else {
            break;
        }
        previous = code;
    }
    return pixels;
}

bool gifEndsPrematurely(QByteArrayView data)
{
    const auto byte = [&](qsizetype at) { return uchar(data[at]); };
    if (data.size() < 13)
        return true;
    qsizetype at = 13;
    if (byte(10) & 0x80)
        at += 3 * (qsizetype(2) << (byte(10) & 7));
    while (at < data.size()) {
        const uchar introducer = byte(at++);
        if (introducer == 0x21) { // extension: label, then sub-blocks
            SubBlockBytes blocks(data, at + 1);
            if (!blocks.skipToTerminator())
                return true;
            at = blocks.position();
        } else if (introducer == 0x2C) { // image descriptor
            if (at + 9 > data.size())
                return true;
            const qint64 pixels = qint64(le16(data, at + 4)) * le16(data, at + 6);
            const uchar packed = byte(at + 8);
            at += 9;
            if (packed & 0x80)
                at += 3 * (qsizetype(2) << (packed & 7));
            if (at >= data.size())
                return true;
            const int minimumCodeSize = byte(at++);
            if (pixels == 0 || minimumCodeSize < 1 || minimumCodeSize > 11)
                return true;
            // The data must hold every pixel of the image and end with its terminator.
            SubBlockBytes blocks(data, at);
            return gifPixels(blocks, minimumCodeSize, pixels) < pixels ||
                   !blocks.skipToTerminator();
        } else {
            return true; // the trailer or an unknown block before any image: no picture data
        }
    }
    return true;
}

bool bmpEndsPrematurely(QByteArrayView data)
{
    if (data.size() < 26)
        return true;
    const qint64 offset = le32(data, 10);
    const quint32 headerSize = le32(data, 14);
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerPixel = 0;
    quint32 compression = 0;
    quint32 imageSize = 0;
    if (headerSize == 12) {
        width = le16(data, 18);
        height = le16(data, 20);
        bitsPerPixel = le16(data, 24);
    } else {
        if (data.size() < 38)
            return true;
        width = qint32(le32(data, 18));
        height = std::llabs(qint32(le32(data, 22)));
        bitsPerPixel = le16(data, 28);
        compression = le32(data, 30);
        imageSize = le32(data, 34);
    }
    if (width <= 0 || height <= 0 || bitsPerPixel <= 0 || bitsPerPixel > 64)
        return false;                         // the reader refuses it on its own
    if (compression == 1 || compression == 2) // run-length encoded
        return imageSize != 0 && offset + qint64(imageSize) > data.size();
    if (compression != 0 && compression != 3 && compression != 6)
        return false;
    const qint64 stride = (width * bitsPerPixel + 31) / 32 * 4;
    const qint64 available = data.size() - offset;
    return available < 0 || height > available / stride; // stride * height would overflow
}

} // namespace

QByteArrayView signatureFormat(QByteArrayView head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return "png";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4)))
        return "tiff";
    if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "WEBP")
        return "webp";
    if (head.startsWith("BM") && head.size() >= 18) {
        const quint32 headerSize = le32(head, 14);
        for (const quint32 known : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
            if (headerSize == known)
                return "bmp";
        }
    }
    return {};
}

bool headerDamaged(QByteArrayView data, QByteArrayView format, bool complete)
{
    if (format == "png")
        return data.size() < 8 || pngDamaged(data, true, complete);
    return false;
}

bool isDamaged(QByteArrayView data, QByteArrayView format)
{
    if (format == "jpeg" || format == "jpg")
        return data.size() < 4 || jpegEndsPrematurely(data);
    if (format == "png")
        return data.size() < 8 || pngDamaged(data, false, true);
    if (format == "gif")
        return gifEndsPrematurely(data);
    if (format == "bmp")
        return bmpEndsPrematurely(data);
    return false;
}

} // namespace convert
