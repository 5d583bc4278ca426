#include "convert/codecregistry.h"

#include "convert/gifencoder.h"
#include "convert/outputformats.h"
#include "convert/pngencoder.h"
#include "imaging/imageiolog.h"
#include "imaging/pictureloader.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace convert {

namespace {

QMutex hiddenMutex;
QSet<QByteArray>& hiddenMimeTypes()
{
    static QSet<QByteArray> hidden;
    return hidden;
}

bool isHidden(const QByteArray& mimeType)
{
    const QMutexLocker lock(&hiddenMutex);
    return hiddenMimeTypes().contains(mimeType.toLower());
}

Status encodeWithQt(const QByteArray& format, const QImage& picture, QIODevice& device,
                    const EncoderParameters& parameters)
{
    const ImageIoScope scope;
    // Qt's writers read a palette picture's colour table without checking its indices.
    const QImage complete = withCompletePalette(picture);
    if (complete.isNull())
        return Status::EncodeFailed;
    const auto encodeInto = [&](QIODevice& target) {
        QImageWriter writer(&target, format);
        for (const EncoderParameter& parameter : parameters) {
            if (parameter.name == qualityParameter &&
                writer.supportsOption(QImageIOHandler::Quality))
                writer.setQuality(parameter.value);
            // Qt's PNG writer takes 0 to 100 and keeps value * 9 / 91 as the zlib level.
            if (parameter.name == compressionParameter &&
                writer.supportsOption(QImageIOHandler::CompressionRatio))
                writer.setCompression((parameter.value * 91 + 8) / 9);
        }
        if (writer.write(complete))
            return Status::Ok;
        return writer.error() == QImageWriter::DeviceError ? Status::DestinationWriteFailed
                                                           : Status::EncodeFailed;
    };
    if (format != "png" && format != "tif" && format != "tiff")
        return encodeInto(device);
    // libpng and libtiff print their own errors when the device fails (a full disk): a PNG
    // or TIFF is encoded into memory first.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const Status status = encodeInto(buffer);
    if (status != Status::Ok)
        return status;
    return device.write(bytes) == bytes.size() ? Status::Ok : Status::DestinationWriteFailed;
}

std::optional<Encoder> qtEncoder(const QByteArray& mimeType)
{
    if (!QImageWriter::supportedMimeTypes().contains(mimeType))
        return std::nullopt;
    const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mimeType);
    if (formats.isEmpty())
        return std::nullopt;
    const QByteArray format = formats.first();
    return Encoder{
        EncoderId{"qt:" + format}, mimeType,
        [format](const QImage& picture, QIODevice& device, const EncoderParameters& parameters) {
            return encodeWithQt(format, picture, device, parameters);
        }};
}

Encoder gifEncoder()
{
    return Encoder{EncoderId{"morvane:gif"}, "image/gif",
                   [](const QImage& picture, QIODevice& device, const EncoderParameters&) {
                       return encodeGif(picture, device);
                   }};
}

// Our PNG encoder for the 8-bit layouts it takes (faster than Qt's writer, whose zlib
// takes most of a conversion's time), Qt's writer for the others.
Encoder pngEncoder()
{
    return Encoder{
        EncoderId{"morvane:png"}, "image/png",
        [](const QImage& picture, QIODevice& device, const EncoderParameters& parameters) {
            if (!pngEncodable(picture))
                return encodeWithQt("png", picture, device, parameters);
            int level = defaultPngLevel;
            for (const EncoderParameter& parameter : parameters) {
                if (parameter.name == compressionParameter)
                    level = parameter.value;
            }
            return encodePng(picture, device, level);
        }};
}

} // namespace

CodecRegistry::CodecRegistry(std::vector<Encoder> encoders) : m_encoders(std::move(encoders)) {}

CodecRegistry CodecRegistry::system()
{
    std::vector<Encoder> encoders;
    for (const OutputFormat& format : outputFormats()) {
        const QByteArray mimeType = format.mimeType.toByteArray();
        if (isHidden(mimeType))
            continue;
        // Qt has no GIF writer; ours is the only one listed for GIF.
        if (format.code == formatCodeGif) {
            encoders.push_back(gifEncoder());
        } else if (format.code == formatCodePng) {
            encoders.push_back(pngEncoder());
        } else if (std::optional<Encoder> encoder = qtEncoder(mimeType)) {
            encoders.push_back(std::move(*encoder));
        }
    }
    return CodecRegistry(std::move(encoders));
}

int CodecRegistry::ChercheEncodeur(QByteArrayView mimeType, EncoderId& id) const
{
    for (std::size_t index = 0; index < m_encoders.size(); ++index) {
        if (m_encoders[index].mimeType.compare(mimeType, Qt::CaseInsensitive) == 0) {
            id = m_encoders[index].id;
            return int(index) + 1;
        }
    }
    return -1;
}

const Encoder* CodecRegistry::encoder(const EncoderId& id) const
{
    for (const Encoder& candidate : m_encoders) {
        if (candidate.id == id)
            return &candidate;
    }
    return nullptr;
}

bool CodecRegistry::coversOutputFormats() const
{
    for (const OutputFormat& format : outputFormats()) {
        EncoderId id;
        if (format.required && ChercheEncodeur(format.mimeType, id) < 0)
            return false;
    }
    return true;
}

void CodecRegistry::hideMimeTypeForTesting(const QByteArray& mimeType)
{
    const QMutexLocker lock(&hiddenMutex);
    hiddenMimeTypes().insert(mimeType.toLower());
}

void CodecRegistry::clearHiddenMimeTypesForTesting()
{
    const QMutexLocker lock(&hiddenMutex);
    hiddenMimeTypes().clear();
}

Status CodecSession::start()
{
    CodecRegistry registry = CodecRegistry::system();
    if (!registry.coversOutputFormats())
        return Status::NoEncoder;
    m_registry = std::move(registry);
    return Status::Ok;
}

void CodecSession::end()
{
    m_registry.reset();
}

const CodecRegistry& CodecSession::registry() const
{
    static const CodecRegistry empty;
    return m_registry ? *m_registry : empty;
}

} // namespace convert
