#include "convert/atomicfile.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/exiv.h"
#include "imaging/pictureloader.h"

#include "convertfixture.h"

#include <QColorSpace>
#include <QImageReader>

#include <exiv2/exiv2.hpp>

#include <vector>

using namespace convert;
using namespace converttest;
using namespace Qt::StringLiterals;

namespace {

int maxChannelDifference(QRgb a, QRgb b)
{
    return qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                qAbs(qBlue(a) - qBlue(b)));
}

using ConversionTest = ConvertTest;

struct Metadata
{
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    QByteArray icc;
    QString text(const char* key) const
    {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        return found == exif.end() ? QString() : QString::fromStdString(found->toString());
    }
};

Metadata metadataOf(const QString& path)
{
    imaging::initializeExiv2();
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Metadata found{image->exifData(), image->xmpData(), image->iptcData(), {}};
    if (image->iccProfileDefined())
        found.icc = QByteArray(reinterpret_cast<const char*>(image->iccProfile()->pData_),
                               image->iccProfile()->size_);
    return found;
}

// The camera photo of the test data, turned a quarter by its orientation tag, with IPTC and a
// wide-gamut colour profile added.
QString cameraPhoto(const QString& path)
{
    QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    imaging::initializeExiv2();
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    image->exifData()["Exif.Image.Orientation"] = uint16_t(6);
    image->iptcData()["Iptc.Application2.Copyright"] = std::string("Morvane");
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.constData()), icc.size());
    image->setIccProfile(profile);
    image->writeMetadata();
    return path;
}

} // namespace

TEST_F(ConversionTest, EverySourceTypeConvertsToEveryFormat)
{
    const QImage picture = testimages::quadrants(64, 48);
    struct Source
    {
        QString name;
        const char* format;
        bool lossless;
    };
    const std::vector<Source> sources{
        {u"src.bmp"_s, "BMP", true}, {u"src.jpg"_s, "JPEG", false}, {u"src.png"_s, "PNG", true},
        {u"src.gif"_s, "GIF", true}, {u"src.ico"_s, "ICO", true},   {u"src.JPEG"_s, "JPEG", false},
    };
    for (const Source& source : sources) {
        ASSERT_TRUE(writePicture(picture, path(source.name), source.format));
        const LoadedPicture original = PictureLoader::load(path(source.name));
        ASSERT_EQ(original.status, Status::Ok) << source.name.toStdString();
        const QImage expected = original.image.convertToFormat(QImage::Format_ARGB32);
        for (const OutputFormat& format : outputFormats()) {
            const QString output = path(u"out-"_s + source.name + u'.' + format.singleExtension);
            SCOPED_TRACE(QString(output + u" by "_s + format.entryPointName).toStdString());
            ASSERT_EQ(format.convert(registry, path(source.name), output, conversionJpegQuality),
                      Status::Ok);

            QImageReader reader(output);
            EXPECT_EQ(reader.format(), QImageReader::imageFormat(output));
            const QImage written = reader.read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(written.size(), picture.size());
            const bool exact = source.lossless && format.code != formatCodeJpeg &&
                               format.code != formatCodeGif && format.code != formatCodeWebp;
            if (exact) {
                EXPECT_EQ(written, expected);
                continue;
            }
            // Lossy targets keep each quadrant's colour.
            for (const QPoint point :
                 {QPoint(16, 12), QPoint(48, 12), QPoint(16, 36), QPoint(48, 36)})
                EXPECT_LE(maxChannelDifference(written.pixel(point), expected.pixel(point)), 16);
        }
    }
}

TEST_F(ConversionTest, TransparencyPerFormat)
{
    // Bottom-right quadrant fully transparent; a half-opaque stripe at the top.
    QImage picture = testimages::quadrants(40, 40, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 0, 191));
    const QString source = path(u"alpha.png"_s);
    ASSERT_TRUE(testimages::write(picture, source, "PNG"));

    struct Row
    {
        int code;
        QRgb transparentCorner; // what the fully transparent pixel becomes
        int tolerance;
    };
    const std::vector<Row> rows{
        {formatCodeBmp, qRgba(255, 255, 255, 255), 0},
        {formatCodeJpeg, qRgba(255, 255, 255, 255), 6},
        {formatCodePng, qRgba(0, 0, 0, 0), 0},
        {formatCodeGif, qRgba(0, 0, 0, 0), 0},
    };
    for (const Row& row : rows) {
        const OutputFormat& format = *outputFormatForCode(row.code);
        const QString output = path(u"alpha."_s + format.singleExtension);
        SCOPED_TRACE(output.toStdString());
        ASSERT_EQ(format.convert(registry, source, output, 100), Status::Ok);
        const QImage written = QImage(output).convertToFormat(QImage::Format_ARGB32);
        const QRgb corner = written.pixel(30, 30);
        EXPECT_EQ(qAlpha(corner), qAlpha(row.transparentCorner));
        if (qAlpha(corner) == 255) {
            EXPECT_LE(maxChannelDifference(corner, row.transparentCorner), row.tolerance);
        }
        EXPECT_EQ(qAlpha(written.pixel(10, 10)), 255);

        // Three quarters black over white is dark grey where the format cannot keep alpha.
        const QRgb stripe = written.pixel(20, 4);
        if (format.alpha == AlphaHandling::Keep)
            EXPECT_EQ(qAlpha(stripe), 191);
        else
            EXPECT_LE(maxChannelDifference(stripe, qRgba(64, 64, 64, 255)), 12);
    }

    // A GIF pixel is either the transparent entry or opaque.
    const QImage gif = QImage(path(u"alpha.gif"_s)).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < gif.height(); ++y) {
        for (int x = 0; x < gif.width(); ++x) {
            const int alpha = qAlpha(gif.pixel(x, y));
            ASSERT_TRUE(alpha == 0 || alpha == 255) << x << "," << y << ": " << alpha;
        }
    }
}

TEST_F(ConversionTest, UnwritableDestinationLeavesNothingBehind)
{
    const QString source = path(u"src.png"_s);
    ASSERT_TRUE(testimages::write(testimages::quadrants(8, 8), source, "PNG"));
    ASSERT_TRUE(testimages::writeBytes(path(u"file.txt"_s), "not a folder"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.png"_s));
    const QStringList before = entries(dir.path());

    const std::vector<QString> destinations{
        path(u"missing/out.png"_s),
        path(u"file.txt/out.png"_s),
        path(u"folder.png"_s),
        path(QString(300, u'n') + u".png"_s),
        QString(),
    };
    for (const QString& destination : destinations) {
        SCOPED_TRACE(destination.toStdString());
        for (const OutputFormat& format : outputFormats())
            EXPECT_EQ(format.convert(registry, source, destination, 90),
                      Status::DestinationNotWritable);
        EXPECT_EQ(entries(dir.path()), before);
        EXPECT_TRUE(entries(path(u"folder.png"_s)).isEmpty());
    }
}

TEST_F(ConversionTest, SaveReplacesThePreviousFileOnlyWhenEncodingSucceeds)
{
    const QString destination = path(u"out.png"_s);
    ASSERT_TRUE(testimages::writeBytes(destination, "previous contents"));
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);

    // An encoder that writes part of its output, then fails.
    const CodecRegistry failing(
        {Encoder{EncoderId{"broken"}, "image/png",
                 [](const QImage&, QIODevice& device, const EncoderParameters&) {
                     device.write(QByteArray(4096, 'x'));
                     return Status::EncodeFailed;
                 }}});
    EXPECT_EQ(SauverFormat(failing, picture, destination, formatCodePng, 75), Status::EncodeFailed);
    EXPECT_EQ(contents(destination), "previous contents");
    EXPECT_EQ(entries(dir.path()), QStringList{u"out.png"_s});

    EXPECT_EQ(SauverFormat(registry, picture, destination, formatCodePng, 75), Status::Ok);
    EXPECT_EQ(QImage(destination).size(), QSize(8, 8));
    EXPECT_EQ(entries(dir.path()), QStringList{u"out.png"_s});
}

TEST_F(ConversionTest, JpegQualityReachesTheWriter)
{
    const QString source = path(u"src.png"_s);
    ASSERT_TRUE(testimages::write(detailed(64, 64), source, "PNG"));
    for (const int quality : {5, 100, 101, 75})
        ASSERT_EQ(VersJPEG(registry, source, path(u"%1.jpg"_s.arg(quality)), quality), Status::Ok);
    EXPECT_LT(QFileInfo(path(u"5.jpg"_s)).size(), QFileInfo(path(u"100.jpg"_s)).size());
    EXPECT_EQ(contents(path(u"101.jpg"_s)), contents(path(u"75.jpg"_s)));
}

// A link at the output name is replaced as a name: neither the source it may point to nor a
// file outside the output folder is ever written. Without replacing, any entry holding the
// name (a dangling link too) keeps it.
TEST_F(ConversionTest, LinkAtTheOutputIsReplacedNotFollowed)
{
    const QString source = path(u"src.png"_s);
    ASSERT_TRUE(testimages::write(testimages::quadrants(16, 16), source, "PNG"));
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(u"outside.png"_s);
    ASSERT_TRUE(testimages::writeBytes(outside, "outside"));
    const QByteArray sourceBytes = contents(source);

    const QString output = path(u"out.png"_s);
    for (const QString& target : {source, outside, path(u"missing.png"_s)}) {
        SCOPED_TRACE(target.toStdString());
        QFile::remove(output);
        ASSERT_TRUE(QFile::link(target, output));
        EXPECT_EQ(writeAtomically(output, QByteArray("new"), WriteMode::NoReplace),
                  Status::DestinationExists);
        EXPECT_EQ(QFileInfo(output).symLinkTarget(), target);

        EXPECT_EQ(VersPNG(registry, source, output), Status::Ok);
        EXPECT_FALSE(QFileInfo(output).isSymLink());
        EXPECT_EQ(QImage(output).size(), QSize(16, 16));
        EXPECT_EQ(contents(source), sourceBytes);
        EXPECT_EQ(contents(outside), "outside");
        EXPECT_FALSE(QFileInfo::exists(path(u"missing.png"_s)));
    }
    EXPECT_EQ(entries(dir.path()), QStringList({u"out.png"_s, u"src.png"_s}));
    EXPECT_EQ(writeAtomically(path(u"new.bin"_s), QByteArray("new"), WriteMode::NoReplace),
              Status::Ok);
    EXPECT_EQ(contents(path(u"new.bin"_s)), "new");
}

TEST_F(ConversionTest, MetadataIsKeptUprightWithoutThumbnailAndBackAgain)
{
    const QString source = cameraPhoto(path(u"photo.jpg"_s));
    const Metadata before = metadataOf(source);
    ASSERT_FALSE(before.text("Exif.GPSInfo.GPSLatitude").isEmpty());
    ASSERT_GT(Exiv2::ExifThumbC(before.exif).copy().size_, 0);
    const struct
    {
        QString from, to;
        int format;
        QSize box; // --max-size
    } steps[] = {{source, path(u"out.jpg"_s), formatCodeJpeg, {}},
                 {source, path(u"out.png"_s), formatCodePng, {}},
                 {path(u"out.png"_s), path(u"back.jpg"_s), formatCodeJpeg, {}},
                 {source, path(u"out.tif"_s), formatCodeTiff, {}},
                 {source, path(u"small.webp"_s), formatCodeWebp, QSize(240, 240)}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.to.toStdString());
        QString warning;
        ConvertOptions options;
        options.maxSize = step.box;
        ASSERT_EQ(convertFile(registry, step.from, step.to, step.format, options,
                              WriteMode::Replace, &warning),
                  Status::Ok);
        EXPECT_EQ(warning, QString());
        const Metadata after = metadataOf(step.to);
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.Model",
                                "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude"})
            EXPECT_EQ(after.text(key), before.text(key)) << key;
        EXPECT_EQ(after.text("Exif.Image.Orientation"), u"1"_s);
        EXPECT_EQ(Exiv2::ExifThumbC(after.exif).copy().size_, 0);
        EXPECT_EQ(after.icc, before.icc);
        EXPECT_FALSE(after.xmp.empty());
        EXPECT_EQ(after.iptc.empty(), step.format == formatCodeWebp); // WebP holds no IPTC
        const QImage written(step.to); // upright, its profile accepted by the decoder
        EXPECT_EQ(written.size(), step.box.isEmpty() ? QSize(480, 640) : QSize(180, 240));
        EXPECT_EQ(after.text("Exif.Photo.PixelXDimension"), QString::number(written.width()));
        EXPECT_EQ(written.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    }
}

TEST_F(ConversionTest, BmpAndGifCarryNoMetadataAndGetSrgbPixels)
{
    const QString source = cameraPhoto(path(u"photo.jpg"_s));
    // As stored: turned upright, the picture loses its colour space in Qt's reader.
    QImageReader reader(source);
    reader.setAutoTransform(false);
    const QImage stored = reader.read();
    ASSERT_EQ(stored.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    const QTransform upright = QTransform().rotate(90);
    const QImage wide = stored.transformed(upright);
    const QImage srgb = stored.convertedToColorSpace(QColorSpace::SRgb).transformed(upright);
    for (const int format : {formatCodeBmp, formatCodeGif}) {
        const QString output = path(u"out%1"_s.arg(format));
        ASSERT_EQ(convertFile(registry, source, output, format), Status::Ok);
        const Metadata after = metadataOf(output);
        EXPECT_TRUE(after.exif.empty() && after.xmp.empty() && after.icc.isEmpty()) << format;
    }
    const QImage bmp(path(u"out%1"_s.arg(formatCodeBmp)));
    const QPoint at(240, 320);
    EXPECT_NE(wide.pixel(at), srgb.pixel(at)); // the profile does change this colour
    EXPECT_EQ(bmp.pixel(at), srgb.pixel(at));

    // Scaled down on loading, the pixels still get their colour space back: the BMP has
    // what the PNG, which keeps the profile, shows once converted.
    ConvertOptions small;
    small.maxSize = QSize(240, 240);
    ASSERT_EQ(convertFile(registry, source, path(u"small.bmp"_s), formatCodeBmp, small),
              Status::Ok);
    ASSERT_EQ(convertFile(registry, source, path(u"small.png"_s), formatCodePng, small),
              Status::Ok);
    const QImage smallWide(path(u"small.png"_s));
    ASSERT_EQ(smallWide.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    const QImage smallSrgb = smallWide.convertedToColorSpace(QColorSpace::SRgb);
    const QImage smallBmp(path(u"small.bmp"_s));
    ASSERT_EQ(smallBmp.size(), QSize(180, 240));
    EXPECT_NE(smallWide.pixel(90, 120), smallSrgb.pixel(90, 120));
    EXPECT_EQ(smallBmp.pixel(90, 120), smallSrgb.pixel(90, 120));
}
