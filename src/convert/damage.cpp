#include "convert/damage.h"

#include <QtEndian>

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

bool pngEndsPrematurely(QByteArrayView data)
{
    qsizetype at = 8; // signature
    while (at + 8 <= data.size()) {
        const quint32 length = qFromBigEndian<quint32>(data.data() + at);
        const QByteArrayView type = data.sliced(at + 4, 4);
        const qint64 next = qint64(at) + 12 + qint64(length);
        if (next > data.size())
            return true;
        if (type == "IEND")
            return false;
        at = qsizetype(next);
    }
    return true;
}

bool gifEndsPrematurely(QByteArrayView data)
{
    const auto byte = [&](qsizetype at) { return uchar(data[at]); };
    if (data.size() < 13)
        return true;
    qsizetype at = 13;
    if (byte(10) & 0x80)
        at += 3 * (qsizetype(2) << (byte(10) & 7));
    // Skips data sub-blocks up to their terminator; false when the data runs out first.
    const auto skipSubBlocks = [&]() {
        while (at < data.size()) {
            const uchar size = byte(at++);
            if (size == 0)
                return true;
            at += size;
        }
        return false;
    };
    while (at < data.size()) {
        const uchar introducer = byte(at++);
        if (introducer == 0x21) { // extension: label, then sub-blocks
            ++at;
            if (!skipSubBlocks())
                return true;
        } else if (introducer == 0x2C) { // image descriptor
            if (at + 9 > data.size())
                return true;
            const uchar packed = byte(at + 8);
            at += 9;
            if (packed & 0x80)
                at += 3 * (qsizetype(2) << (packed & 7));
            ++at; // LZW minimum code size
            return at > data.size() || !skipSubBlocks();
        } else {
            return false; // trailer before any image, or a block the reader will refuse
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

bool endsPrematurely(QByteArrayView data, QByteArrayView format)
{
    if (format == "jpeg" || format == "jpg")
        return data.size() < 4 || jpegEndsPrematurely(data);
    if (format == "png")
        return data.size() < 8 || pngEndsPrematurely(data);
    if (format == "gif")
        return gifEndsPrematurely(data);
    if (format == "bmp")
        return bmpEndsPrematurely(data);
    return false;
}

} // namespace convert
