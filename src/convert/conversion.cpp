#include "convert/conversion.h"

#include "convert/atomicfile.h"
#include "convert/pictureloader.h"

#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QPainter>

namespace convert {

EncoderParameters encoderParametersFor(int formatCode, int quality, int pngCompression)
{
    if (formatCode == formatCodePng && pngCompression >= 0 && pngCompression <= 9)
        return {EncoderParameter{compressionParameter, pngCompression}};
    if (formatCode != formatCodeJpeg && formatCode != formatCodeWebp)
        return {};
    const int used = quality >= 0 && quality <= 100 ? quality : defaultJpegQuality;
    return {EncoderParameter{qualityParameter, used}};
}

QImage preparedForFormat(const QImage& source, AlphaHandling alpha)
{
    // The painter, like the encoders, reads a palette picture's table without checking.
    const QImage picture = withCompletePalette(source);
    if (alpha != AlphaHandling::ComposeOnWhite || !picture.hasAlphaChannel())
        return picture;
    QImage flat(picture.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return flat;
    flat.setDotsPerMeterX(picture.dotsPerMeterX());
    flat.setDotsPerMeterY(picture.dotsPerMeterY());
    flat.setColorSpace(picture.colorSpace());
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

Status SauverFormat(const CodecRegistry& registry, const QImage& picture,
                    const QString& destination, int formatCode, int quality, WriteMode mode,
                    int pngCompression)
{
    const OutputFormat* format = outputFormatForCode(formatCode);
    if (!format)
        return Status::UnknownFormat;
    EncoderId id;
    if (registry.ChercheEncodeur(format->mimeType, id) < 0)
        return Status::NoEncoder;
    const Encoder* encoder = registry.encoder(id);
    if (!encoder || !encoder->encode)
        return Status::NoEncoder;
    if (picture.isNull())
        return Status::EncodeFailed;

    const QImage prepared = preparedForFormat(picture, format->alpha);
    if (prepared.isNull())
        return Status::EncodeFailed;
    const EncoderParameters parameters = encoderParametersFor(formatCode, quality, pngCompression);
    return writeAtomically(
        destination,
        [&](QIODevice& device) { return encoder->encode(prepared, device, parameters); }, mode);
}

Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, int quality, WriteMode mode)
{
    const LoadedPicture loaded = PictureLoader::load(source);
    if (!loaded.ok())
        return loaded.status;
    return SauverFormat(registry, loaded.image, destination, formatCode, quality, mode);
}

Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, const ConvertOptions& options, WriteMode mode)
{
    const LoadedPicture loaded = options.maxSize.isEmpty()
                                     ? PictureLoader::load(source)
                                     : PictureLoader::loadWithin(source, options.maxSize);
    if (!loaded.ok())
        return loaded.status;
    return SauverFormat(registry, loaded.image, destination, formatCode, options.quality, mode,
                        options.pngCompression);
}

Status VersBMP(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeBmp, defaultJpegQuality);
}

Status VersJPEG(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality)
{
    return convertFile(registry, source, destination, formatCodeJpeg, quality);
}

Status VersPNG(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodePng, defaultJpegQuality);
}

Status VersGIF(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeGif, defaultJpegQuality);
}

Status VersTIFF(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeTiff, defaultJpegQuality);
}

Status VersWEBP(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality)
{
    return convertFile(registry, source, destination, formatCodeWebp, quality);
}

} // namespace convert
