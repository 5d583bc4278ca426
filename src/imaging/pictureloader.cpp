#include "imaging/pictureloader.h"

#include "imaging/damage.h"
#include "imaging/imageiolog.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace convert {

namespace {

constexpr qint64 allocationLimitBytes = qint64(PictureLoader::allocationLimitMiB) * 1024 * 1024;

void applyAllocationLimit()
{
    // The limit is process-wide in Qt; set it once, before the first reader is made.
    static std::once_flag once;
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(PictureLoader::allocationLimitMiB); });
}

// A source file opened for reading. Only a regular file is read: its type is checked before
// the open, and again on the descriptor, which is opened with O_NONBLOCK so that a FIFO put
// in its place between the two does not block the open.
class SourceFile
{
public:
    explicit SourceFile(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        struct stat info;
        if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
            m_status = Status::SourceNotFound;
            return;
        }
        if (!typeAccepted(info))
            return;
        m_fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
            m_status = Status::SourceNotFound;
            return;
        }
        if (typeAccepted(info))
            m_size = info.st_size;
    }
    ~SourceFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    Status status() const { return m_status; }
    qint64 size() const { return m_size; }

    // Reads the whole file; false on a read error. Stops past `limit` bytes.
    bool readAll(QByteArray& bytes, qint64 limit) const
    {
        bytes.resize(qsizetype(qMin(m_size, limit + 1)));
        qsizetype done = 0;
        for (;;) {
            if (done == bytes.size()) {
                if (done > limit)
                    return true;
                bytes.resize(qMin(qsizetype(limit + 1), done + 65536));
            }
            const ssize_t got = ::read(m_fd, bytes.data() + done, std::size_t(bytes.size() - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                break;
            done += got;
        }
        bytes.truncate(done);
        return true;
    }

    // Hands the descriptor to `file`, which closes it.
    bool moveInto(QFile& file)
    {
        if (!file.open(m_fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return false;
        m_fd = -1;
        return true;
    }

private:
    bool typeAccepted(const struct stat& info)
    {
        if (S_ISREG(info.st_mode))
            return true;
        m_status = S_ISDIR(info.st_mode) ? Status::SourceNotFound : Status::SourceNotRegular;
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        return false;
    }

    Status m_status = Status::Ok;
    int m_fd = -1;
    qint64 m_size = 0;
};

Status statusOfReaderError(QImageReader::ImageReaderError error, QByteArrayView head)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
    case QImageReader::DeviceError:
        return Status::SourceNotFound;
    default:
        return signatureFormat(head).isEmpty() ? Status::SourceNotDecodable : Status::SourceDamaged;
    }
}

// A reader opened on a picture, positioned on the image to decode.
struct OpenedPicture
{
    Status status = Status::Ok;
    QSize storedSize;         // as stored in the file, before the EXIF orientation
    bool quarterTurn = false; // the orientation swaps width and height
    QSize uprightSize() const { return quarterTurn ? storedSize.transposed() : storedSize; }
};

// Opens `reader` on `device`, whose first bytes are `head`.
OpenedPicture open(QImageReader& reader, QIODevice* device, QByteArrayView head)
{
    applyAllocationLimit();
    reader.setDevice(device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return {statusOfReaderError(reader.error(), head), {}, false};

    // An icon holds several images: take the largest. An animation starts at its first frame.
    if (!reader.supportsAnimation() && reader.imageCount() > 1) {
        int best = 0;
        qint64 bestArea = -1;
        for (int index = 0; index < reader.imageCount(); ++index) {
            if (!reader.jumpToImage(index))
                continue;
            const QSize size = reader.size();
            const qint64 area = qint64(size.width()) * size.height();
            if (area > bestArea) {
                bestArea = area;
                best = index;
            }
        }
        reader.jumpToImage(best);
    }

    OpenedPicture opened;
    opened.storedSize = reader.size();
    opened.quarterTurn = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    return opened;
}

// One output coordinate's share of the input: `count` weights (of 1 << 14 together) from
// input position `first` on.
struct Taps
{
    int first = 0;
    int count = 0;
    int offset = 0; // into the weight table
};

double lanczos3(double x)
{
    x = std::abs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= 3.0)
        return 0.0;
    const double pi = 3.14159265358979323846;
    return 3.0 * std::sin(pi * x) * std::sin(pi * x / 3.0) / (pi * pi * x * x);
}

// The taps of each of `to` outputs over `from` inputs, weights into `weights`.
std::vector<Taps> tapsFor(int from, int to, std::vector<int>& weights)
{
    const double scale = double(from) / to;
    const double stretch = std::max(scale, 1.0);
    const double support = 3.0 * stretch;
    std::vector<Taps> taps(static_cast<std::size_t>(to));
    std::vector<double> share;
    for (int out = 0; out < to; ++out) {
        const double centre = (out + 0.5) * scale - 0.5;
        const int first = std::max(0, int(std::floor(centre - support)) + 1);
        const int last = std::min(from - 1, int(std::floor(centre + support)));
        share.clear();
        double total = 0;
        for (int in = first; in <= last; ++in) {
            share.push_back(lanczos3((in - centre) / stretch));
            total += share.back();
        }
        Taps& tap = taps[std::size_t(out)];
        tap.first = first;
        tap.count = int(share.size());
        tap.offset = int(weights.size());
        for (const double value : share)
            weights.push_back(int(std::lround(value / total * (1 << 14))));
    }
    return taps;
}

inline int clampedChannel(int sum)
{
    return std::clamp((sum + (1 << 13)) >> 14, 0, 255);
}

// `picture` (32 bits a pixel, no alpha) scaled down to `size` by a Lanczos-3 filter, one
// direction after the other: down first, where every byte of a row takes the same weight (a
// loop the compiler turns into vector code), then across the fewer rows left.
QImage lanczosScaled(const QImage& picture, QSize size)
{
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    const int inWidth = source.width();
    const int inHeight = source.height();
    std::vector<int> xWeights;
    std::vector<int> yWeights;
    const std::vector<Taps> xTaps = tapsFor(inWidth, size.width(), xWeights);
    const std::vector<Taps> yTaps = tapsFor(inHeight, size.height(), yWeights);

    QImage down(inWidth, size.height(), QImage::Format_RGB32);
    QImage result(size, QImage::Format_RGB32);
    if (down.isNull() || result.isNull())
        return {};
    const std::size_t rowBytes = std::size_t(inWidth) * 4;
    std::vector<int> sums(rowBytes);
    for (int y = 0; y < size.height(); ++y) {
        const Taps& tap = yTaps[std::size_t(y)];
        std::fill(sums.begin(), sums.end(), 0);
        int* sum = sums.data();
        for (int i = 0; i < tap.count; ++i) {
            const uchar* in = source.constScanLine(tap.first + i);
            // Weights fit 16 bits: a 16 x 16-bit product is what vector units multiply best.
            const short weight = short(yWeights[std::size_t(tap.offset + i)]);
            for (std::size_t k = 0; k < rowBytes; ++k)
                sum[k] += weight * short(in[k]);
        }
        uchar* out = down.scanLine(y);
        for (std::size_t k = 0; k < rowBytes; ++k)
            out[k] = uchar(clampedChannel(sum[k]));
    }
    for (int y = 0; y < size.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(down.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const Taps& tap = xTaps[std::size_t(x)];
            const int* weight = xWeights.data() + tap.offset;
            int r = 0, g = 0, b = 0;
            for (int i = 0; i < tap.count; ++i) {
                const QRgb pixel = in[tap.first + i];
                r += weight[i] * qRed(pixel);
                g += weight[i] * qGreen(pixel);
                b += weight[i] * qBlue(pixel);
            }
            out[x] = qRgb(clampedChannel(r), clampedChannel(g), clampedChannel(b));
        }
    }
    result.setColorSpace(picture.colorSpace());
    result.setDotsPerMeterX(picture.dotsPerMeterX());
    result.setDotsPerMeterY(picture.dotsPerMeterY());
    return result;
}

// How a smaller size is reached: by the reader alone (its own scaling, a JPEG at a reduced
// DCT size), or by a whole decode, then our Lanczos scaling of that. A JPEG decoded at M/8
// of its size, then scaled, stays 0.3 to 1 dB under a whole decode scaled alike on 24 MP
// photos whatever the M and the ratio (the decoder's reduced sizes are not simply smaller
// pictures); the 8/8 decode is also faster than 6/8 and 7/8 (libjpeg-turbo's fast
// transforms serve 8/8, 4/8, 2/8 and 1/8 only).
enum class Reduction
{
    Reader,
    WholeThenLanczos,
};

// Decodes the picture at the upright size `chooseSize` picks from the natural one (an
// invalid choice keeps the natural size).
LoadedPicture decode(const QString& path, const std::function<QSize(QSize upright)>& chooseSize,
                     Reduction reduction = Reduction::Reader)
{
    // The file is read once into memory: the damage check and the decoder both use the bytes.
    const SourceFile source(path);
    if (source.status() != Status::Ok)
        return {source.status(), {}};
    if (source.size() > allocationLimitBytes)
        return {Status::SourceTooLarge, {}};
    QByteArray bytes;
    if (!source.readAll(bytes, allocationLimitBytes))
        return {Status::SourceNotFound, {}};
    if (bytes.size() > allocationLimitBytes)
        return {Status::SourceTooLarge, {}};
    // libpng prints its own errors on a damaged header: the reader must not see one.
    if (headerDamaged(bytes, signatureFormat(bytes), true))
        return {Status::SourceDamaged, {}};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);

    const ImageIoScope scope;
    QImageReader reader;
    const OpenedPicture opened = open(reader, &buffer, bytes);
    if (opened.status != Status::Ok)
        return {opened.status, {}};

    QSize upright = opened.uprightSize();
    const QSize natural = upright;
    bool scaleAfter = false;
    if (chooseSize && upright.isValid()) {
        const QSize chosen = chooseSize(upright);
        if (chosen.isValid() && !chosen.isEmpty() && chosen != upright) {
            upright = chosen;
            // The reader scales the picture as stored, before turning it upright.
            const QSize stored = opened.quarterTurn ? chosen.transposed() : chosen;
            if (reduction == Reduction::Reader)
                reader.setScaledSize(stored);
            else
                scaleAfter = true;
        }
    }

    // Most handlers decode at natural size before scaling, so both sizes must fit.
    const QImage::Format format = reader.imageFormat();
    const QImage::Format counted =
        format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format;
    if ((natural.isValid() && exceedsAllocationLimit(natural, counted)) ||
        (upright.isValid() && exceedsAllocationLimit(upright, counted)))
        return {Status::SourceTooLarge, {}};

    if (isDamaged(bytes, reader.format()))
        return {Status::SourceDamaged, {}};

    QImage image;
    const WatchedDecode watch;
    if (!reader.read(&image) || image.isNull())
        return {statusOfReaderError(reader.error(), bytes), {}};
    if (watch.damaged())
        return {Status::SourceDamaged, {}};
    image = withCompletePalette(image);
    if (image.isNull())
        return {Status::SourceTooLarge, {}};
    if (scaleAfter && image.size() != upright) {
        image = downscaled(image, upright);
        if (image.isNull())
            return {Status::SourceTooLarge, {}};
    }
    return {Status::Ok, std::move(image)};
}

// The largest index a pixel of the 8-bit palette picture uses, stopping early once it
// reaches `enough`.
int largestIndex(const QImage& picture, int enough)
{
    int largest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* line = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            largest = qMax(largest, int(line[x]));
        if (largest >= enough)
            break;
    }
    return largest;
}

} // namespace

QImage downscaled(const QImage& picture, QSize size)
{
    const bool smaller = size.width() <= picture.width() && size.height() <= picture.height();
    if (!smaller || picture.hasAlphaChannel() || picture.depth() != 32)
        return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return lanczosScaled(picture, size);
}

bool exceedsAllocationLimit(QSize size, QImage::Format format)
{
    if (size.isEmpty())
        return false;
    const int bitsPerPixel = format == QImage::Format_Invalid
                                 ? 32
                                 : qMax(QImage::toPixelFormat(format).bitsPerPixel(), 8u);
    const qint64 bytes = qint64(size.width()) * size.height() * bitsPerPixel / 8;
    return bytes > allocationLimitBytes;
}

QImage withCompletePalette(const QImage& picture)
{
    const bool eightBit = picture.format() == QImage::Format_Indexed8;
    if (!eightBit && picture.format() != QImage::Format_Mono &&
        picture.format() != QImage::Format_MonoLSB)
        return picture;
    QList<QRgb> table = picture.colorTable();
    const int entries = eightBit ? 256 : 2;
    if (picture.isNull() || table.size() == entries)
        return picture;
    if (table.size() > entries) {
        // More entries than the depth can index: libpng refuses such a palette.
        QImage trimmed = picture;
        trimmed.setColorTable(table.first(entries));
        return trimmed;
    }
    if (eightBit && largestIndex(picture, int(table.size())) < table.size())
        return picture;
    if (exceedsAllocationLimit(picture.size(), QImage::Format_ARGB32))
        return {};
    bool alpha = false;
    for (const QRgb colour : std::as_const(table))
        alpha = alpha || qAlpha(colour) != 255;
    while (table.size() < entries)
        table.append(qRgb(0, 0, 0));
    QImage complete = picture;
    complete.setColorTable(table);
    return complete.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

LoadedPicture PictureLoader::load(const QString& path)
{
    return decode(path, {});
}

LoadedPicture PictureLoader::loadScaled(const QString& path, QSize uprightSize)
{
    return decode(path, [uprightSize](QSize) { return uprightSize; });
}

namespace {

QSize fitted(QSize natural, QSize box)
{
    if (box.isEmpty() || (natural.width() <= box.width() && natural.height() <= box.height()))
        return natural;
    return natural.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

} // namespace

LoadedPicture PictureLoader::loadFitted(const QString& path, QSize box)
{
    return decode(path, [box](QSize natural) { return fitted(natural, box); });
}

LoadedPicture PictureLoader::loadWithin(const QString& path, QSize box)
{
    return decode(
        path, [box](QSize natural) { return fitted(natural, box); }, Reduction::WholeThenLanczos);
}

PictureProbe PictureLoader::probe(const QString& path)
{
    SourceFile source(path);
    if (source.status() != Status::Ok)
        return {source.status(), {}, 0};
    const qint64 fileSize = source.size();
    QFile file;
    if (!source.moveInto(file))
        return {Status::SourceNotFound, {}, 0};
    // The start of the file: the signature, and the header that the reader parses.
    const QByteArray head = file.peek(256 * 1024);
    if (headerDamaged(head, signatureFormat(head), head.size() == fileSize))
        return {Status::SourceDamaged, {}, 0};
    const ImageIoScope scope;
    QImageReader reader;
    const OpenedPicture opened = open(reader, &file, head);
    if (opened.status != Status::Ok)
        return {opened.status, {}, 0};
    if (!opened.storedSize.isValid())
        return {signatureFormat(head).isEmpty() ? Status::SourceNotDecodable
                                                : Status::SourceDamaged,
                {},
                0};
    const QImage::Format format = reader.imageFormat();
    const int bits = format == QImage::Format_Invalid
                         ? 32
                         : qMax(int(QImage::toPixelFormat(format).bitsPerPixel()), 32);
    const qint64 pixels = qint64(opened.storedSize.width()) * opened.storedSize.height();
    return {Status::Ok, opened.uprightSize(), fileSize + pixels * bits / 8};
}

qint64 PictureLoader::decodeCost(const QString& path)
{
    const PictureProbe probed = probe(path);
    return probed.status == Status::Ok ? probed.decodeCost : -1;
}

} // namespace convert
