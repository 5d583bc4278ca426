#include "imaging/metadata.h"

#include "imaging/exiv.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>

#include <exiv2/exiv2.hpp>

#include <array>
#include <string>

using namespace Qt::StringLiterals;

namespace imaging {

struct PictureMetadata::Data
{
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    QByteArray icc;
    // The picture loader turns the pixels of these types upright by their orientation tag;
    // the other types are loaded as stored, and their tag stays true as it is.
    bool turnedOnLoad = false;
};

namespace {

// Tags of a TIFF file's first directory that describe its own pixel data: meaningless, even
// harmful, beside other pixels.
constexpr std::array tiffStructureKeys = {
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.SubIFDs",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.ColorMap",
    "Exif.Image.FillOrder",
};

void eraseKey(Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found != exif.end())
        exif.erase(found);
}

// Sets `key` to `value` where the source has it; an absent tag stays absent.
template <typename Value> void updateExif(Exiv2::ExifData& exif, const char* key, Value value)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found != exif.end())
        *found = value;
}

void updateXmp(Exiv2::XmpData& xmp, const char* key, const std::string& value)
{
    const auto found = xmp.findKey(Exiv2::XmpKey(key));
    if (found != xmp.end())
        *found = value;
}

// An ICC profile describes pixels of one colour model: a grey profile on colour pixels (or
// the reverse), or a CMYK profile on the RGB pixels a CMYK JPEG is decoded to, would shift
// every colour.
bool profileFits(const QByteArray& icc, bool grayscale)
{
    if (icc.size() < 20)
        return false;
    const QByteArrayView model = QByteArrayView(icc).sliced(16, 4);
    return model == (grayscale ? QByteArrayView("GRAY") : QByteArrayView("RGB "));
}

} // namespace

QString unreadableMetadataText()
{
    return u"métadonnées illisibles : la sortie est écrite sans elles"_s;
}

bool holdsMetadata(QByteArrayView mimeType)
{
    for (const char* type : {"image/jpeg", "image/png", "image/tiff", "image/webp"}) {
        if (mimeType.compare(QByteArrayView(type), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QImage inSrgb(const QImage& picture)
{
    const QColorSpace space = picture.colorSpace();
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return picture;
    return picture.convertedToColorSpace(QColorSpace::SRgb);
}

QImage withProfile(const QImage& picture, const PictureMetadata& metadata)
{
    if (picture.colorSpace().isValid() || metadata.isEmpty() || metadata.data->icc.isEmpty())
        return picture;
    const QColorSpace space = QColorSpace::fromIccProfile(metadata.data->icc);
    if (!space.isValid())
        return picture;
    QImage described = picture;
    described.setColorSpace(space);
    return described;
}

QImage withProfileOf(const QImage& picture, const QString& path)
{
    return picture.colorSpace().isValid() ? picture
                                          : withProfile(picture, readMetadata(path).metadata);
}

MetadataRead readMetadata(const QString& path)
{
    initializeExiv2();
    MetadataRead read;
    try {
        // The library takes "-" for its standard input and "data://…" or "file://…" for
        // addresses: a relative path goes as "./…", always a file's. No remote access either.
        const QString file = path.startsWith(QLatin1Char('/')) ? path : QStringLiteral("./") + path;
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString(), false);
        image->readMetadata();
        auto data = std::make_shared<PictureMetadata::Data>();
        data->exif = image->exifData();
        data->xmp = image->xmpData();
        data->iptc = image->iptcData();
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* icc = image->iccProfile();
            data->icc = QByteArray(reinterpret_cast<const char*>(icc->pData_), icc->size_);
        }
        const int type = image->imageType();
        data->turnedOnLoad = type == Exiv2::ImageType::jpeg || type == Exiv2::ImageType::tiff;
        if (type == Exiv2::ImageType::tiff) {
            for (const char* key : tiffStructureKeys)
                eraseKey(data->exif, key);
        }
        if (!data->exif.empty() || !data->xmp.empty() || !data->iptc.empty() ||
            !data->icc.isEmpty())
            read.metadata.data = std::move(data);
    } catch (const Exiv2::AnyError& error) {
        // A type that holds no metadata (an icon) is no fault of the file.
        if (error.code() != Exiv2::kerFileContainsUnknownImageType)
            read.warning = unreadableMetadataText();
    } catch (const std::exception&) { // sizes from a damaged header
        read.warning = unreadableMetadataText();
    }
    return read;
}

MetadataInsertion insertMetadata(const QByteArray& encoded, const PictureMetadata& metadata,
                                 QSize pictureSize, bool grayscale)
{
    MetadataInsertion result{encoded, {}};
    if (metadata.isEmpty())
        return result;
    initializeExiv2();
    const PictureMetadata::Data& source = *metadata.data;
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(encoded.constData()), long(encoded.size()));
        // Takes up what the encoder wrote, such as the name of a PNG's profile, which the
        // library writes again with the new profile.
        image->readMetadata();

        Exiv2::ExifData exif = source.exif;
        Exiv2::XmpData xmp = source.xmp;
        // It shows the picture as it was: after any turn or resize it would lie.
        Exiv2::ExifThumb(exif).erase();
        if (source.turnedOnLoad) {
            updateExif(exif, "Exif.Image.Orientation", uint16_t(1));
            updateXmp(xmp, "Xmp.tiff.Orientation", "1");
        }
        const auto width = uint32_t(pictureSize.width());
        const auto height = uint32_t(pictureSize.height());
        updateExif(exif, "Exif.Photo.PixelXDimension", width);
        updateExif(exif, "Exif.Photo.PixelYDimension", height);
        updateXmp(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
        updateXmp(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));

        image->setExifData(exif);
        image->setXmpData(xmp);
        image->setIptcData(source.iptc);
        if (profileFits(source.icc, grayscale)) {
            Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(source.icc.constData()),
                               long(source.icc.size()));
            image->setIccProfile(icc);
        }
        image->writeMetadata();

        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf written = io.read(long(io.size()));
        if (written.size_ <= 0)
            throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        result.bytes = QByteArray(reinterpret_cast<const char*>(written.pData_), written.size_);
    } catch (const std::exception&) {
        result.bytes = encoded;
        result.warning = unreadableMetadataText();
    }
    return result;
}

} // namespace imaging
