#include "convert/pictureloader.h"

#include "convert/damage.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QString>

#include <cstring>
#include <functional>
#include <mutex>

namespace convert {

namespace {

void applyAllocationLimit()
{
    // The limit is process-wide in Qt; set it once, before the first reader is made.
    static std::once_flag once;
    std::call_once(once,
                   [] { QImageReader::setAllocationLimit(PictureLoader::allocationLimitMiB); });
}

// libjpeg reports a premature end of data as a warning and Qt's JPEG reader passes its
// warnings to this logging category. The decode running on a thread registers itself in
// `currentDecode`, so a warning raised by several decodes at once is charged to the one that
// raised it: Qt's reader runs libjpeg on the thread that called read().
constexpr char jpegCategory[] = "qt.gui.imageio.jpeg";

struct DecodeWatch
{
    bool damaged = false;
};

thread_local DecodeWatch* currentDecode = nullptr;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void watchJpegWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (currentDecode && context.category && std::strcmp(context.category, jpegCategory) == 0) {
        // "Premature end of JPEG file", "Corrupt JPEG data: premature end of data segment".
        // Other warnings (extraneous bytes, common on sound camera files) are not damage.
        if (text.contains(QLatin1String("premature end"), Qt::CaseInsensitive))
            currentDecode->damaged = true;
        return; // the loader reports through its status; nothing is logged
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

void keepJpegWarningsEnabled(QLoggingCategory* category)
{
    if (previousFilter)
        previousFilter(category);
    if (std::strcmp(category->categoryName(), jpegCategory) == 0)
        category->setEnabled(QtWarningMsg, true);
}

// Registers the calling thread's decode for the JPEG warnings during its lifetime.
class WatchedDecode
{
public:
    WatchedDecode()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            previousHandler = qInstallMessageHandler(&watchJpegWarnings);
            previousFilter = QLoggingCategory::installFilter(&keepJpegWarningsEnabled);
        });
        m_outer = currentDecode;
        currentDecode = &m_watch;
    }
    ~WatchedDecode() { currentDecode = m_outer; }
    WatchedDecode(const WatchedDecode&) = delete;
    WatchedDecode& operator=(const WatchedDecode&) = delete;
    bool damaged() const { return m_watch.damaged; }

private:
    DecodeWatch m_watch;
    DecodeWatch* m_outer = nullptr;
};

Status statusOfReaderError(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
    case QImageReader::DeviceError:
        return Status::SourceNotFound;
    default:
        return Status::SourceNotDecodable;
    }
}

bool exceedsAllocationLimit(QSize size, QImage::Format format)
{
    const int bitsPerPixel = format == QImage::Format_Invalid
                                 ? 32
                                 : qMax(QImage::toPixelFormat(format).bitsPerPixel(), 8u);
    const qint64 bytes = qint64(size.width()) * size.height() * bitsPerPixel / 8;
    return bytes > qint64(PictureLoader::allocationLimitMiB) * 1024 * 1024;
}

// A reader opened on a picture, positioned on the image to decode.
struct OpenedPicture
{
    Status status = Status::Ok;
    QSize storedSize;         // as stored in the file, before the EXIF orientation
    bool quarterTurn = false; // the orientation swaps width and height
    QSize uprightSize() const { return quarterTurn ? storedSize.transposed() : storedSize; }
};

// Opens `reader` on `device` (when given) or on the file `path`.
OpenedPicture open(QImageReader& reader, const QString& path, QIODevice* device = nullptr)
{
    applyAllocationLimit();
    if (device) {
        reader.setDevice(device);
    } else {
        const QFileInfo info(path);
        if (!info.exists() || info.isDir())
            return {Status::SourceNotFound, {}, false};
        reader.setFileName(path);
    }
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return {statusOfReaderError(reader.error()), {}, false};

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

// Decodes the opened picture at the upright size `chooseSize` picks from the natural one
// (an invalid choice keeps the natural size).
LoadedPicture decode(const QString& path, const std::function<QSize(QSize upright)>& chooseSize)
{
    // The file is read once into memory: the damage check and the decoder both use the bytes.
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return {Status::SourceNotFound, {}};
    if (info.size() > qint64(PictureLoader::allocationLimitMiB) * 1024 * 1024)
        return {Status::SourceTooLarge, {}};
    if (!file.open(QIODevice::ReadOnly))
        return {Status::SourceNotFound, {}};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {Status::SourceNotFound, {}};
    file.close();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);

    QImageReader reader;
    const OpenedPicture opened = open(reader, path, &buffer);
    if (opened.status != Status::Ok)
        return {opened.status, {}};

    QSize upright = opened.uprightSize();
    const QSize natural = upright;
    if (chooseSize && upright.isValid()) {
        const QSize chosen = chooseSize(upright);
        if (chosen.isValid() && !chosen.isEmpty() && chosen != upright) {
            upright = chosen;
            // The reader scales the picture as stored, before turning it upright.
            reader.setScaledSize(opened.quarterTurn ? chosen.transposed() : chosen);
        }
    }

    // Most handlers decode at natural size before scaling, so both sizes must fit.
    const QImage::Format format = reader.imageFormat();
    if ((natural.isValid() && exceedsAllocationLimit(natural, format)) ||
        (upright.isValid() && exceedsAllocationLimit(upright, format)))
        return {Status::SourceTooLarge, {}};

    if (endsPrematurely(bytes, reader.format()))
        return {Status::SourceDamaged, {}};

    QImage image;
    const WatchedDecode watch;
    if (!reader.read(&image) || image.isNull())
        return {statusOfReaderError(reader.error()), {}};
    if (watch.damaged())
        return {Status::SourceDamaged, {}};
    return {Status::Ok, std::move(image)};
}

} // namespace

LoadedPicture PictureLoader::load(const QString& path)
{
    return decode(path, {});
}

LoadedPicture PictureLoader::loadScaled(const QString& path, QSize uprightSize)
{
    return decode(path, [uprightSize](QSize) { return uprightSize; });
}

LoadedPicture PictureLoader::loadFitted(const QString& path, QSize box)
{
    return decode(path, [box](QSize natural) {
        if (box.isEmpty() || (natural.width() <= box.width() && natural.height() <= box.height()))
            return natural;
        return natural.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    });
}

PictureProbe PictureLoader::probe(const QString& path)
{
    QImageReader reader;
    const OpenedPicture opened = open(reader, path);
    if (opened.status != Status::Ok)
        return {opened.status, {}};
    if (!opened.storedSize.isValid())
        return {Status::SourceNotDecodable, {}};
    return {Status::Ok, opened.uprightSize()};
}

} // namespace convert
