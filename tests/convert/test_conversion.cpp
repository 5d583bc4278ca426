#include "convert/atomicfile.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "convert/singleconversion.h"
#include "imaging/exiv.h"
#include "imaging/pictureloader.h"

#include "convertfixture.h"

#include <QColorSpace>
#include <QImageReader>

#include <exiv2/exiv2.hpp>

#include <tuple>
#include <utility>
#include <vector>

#include <unistd.h>

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

using EncoderCall = std::pair<QByteArray, EncoderParameters>;

// An encoder that records its calls and writes a few bytes.
Encoder recordingEncoder(const QByteArray& name, const QByteArray& mimeType,
                         std::vector<EncoderCall>& calls)
{
    return Encoder{
        EncoderId{name}, mimeType,
        [name, &calls](const QImage&, QIODevice& device, const EncoderParameters& parameters) {
            calls.push_back({name, parameters});
            device.write("data");
            return Status::Ok;
        }};
}

} // namespace

TEST_F(ConversionTest, EverySourceTypeConvertsToEveryFormat)
{
    const QImage picture = testimages::quadrants(64, 48);
    const std::vector<std::tuple<QString, const char*, bool>> sources{
        {u"src.bmp"_s, "BMP", true},    {u"src.jpg"_s, "JPEG", false}, {u"src.png"_s, "PNG", true},
        {u"src.gif"_s, "GIF", true},    {u"src.ico"_s, "ICO", true},   {u"src.tif"_s, "TIFF", true},
        {u"src.webp"_s, "WEBP", false},
    };
    for (const auto& [name, type, lossless] : sources) {
        ASSERT_TRUE(writePicture(picture, path(name), type));
        const LoadedPicture original = PictureLoader::load(path(name));
        ASSERT_EQ(original.status, Status::Ok) << name.toStdString();
        const QImage expected = original.image.convertToFormat(QImage::Format_ARGB32);
        for (const OutputFormat& format : outputFormats()) {
            const QString output = path(u"out-"_s + name + u'.' + format.singleExtension);
            SCOPED_TRACE(QString(output + u" by "_s + format.entryPointName).toStdString());
            ASSERT_EQ(format.convert(registry, path(name), output, conversionJpegQuality),
                      Status::Ok);

            const QImage written = QImage(output).convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(written.size(), picture.size());
            const bool exact = lossless && format.code != formatCodeJpeg &&
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
    for (int i = 0; i < 8 * 40; ++i)
        picture.setPixel(i % 40, i / 40, qRgba(0, 0, 0, 191));
    const QString source = path(u"alpha.png"_s);
    ASSERT_TRUE(testimages::write(picture, source, "PNG"));

    for (const int code : {formatCodeBmp, formatCodeJpeg, formatCodePng, formatCodeGif}) {
        const OutputFormat& format = *outputFormatForCode(code);
        const QString output = path(u"alpha."_s + format.singleExtension);
        SCOPED_TRACE(output.toStdString());
        ASSERT_EQ(format.convert(registry, source, output, 100), Status::Ok);
        const QImage written = QImage(output).convertToFormat(QImage::Format_ARGB32);
        // The fully transparent pixel stays so, or is white in BMP and JPEG.
        const QRgb corner = written.pixel(30, 30);
        if (code == formatCodeBmp || code == formatCodeJpeg)
            EXPECT_LE(maxChannelDifference(corner, qRgb(255, 255, 255)), 6);
        else
            EXPECT_EQ(qAlpha(corner), 0);
        EXPECT_EQ(qAlpha(written.pixel(10, 10)), 255);

        // Three quarters black over white is dark grey where the format cannot keep alpha.
        const QRgb stripe = written.pixel(20, 4);
        if (format.alpha == AlphaHandling::Keep)
            EXPECT_EQ(qAlpha(stripe), 191);
        else
            EXPECT_LE(maxChannelDifference(stripe, qRgba(64, 64, 64, 255)), 12);
    }
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
        EXPECT_EQ(contents(source), sourceBytes);
        EXPECT_EQ(contents(outside), "outside");
        EXPECT_FALSE(QFileInfo::exists(path(u"missing.png"_s)));
    }
    EXPECT_EQ(entries(dir.path()), QStringList({u"out.png"_s, u"src.png"_s}));
}

TEST_F(ConversionTest, MetadataIsKeptUprightWithoutThumbnailAndBackAgain)
{
    const QString source = cameraPhoto(path(u"photo.jpg"_s));
    const Metadata before = metadataOf(source);
    ASSERT_FALSE(before.text("Exif.GPSInfo.GPSLatitude").isEmpty());
    ASSERT_GT(Exiv2::ExifThumbC(before.exif).copy().size_, 0);
    // From, to, format, and the box of --max-size.
    const std::vector<std::tuple<QString, QString, int, QSize>> steps{
        {source, path(u"out.jpg"_s), formatCodeJpeg, {}},
        {source, path(u"out.png"_s), formatCodePng, {}},
        {path(u"out.png"_s), path(u"back.jpg"_s), formatCodeJpeg, {}},
        {source, path(u"out.tif"_s), formatCodeTiff, {}},
        {source, path(u"small.webp"_s), formatCodeWebp, QSize(240, 240)},
    };
    for (const auto& [from, to, format, box] : steps) {
        SCOPED_TRACE(to.toStdString());
        QString warning;
        ASSERT_EQ(convertFile(registry, from, to, format, {.maxSize = box, .keep = {}},
                              WriteMode::Replace, &warning),
                  Status::Ok);
        EXPECT_EQ(warning, QString());
        const Metadata after = metadataOf(to);
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.Model",
                                "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude"})
            EXPECT_EQ(after.text(key), before.text(key)) << key;
        EXPECT_EQ(after.text("Exif.Image.Orientation"), u"1"_s);
        EXPECT_EQ(Exiv2::ExifThumbC(after.exif).copy().size_, 0);
        EXPECT_EQ(after.icc, before.icc);
        EXPECT_FALSE(after.xmp.empty());
        EXPECT_EQ(after.iptc.empty(), format == formatCodeWebp); // WebP holds no IPTC
        const QImage written(to); // upright, its profile accepted by the decoder
        EXPECT_EQ(written.size(), box.isEmpty() ? QSize(480, 640) : QSize(180, 240));
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
    for (const auto& [name, code] :
         {std::pair{u"small.bmp"_s, formatCodeBmp}, std::pair{u"small.png"_s, formatCodePng}})
        ASSERT_EQ(convertFile(registry, source, path(name), code,
                              {.maxSize = QSize(240, 240), .keep = {}}),
                  Status::Ok);
    const QImage smallWide(path(u"small.png"_s));
    ASSERT_EQ(smallWide.colorSpace(), QColorSpace(QColorSpace::AdobeRgb));
    const QImage smallSrgb = smallWide.convertedToColorSpace(QColorSpace::SRgb);
    const QImage smallBmp(path(u"small.bmp"_s));
    ASSERT_EQ(smallBmp.size(), QSize(180, 240));
    EXPECT_NE(smallWide.pixel(90, 120), smallSrgb.pixel(90, 120));
    EXPECT_EQ(smallBmp.pixel(90, 120), smallSrgb.pixel(90, 120));
}

// The first encoder listed for a format's type, in any case, is used, with exactly that format's
// parameters.
TEST_F(ConversionTest, CodecRegistrySaveUsesTheFirstEncoderWithItsFormatsParameters)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry recording({recordingEncoder("gif", "IMAGE/GIF", calls),
                                   recordingEncoder("jpeg", "image/jpeg", calls),
                                   recordingEncoder("jpeg-2", "image/jpeg", calls),
                                   recordingEncoder("gif-2", "image/gif", calls)});
    // Format, quality asked, and the call expected.
    const std::vector<std::tuple<int, int, EncoderCall>> rows{
        {formatCodeJpeg, -1, {"jpeg", {{qualityParameter, 75}}}},
        {formatCodeJpeg, 0, {"jpeg", {{qualityParameter, 0}}}},
        {formatCodeJpeg, 100, {"jpeg", {{qualityParameter, 100}}}},
        {formatCodeJpeg, 101, {"jpeg", {{qualityParameter, 75}}}},
        {formatCodeGif, 90, {"gif", {}}},
    };
    for (const auto& [code, quality, expected] : rows) {
        SCOPED_TRACE(::testing::Message() << "code " << code << " quality " << quality);
        calls.clear();
        EXPECT_EQ(
            SauverFormat(recording, testimages::quadrants(4, 4), path(u"out"_s), code, quality),
            Status::Ok);
        EXPECT_EQ(calls, std::vector<EncoderCall>{expected});
    }
}

TEST(CodecSession, StartNeedsAllFourEncodersAndEndReleasesThem)
{
    CodecSession session;
    EXPECT_EQ(session.start(), Status::Ok);
    EXPECT_FALSE(session.registry().encoders().empty());
    session.end();
    EXPECT_FALSE(session.isOpen());
    EXPECT_TRUE(session.registry().encoders().empty());
    session.end(); // a second end, or an end after a failed start, is harmless

    CodecRegistry::hideMimeTypeForTesting("IMAGE/GIF");
    CodecSession failing;
    EXPECT_EQ(failing.start(), Status::NoEncoder);
    EXPECT_FALSE(failing.isOpen());
    failing.end();
    CodecRegistry::clearHiddenMimeTypesForTesting();
}

TEST(OutputFormats, ListOrderDefaultEntryAndSourceTypeEdges)
{
    EXPECT_EQ(outputFormatListTexts().join(u'|'),
              u"BMP - Windows Bitmap|GIF - Compuserve GIF|JPG - JPG Images|"
              u"PNG - Portable Network Graphics|TIF - Tagged Image File Format|WEBP - WebP"_s);
    EXPECT_EQ(outputFormatAt(defaultOutputFormatPosition)->code, formatCodeJpeg);
    // The type comes from the very end of the name, dot or not; see also the batch's matrix.
    EXPECT_EQ(sourceTypeOf(u"noextensionpng"_s), SourceType::Png);
    EXPECT_EQ(sourceTypeOf(u"photo.jpg.bak"_s), SourceType::None);
}

TEST(SingleConversion, OutputPaths)
{
    // Original, convOrig, repertConv, format position, output.
    const std::vector<std::tuple<QString, bool, QString, int, QString>> rows{
        {u"/img/photo.png"_s, true, u"/out"_s, 2, u"/img/photo.jpg"_s},
        {u"/img/photo.jpeg"_s, true, u"/out"_s, 3, u"/img/photo.png"_s},
        {u"/img/photo.jpg"_s, false, u"/out"_s, 1, u"/out/photo.gif"_s},
        {u"/img/photo.jpg"_s, false, u"/out/"_s, 1, u"/out/photo.gif"_s},
        {u"/img/a.b.ico"_s, false, u"/"_s, 3, u"/a.b.png"_s},
        {u"/img/photo.webp"_s, true, u""_s, 3, u"/img/photo.png"_s},
        {u"/img/scan.TIFF"_s, true, u""_s, 5, u"/img/scan.webp"_s},
    };
    for (const auto& [original, convOrig, repertConv, position, output] : rows) {
        const QString base = singleOutputBasePath(original, convOrig, repertConv);
        EXPECT_EQ(singleOutputPath(base, *outputFormatAt(position)), output)
            << original.toStdString();
    }
}

TEST(SingleConversion, PreviewFitAndOutputSize)
{
    const std::vector<std::pair<QSize, QSize>> fits{
        {{800, 400}, {200, 100}}, {{100, 300}, {50, 150}}, {{120, 90}, {120, 90}},
        {{150, 600}, {38, 150}},  {{30000, 10}, {200, 1}},
    };
    for (const auto& [natural, shown] : fits) {
        const double ratio = double(natural.width()) / natural.height();
        EXPECT_EQ(previewFit(natural, QSize(200, 150), ratio), shown) << natural.width();
    }
    // Width, ratio, height: 2.5 and 3.5 round half to even, a panorama never gets 0.
    const std::vector<std::tuple<int, double, int>> heights{
        {300, 1.5, 200}, {5, 2.0, 2}, {7, 2.0, 4}, {300, 1000.0, 1}};
    for (const auto& [width, ratio, height] : heights)
        EXPECT_EQ(outputHeightFor(width, ratio), height) << width;
}

TEST_F(ConversionTest, SingleOriginalDeletedOnlyWhenTheOutputIsAnotherFile)
{
    const QImage picture = testimages::quadrants(64, 48, true);
    // Original; another name of it, as a case-insensitive card shows it; deleted; saved anew
    // between the reading and the deletion.
    const std::vector<std::tuple<QString, QString, bool, bool>> rows{
        {u"photo.png"_s, {}, true, false},
        {u"photo.jpg"_s, {}, false, false},
        {u"photo.JPG"_s, u"photo.jpg"_s, false, false},
        {u"photo.png"_s, {}, false, true},
    };
    for (const auto& [name, link, deleted, changed] : rows) {
        SCOPED_TRACE(name.toStdString());
        QTemporaryDir folder;
        const QString original = folder.filePath(name);
        ASSERT_TRUE(testimages::write(picture, original, "PNG"));
        ASSERT_TRUE(link.isEmpty() ||
                    ::link(QFile::encodeName(original).constData(),
                           QFile::encodeName(folder.filePath(link)).constData()) == 0);
        const auto stamp = fileops::stampOf(original);
        ASSERT_TRUE(!changed || testimages::write(testimages::quadrants(32, 32), original, "PNG"));
        const QString output = folder.filePath(u"photo.jpg"_s);
        const SingleResult result = convertPicture(registry, picture, picture.size(), original,
                                                   stamp, output, *outputFormatAt(2), {}, true);
        EXPECT_FALSE(QImage(output).isNull());
        EXPECT_EQ(std::pair(result.originalDeleted, result.originalChanged),
                  std::pair(deleted, changed));
        EXPECT_EQ(QFile::exists(original), !deleted);
    }
}

TEST_F(ConversionTest, SingleRescalesSmoothlyToTheOutputSize)
{
    const QImage picture = testimages::quadrants(400, 200);
    const QString output = dir.filePath(u"out.png"_s);
    const SingleResult result = convertPicture(registry, picture, QSize(300, 150), u"/none"_s,
                                               std::nullopt, output, *outputFormatAt(3), {}, false);
    ASSERT_TRUE(result.written());
    const QImage written(output);
    EXPECT_EQ(written.size(), QSize(300, 150));
    EXPECT_EQ(written.pixel(10, 10), picture.pixel(10, 10));
    EXPECT_EQ(written.pixel(290, 140), picture.pixel(390, 190));

    // Over the loader's allocation limit: refused before anything is scaled or written.
    const QString huge = dir.filePath(u"huge.png"_s);
    EXPECT_EQ(convertPicture(registry, picture, QSize(20000, 20000), u"/none"_s, std::nullopt, huge,
                             *outputFormatAt(3), {}, false)
                  .status,
              Status::SourceTooLarge);
    EXPECT_FALSE(QFile::exists(huge));
}
