#include "convert/conversion.h"

#include "convert/atomicfile.h"
#include "imaging/imageiolog.h"
#include "imaging/pictureloader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QIODevice>
#include <QImage>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>

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

namespace {

// Whether the encoders write `picture` with grey samples only (an ICC profile must match).
bool writtenGrey(const QImage& picture)
{
    switch (picture.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return true;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
        return picture.isGrayscale(); // looks at the colour table only
    default:
        return false;
    }
}

} // namespace

QImage profiledFor(const OutputFormat& format, const QImage& picture, const QString& source)
{
    // Only a format without a profile of its own needs the pixels' colour space, to convert
    // them to sRGB; one that holds metadata gets the file's profile itself.
    if (imaging::holdsMetadata(format.mimeType) || picture.colorSpace().isValid())
        return picture;
    struct stat st;
    if (::stat(QFile::encodeName(source).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return picture;
    const ImageIoScope scope; // Qt's profile parser reports what it refuses
    return imaging::withProfileOf(picture, source);
}

KeptSource readKept(const QString& source, const OutputFormat& format, const SourceKeeping& keep)
{
    KeptSource kept;
    if (!keep.metadata && !keep.modificationTime)
        return kept;
    struct stat st;
    if (::stat(QFile::encodeName(source).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return kept;
    if (keep.modificationTime)
        kept.modified = st.st_mtim;
    if (keep.metadata && imaging::holdsMetadata(format.mimeType)) {
        imaging::MetadataRead read = imaging::readMetadata(source);
        kept.metadata = std::move(read.metadata);
        kept.warning = std::move(read.warning);
    }
    return kept;
}

bool applyKeptTime(const QString& output, const KeptSource& kept)
{
    if (!kept.modified)
        return true;
    const timespec times[2] = {{0, UTIME_OMIT}, *kept.modified};
    // The output was just put in place as a regular file: a link found there now is not ours.
    return ::utimensat(AT_FDCWD, QFile::encodeName(output).constData(), times,
                       AT_SYMLINK_NOFOLLOW) == 0;
}

QString keptTimeFailureText()
{
    return QStringLiteral("la date du fichier d'origine n'a pas pu être reprise");
}

Status SauverFormat(const CodecRegistry& registry, const QImage& picture,
                    const QString& destination, int formatCode, int quality, WriteMode mode,
                    int pngCompression, const imaging::PictureMetadata& metadata, QString* warning)
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

    const bool holdsMetadata = imaging::holdsMetadata(format->mimeType);
    const ImageIoScope scope; // Qt's colour code reports profiles it refuses
    // Without a profile, readers take the pixels as sRGB.
    const QImage prepared = preparedForFormat(
        holdsMetadata ? imaging::withProfile(picture, metadata) : imaging::inSrgb(picture),
        format->alpha);
    if (prepared.isNull())
        return Status::EncodeFailed;
    const EncoderParameters parameters = encoderParametersFor(formatCode, quality, pngCompression);
    if (!holdsMetadata || metadata.isEmpty())
        return writeAtomically(
            destination,
            [&](QIODevice& device) { return encoder->encode(prepared, device, parameters); }, mode);

    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        const Status status = encoder->encode(prepared, buffer, parameters);
        if (status != Status::Ok)
            return status;
    }
    imaging::MetadataInsertion inserted =
        imaging::insertMetadata(encoded, metadata, prepared.size(), writtenGrey(prepared));
    encoded.clear();
    if (warning && !inserted.warning.isEmpty())
        *warning = inserted.warning;
    return writeAtomically(destination, inserted.bytes, mode);
}

Status convertFile(const CodecRegistry& registry, const QString& source, const QString& destination,
                   int formatCode, const ConvertOptions& options, WriteMode mode, QString* warning)
{
    const LoadedPicture loaded = options.maxSize.isEmpty()
                                     ? PictureLoader::load(source)
                                     : PictureLoader::loadWithin(source, options.maxSize);
    if (!loaded.ok())
        return loaded.status;
    const OutputFormat* format = outputFormatForCode(formatCode);
    const KeptSource kept = format ? readKept(source, *format, options.keep) : KeptSource{};
    QString insertionWarning;
    const Status status =
        SauverFormat(registry, format ? profiledFor(*format, loaded.image, source) : loaded.image,
                     destination, formatCode, options.quality, mode, options.pngCompression,
                     kept.metadata, &insertionWarning);
    if (status != Status::Ok)
        return status;
    if (warning)
        *warning = kept.warning.isEmpty() ? insertionWarning : kept.warning;
    if (!applyKeptTime(destination, kept) && warning)
        *warning = keptTimeFailureText();
    return status;
}

namespace {

ConvertOptions withQuality(int quality)
{
    ConvertOptions options;
    options.quality = quality;
    return options;
}

} // namespace

Status VersBMP(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeBmp);
}

Status VersJPEG(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality)
{
    return convertFile(registry, source, destination, formatCodeJpeg, withQuality(quality));
}

Status VersPNG(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodePng);
}

Status VersGIF(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeGif);
}

Status VersTIFF(const CodecRegistry& registry, const QString& source, const QString& destination)
{
    return convertFile(registry, source, destination, formatCodeTiff);
}

Status VersWEBP(const CodecRegistry& registry, const QString& source, const QString& destination,
                int quality)
{
    return convertFile(registry, source, destination, formatCodeWebp, withQuality(quality));
}

} // namespace convert
