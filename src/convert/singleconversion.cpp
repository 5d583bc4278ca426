#include "convert/singleconversion.h"

#include "convert/conversion.h"
#include "imaging/exiv.h"
#include "imaging/pictureloader.h"

#include <QImage>

#include <cmath>
#include <limits>

namespace convert {

int roundHalfEven(double value)
{
    return int(std::nearbyint(value)); // the default rounding mode rounds halves to even
}

QString singleOutputBasePath(const QString& originalPath, bool convOrig, const QString& repertConv)
{
    if (convOrig)
        return originalPath;
    const QString name = originalPath.mid(originalPath.lastIndexOf(u'/') + 1);
    return fileops::withSlash(repertConv) + name;
}

QString singleOutputPath(const QString& basePath, const OutputFormat& format)
{
    const SourceType type = sourceTypeOf(basePath, true);
    const qsizetype cut = type == SourceType::Tif || type == SourceType::Tiff ||
                                  type == SourceType::Webp || type == SourceType::Jpeg
                              ? sourceTypeSuffixLength(type)
                              : 3;
    return basePath.chopped(qMin(cut, basePath.size())) + format.singleExtension;
}

QSize previewFit(QSize natural, QSize box, double aspectRatio)
{
    const double w = natural.width();
    const double h = natural.height();
    const double mw = box.width();
    const double mh = box.height();
    double fw = mw;
    double fh = mh;
    if (w <= mw && h <= mh) {
        fw = w;
        fh = h;
    } else if (w >= mw) {
        fh = mw / aspectRatio;
        if (fh > mh) {
            fh = mh;
            fw = mh * aspectRatio;
        }
    } else {
        fw = mh * aspectRatio;
        if (fw > mw) {
            fw = mw;
            fh = mw / aspectRatio;
        }
    }
    return QSize(qMax(1, roundHalfEven(fw)), qMax(1, roundHalfEven(fh)));
}

int outputHeightFor(int width, double aspectRatio)
{
    if (!(aspectRatio > 0))
        return 1;
    const double height = width / aspectRatio;
    if (!(height < double(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max();
    return qMax(1, roundHalfEven(height));
}

bool fitsMemoryLimit(QSize size)
{
    constexpr qint64 limit = qint64(PictureLoader::allocationLimitMiB) << 20;
    return size.width() > 0 && size.height() > 0 &&
           qint64(size.width()) * size.height() * 4 <= limit;
}

SingleResult convertPicture(const CodecRegistry& registry, const QImage& picture, QSize outputSize,
                            const QString& originalPath,
                            const std::optional<fileops::FileStamp>& readStamp,
                            const QString& outputPath, const OutputFormat& format,
                            const ConvertOptions& options, bool deleteOriginal,
                            const fileops::RemoveOptions& removal,
                            const fileops::TrashFallback& deleteForGood)
{
    imaging::initializeExiv2();
    // Decided now: once saved, the output is a new file even where it replaced the original.
    const bool outputIsOriginal = fileops::sameFile(originalPath, outputPath);
    // Read before the save, which may replace the original.
    const KeptSource kept = readKept(originalPath, format, options.keep);
    QString insertionWarning;
    const auto save = [&](const QImage& pixels) {
        return SauverFormat(registry, profiledFor(format, pixels, originalPath), outputPath,
                            format.code, options.quality, WriteMode::Replace,
                            options.pngCompression, kept.metadata, &insertionWarning);
    };
    SingleResult result;
    if (outputSize.isEmpty() || outputSize == picture.size()) {
        result.status = save(picture);
    } else if (!fitsMemoryLimit(outputSize)) {
        result.status = Status::SourceTooLarge;
    } else {
        const QImage scaled =
            picture.scaled(outputSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        result.status = scaled.isNull() ? Status::EncodeFailed : save(scaled);
    }
    if (result.written()) {
        result.warning = kept.warning.isEmpty() ? insertionWarning : kept.warning;
        if (!applyKeptTime(outputPath, kept))
            result.warning = keptTimeFailureText();
    }
    if (result.written() && deleteOriginal && !outputIsOriginal) {
        if (!readStamp || !fileops::unchangedSince(originalPath, *readStamp)) {
            result.originalChanged = true;
            return result;
        }
        const fileops::RemovalResult removed =
            fileops::removeOrTrash(originalPath, removal, deleteForGood);
        result.originalDeleted = removed.removal == fileops::Removal::Deleted ||
                                 removed.removal == fileops::Removal::Trashed;
        if (!removed.ok())
            result.deletionFailure = removed.failure;
    }
    return result;
}

} // namespace convert
