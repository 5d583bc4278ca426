#include "convert/pngencoder.h"

#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QString>
#include <QStringList>

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace convert {

namespace {

// The libdeflate level whose output is about the size zlib gives at each level from 0 to 9,
// each level giving smaller files than the one below it (measured on photos scaled to
// 1920 pixels and on screenshots: within 1 % from level 3 up, zlib's default 6 included; level
// 1 of libdeflate compresses as zlib does at 3).
constexpr std::array<int, 10> deflateLevels{0, 1, 1, 2, 3, 4, 5, 6, 7, 9};

// Raw IDAT data is cut into chunks of this size.
constexpr std::size_t idatPiece = 1 << 20;

enum ColourType : uchar
{
    grey = 0,
    rgb = 2,
    rgbAlpha = 6,
};

struct CompressorFree
{
    void operator()(libdeflate_compressor* compressor) const
    {
        libdeflate_free_compressor(compressor);
    }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

void putBig32(uchar* at, quint32 value)
{
    at[0] = uchar(value >> 24);
    at[1] = uchar(value >> 16);
    at[2] = uchar(value >> 8);
    at[3] = uchar(value);
}

void appendBig32(QByteArray& bytes, quint32 value)
{
    uchar four[4];
    putBig32(four, value);
    bytes.append(reinterpret_cast<const char*>(four), 4);
}

// Writes one chunk: length, type, data and the CRC of type and data.
bool writeChunk(QIODevice& device, const char (&type)[5], const void* data, std::size_t size)
{
    uchar head[8];
    putBig32(head, quint32(size));
    std::memcpy(head + 4, type, 4);
    uchar tail[4];
    quint32 crc = libdeflate_crc32(0, head + 4, 4);
    if (size > 0) // a null buffer would restart the CRC
        crc = libdeflate_crc32(crc, data, size);
    putBig32(tail, crc);
    return device.write(reinterpret_cast<const char*>(head), 8) == 8 &&
           (size == 0 ||
            device.write(static_cast<const char*>(data), qint64(size)) == qint64(size)) &&
           device.write(reinterpret_cast<const char*>(tail), 4) == 4;
}

bool writeChunk(QIODevice& device, const char (&type)[5], const QByteArray& data)
{
    return writeChunk(device, type, data.constData(), std::size_t(data.size()));
}

// `data` as a zlib stream.
QByteArray zlibCompressed(libdeflate_compressor* compressor, const QByteArray& data)
{
    QByteArray out(qsizetype(libdeflate_zlib_compress_bound(compressor, std::size_t(data.size()))),
                   Qt::Uninitialized);
    const std::size_t size =
        libdeflate_zlib_compress(compressor, data.constData(), std::size_t(data.size()), out.data(),
                                 std::size_t(out.size()));
    out.truncate(qsizetype(size));
    return out;
}

// A keyword as the PNG chunks take it: Latin-1, 1 to 79 characters.
QByteArray keyword(const QString& text)
{
    return text.left(79).toLatin1();
}

// The ICC profile chunk of the picture's colour space, named by its description; empty when
// the picture has none or its profile is for other samples than the PNG's (an RGB profile
// on a grey picture).
QByteArray iccpChunk(const QImage& picture, ColourType type, libdeflate_compressor* compressor)
{
    const QColorSpace space = picture.colorSpace();
    if (!space.isValid())
        return {};
    const QByteArray profile = space.iccProfile();
    if (profile.size() < 20)
        return {};
    const QByteArray samples = profile.mid(16, 4);
    if (samples != (type == grey ? QByteArrayView("GRAY") : QByteArrayView("RGB ")))
        return {};
    QByteArray name = keyword(space.description()).trimmed();
    if (name.isEmpty())
        name = "Custom";
    return name + '\0' + '\0' + zlibCompressed(compressor, profile);
}

// Whether a text needs the UTF-8 chunk: it holds characters outside printable Latin-1 (a
// line feed is allowed).
bool needsUtf8(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const ushort code = c.unicode();
        return code > 0xff || (code < 0x20 && code != '\n') || (code > 0x7e && code < 0xa0);
    });
}

// Writes the picture's text keys in key order: short Latin-1 text as tEXt, from 40
// characters compressed as zTXt, anything else as iTXt (compressed from 40 characters).
bool writeTexts(QIODevice& device, const QImage& picture, libdeflate_compressor* compressor)
{
    QStringList keys = picture.textKeys();
    keys.sort();
    for (const QString& key : keys) {
        if (key.isEmpty())
            continue;
        const QString value = picture.text(key);
        const bool compressed = value.size() >= 40;
        QByteArray data = keyword(key) + '\0';
        const char* type = "tEXt";
        if (needsUtf8(value)) {
            type = "iTXt";
            data += char(compressed ? 1 : 0);
            data += '\0';
            data += '\0'; // no language tag
            data += key.toUtf8() + '\0';
            data += compressed ? zlibCompressed(compressor, value.toUtf8()) : value.toUtf8();
        } else if (compressed) {
            type = "zTXt";
            data += '\0';
            data += zlibCompressed(compressor, value.toLatin1());
        } else {
            data += value.toLatin1();
        }
        char name[5] = {};
        std::memcpy(name, type, 4);
        if (!writeChunk(device, name, data))
            return false;
    }
    return true;
}

// One row of the picture as PNG samples.
void rowSamples(const QImage& picture, int y, uchar* out)
{
    const int width = picture.width();
    const uchar* line = picture.constScanLine(y);
    switch (picture.format()) {
    case QImage::Format_RGB32:
        for (int x = 0; x < width; ++x, out += 3) {
            const QRgb pixel = reinterpret_cast<const QRgb*>(line)[x];
            out[0] = uchar(qRed(pixel));
            out[1] = uchar(qGreen(pixel));
            out[2] = uchar(qBlue(pixel));
        }
        break;
    case QImage::Format_ARGB32:
        for (int x = 0; x < width; ++x, out += 4) {
            const QRgb pixel = reinterpret_cast<const QRgb*>(line)[x];
            out[0] = uchar(qRed(pixel));
            out[1] = uchar(qGreen(pixel));
            out[2] = uchar(qBlue(pixel));
            out[3] = uchar(qAlpha(pixel));
        }
        break;
    case QImage::Format_RGB888:
        std::memcpy(out, line, std::size_t(width) * 3);
        break;
    default: // Grayscale8
        std::memcpy(out, line, std::size_t(width));
        break;
    }
}

// The weight of a filtered byte in the choice of a filter: its distance from 0 as a signed
// byte.
inline unsigned cost(uchar value)
{
    return value < 128 ? value : 256u - value;
}

inline uchar paeth(int left, int up, int upLeft)
{
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left);
    const int toUp = std::abs(estimate - up);
    const int toUpLeft = std::abs(estimate - upLeft);
    if (toLeft <= toUp && toLeft <= toUpLeft)
        return uchar(left);
    return uchar(toUp <= toUpLeft ? up : upLeft);
}

// Filters `row` (`prior` is the row above, zeros for the first) into `out`: the filter type
// byte, then the row under the filter of least cost. `trial` holds 4 rows of scratch.
void filterRow(const uchar* row, const uchar* prior, std::size_t bytes, int step, uchar* out,
               uchar* trial)
{
    uchar* sub = trial;
    uchar* up = trial + bytes;
    uchar* average = trial + 2 * bytes;
    uchar* predicted = trial + 3 * bytes;
    std::array<unsigned long, 5> costs{};
    for (std::size_t i = 0; i < bytes; ++i) {
        const int left = i >= std::size_t(step) ? row[i - step] : 0;
        const int upLeft = i >= std::size_t(step) ? prior[i - step] : 0;
        const int above = prior[i];
        const int value = row[i];
        sub[i] = uchar(value - left);
        up[i] = uchar(value - above);
        average[i] = uchar(value - ((left + above) >> 1));
        predicted[i] = uchar(value - paeth(left, above, upLeft));
        costs[0] += cost(uchar(value));
        costs[1] += cost(sub[i]);
        costs[2] += cost(up[i]);
        costs[3] += cost(average[i]);
        costs[4] += cost(predicted[i]);
    }
    const int best = int(std::min_element(costs.begin(), costs.end()) - costs.begin());
    out[0] = uchar(best);
    std::memcpy(out + 1, best == 0 ? row : trial + std::size_t(best - 1) * bytes, bytes);
}

template <typename T> std::unique_ptr<T[]> allocated(std::size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

Status encode(const QImage& picture, QIODevice& device, int level)
{
    const ColourType type = picture.format() == QImage::Format_Grayscale8 ? grey
                            : picture.format() == QImage::Format_ARGB32   ? rgbAlpha
                                                                          : rgb;
    const int step = type == grey ? 1 : type == rgbAlpha ? 4 : 3;
    const std::size_t width = std::size_t(picture.width());
    const std::size_t height = std::size_t(picture.height());
    const std::size_t bytes = width * std::size_t(step);
    const std::size_t filteredSize = height * (bytes + 1);

    const Compressor compressor(libdeflate_alloc_compressor(deflateLevels[std::size_t(level)]));
    if (!compressor)
        return Status::EncodeFailed;
    const auto filtered = allocated<uchar>(filteredSize);
    const auto rows = allocated<uchar>(2 * bytes);
    const auto trial = allocated<uchar>(4 * bytes);
    if (!filtered || !rows || !trial)
        return Status::EncodeFailed;
    uchar* current = rows.get();
    uchar* prior = rows.get() + bytes;
    std::memset(prior, 0, bytes);
    for (std::size_t y = 0; y < height; ++y) {
        uchar* out = filtered.get() + y * (bytes + 1);
        rowSamples(picture, int(y), current);
        if (level == 0) {
            out[0] = 0;
            std::memcpy(out + 1, current, bytes);
        } else {
            filterRow(current, prior, bytes, step, out, trial.get());
        }
        std::swap(current, prior);
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    const auto compressed = allocated<uchar>(bound);
    if (!compressed)
        return Status::EncodeFailed;
    const std::size_t compressedSize = libdeflate_zlib_compress(
        compressor.get(), filtered.get(), filteredSize, compressed.get(), bound);
    if (compressedSize == 0)
        return Status::EncodeFailed;

    QByteArray header;
    appendBig32(header, quint32(width));
    appendBig32(header, quint32(height));
    header += char(8);             // bits a sample
    header += char(type);          // colour type
    header += QByteArray(3, '\0'); // deflate, adaptive filters, not interlaced
    const QByteArray profile = iccpChunk(picture, type, compressor.get());
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    bool written = device.write(signature, 8) == 8 && writeChunk(device, "IHDR", header) &&
                   (profile.isEmpty() || writeChunk(device, "iCCP", profile));
    if (written && picture.dotsPerMeterX() > 0 && picture.dotsPerMeterY() > 0) {
        QByteArray resolution;
        appendBig32(resolution, quint32(picture.dotsPerMeterX()));
        appendBig32(resolution, quint32(picture.dotsPerMeterY()));
        resolution += char(1); // per metre
        written = writeChunk(device, "pHYs", resolution);
    }
    if (written && !picture.offset().isNull()) {
        QByteArray offset;
        appendBig32(offset, quint32(picture.offset().x()));
        appendBig32(offset, quint32(picture.offset().y()));
        offset += char(0); // in pixels
        written = writeChunk(device, "oFFs", offset);
    }
    written = written && writeTexts(device, picture, compressor.get());
    for (std::size_t at = 0; written && at < compressedSize; at += idatPiece)
        written = writeChunk(device, "IDAT", compressed.get() + at,
                             std::min(idatPiece, compressedSize - at));
    written = written && writeChunk(device, "IEND", QByteArray());
    return written ? Status::Ok : Status::DestinationWriteFailed;
}

} // namespace

bool pngEncodable(const QImage& picture)
{
    switch (picture.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB888:
    case QImage::Format_Grayscale8:
        return !picture.isNull();
    default:
        return false;
    }
}

Status encodePng(const QImage& picture, QIODevice& device, int level)
{
    if (!pngEncodable(picture))
        return Status::EncodeFailed;
    try {
        return encode(picture, device, std::clamp(level, 0, 9));
    } catch (const std::bad_alloc&) {
        return Status::EncodeFailed;
    }
}

} // namespace convert
