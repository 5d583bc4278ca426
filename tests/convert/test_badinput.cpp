// Damaged, foreign and hostile sources, and how the picture loader reads sound ones.
#include "convert/atomicfile.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/pictureloader.h"

#include "benchutil.h"

#include "convertfixture.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QtConcurrent>
#include <QtEndian>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace convert;
using namespace converttest;
using namespace Qt::StringLiterals;

namespace {

class BadInputTest : public ConvertTest
{
protected:
    // Writes the detailed picture as `name` in `format` and returns the file's bytes.
    QByteArray writeSample(const QString& name, const char* format, int width = 160,
                           int height = 120)
    {
        EXPECT_TRUE(writePicture(detailed(width, height), path(name), format));
        return contents(path(name));
    }
};

QByteArray le(quint32 value, int size)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes.left(size);
}

// An 8-bit BMP of 16 x 16 whose colour table has `entries` entries while its pixels use
// every index from 0 to 255.
QByteArray shortPaletteBmp(int entries)
{
    const quint32 offset = 14 + 40 + 4 * entries;
    QByteArray bytes = "BM" + le(offset + 256, 4) + le(0, 4) + le(offset, 4);
    bytes += le(40, 4) + le(16, 4) + le(16, 4) + le(1, 2) + le(8, 2) + le(0, 4) + le(256, 4) +
             le(2835, 4) + le(2835, 4) + le(entries, 4) + le(0, 4);
    for (int entry = 0; entry < entries; ++entry)
        bytes += le(qRgb(entry, 255 - entry, 128), 4);
    for (int index = 0; index < 256; ++index)
        bytes += char(index);
    return bytes;
}

// Everything written to the standard error (descriptor 2) while `run` runs.
QByteArray standardError(const std::function<void()>& run)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "capture failed";
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

// A JPEG whose frame header declares `width` x `height`, cut before its end marker.
QByteArray jpegDeclaring(quint16 width, quint16 height)
{
    QByteArray bytes = encoded(testimages::quadrants(8, 8), "JPEG");
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    qToBigEndian(height, bytes.data() + frame + 5);
    qToBigEndian(width, bytes.data() + frame + 7);
    return bytes.chopped(2);
}

// One icon file holding the single-image icons `parts` as Qt's writer writes them.
QByteArray combineIcons(const std::vector<QByteArray>& parts)
{
    QByteArray header = QByteArray::fromHex("00000100") + char(parts.size()) + char(0);
    QByteArray data;
    for (const QByteArray& part : parts) {
        QByteArray entry = part.mid(6, 16); // its image follows at 6 + 16
        qToLittleEndian(quint32(6 + 16 * parts.size() + data.size()), entry.data() + 12);
        header += entry;
        data += part.mid(22);
    }
    return header + data;
}

// Something like a photo: soft gradients, shapes with sharp edges, fine grain.
QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(
                x, y, qRgb(x * 255 / width, y * 255 / height, 128 + int(60 * std::sin(x * 0.01))));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(21);
    for (int i = 0; i < 120; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate() | 0xff000000u));
        painter.setPen(Qt::NoPen);
        const int side = 20 + int(random.bounded(200));
        painter.drawEllipse(int(random.bounded(width)), int(random.bounded(height)), side, side);
    }
    painter.end();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = picture.pixel(x, y);
            const int grain = int(random.bounded(17)) - 8;
            const auto add = [grain](int v) { return qBound(0, v + grain, 255); };
            picture.setPixel(x, y, qRgb(add(qRed(c)), add(qGreen(c)), add(qBlue(c))));
        }
    return picture;
}

using PictureLoaderTest = ConvertTest;

} // namespace

// A damaged source converts to nothing: see SourcesAreJudgedByTheirContent.
TEST_F(BadInputTest, SourcesThatEndEarlyAreDamaged)
{
    // Format, name, and the fraction of the file kept, or the bytes cut off when negative.
    const std::vector<std::tuple<const char*, QString, double>> rows{
        {"JPEG", u"cut.jpg"_s, 0.6},   {"JPEG", u"cutscan.jpg"_s, 0.3}, {"PNG", u"cut.png"_s, 0.7},
        {"PNG", u"noiend.png"_s, -12}, {"GIF", u"cut.gif"_s, 0.5},      {"BMP", u"cut.bmp"_s, 0.9},
        {"BMP", u"oneline.bmp"_s, -1},
    };
    for (const auto& [format, name, keep] : rows) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray full = writeSample(name, format);
        const qsizetype kept =
            keep > 0 ? qsizetype(full.size() * keep) : full.size() + qsizetype(keep);
        ASSERT_TRUE(testimages::writeBytes(path(name), full.left(kept)));
        EXPECT_EQ(PictureLoader::load(path(name)).status, Status::SourceDamaged);
    }
}

TEST_F(BadInputTest, SoundFilesWithHarmlessOddities)
{
    const QByteArray jpeg = writeSample(u"base.jpg"_s, "JPEG");
    // Bytes after the end marker, and extraneous bytes before the scan (libjpeg warns).
    QByteArray extraneous = jpeg;
    extraneous.insert(jpeg.indexOf("\xFF\xDA"), QByteArray("\x00\x11\x22", 3));
    const QByteArray gif = writeSample(u"base.gif"_s, "GIF");
    const std::vector<std::pair<QString, QByteArray>> rows{
        {u"trailing.jpg"_s, jpeg + QByteArray(300, '\0')},
        {u"extraneous.jpg"_s, extraneous},
        {u"notrailer.gif"_s, gif.chopped(1)},
    };
    for (const auto& [name, bytes] : rows) {
        ASSERT_TRUE(testimages::writeBytes(path(name), bytes));
        EXPECT_TRUE(PictureLoader::load(path(name)).ok()) << name.toStdString();
    }
}

// A scan cut short and closed by an end marker: libjpeg warns about the premature end of the
// data segment while the file looks complete. Decoded side by side with sound files, each
// decode must get its own verdict.
TEST_F(BadInputTest, JpegWarningsAreChargedToTheirOwnDecode)
{
    const QByteArray jpeg = writeSample(u"sound.jpg"_s, "JPEG", 640, 480);
    const qsizetype scan = jpeg.indexOf("\xFF\xDA");
    ASSERT_GT(scan, 0);
    const QByteArray cut = jpeg.left(scan + (jpeg.size() - scan) / 3) + "\xFF\xD9";
    ASSERT_TRUE(testimages::writeBytes(path(u"cut.jpg"_s), cut));

    QStringList paths;
    for (int i = 0; i < 24; ++i)
        paths.append(path(i % 3 == 1 ? u"cut.jpg"_s : u"sound.jpg"_s));
    const QList<Status> statuses = QtConcurrent::blockingMapped(
        paths, [](const QString& file) { return PictureLoader::load(file).status; });
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(statuses[i], i % 3 == 1 ? Status::SourceDamaged : Status::Ok) << i;
}

// Loading, probing and converting agree; the content decides, not the name.
TEST_F(BadInputTest, SourcesAreJudgedByTheirContent)
{
    const QImage picture = testimages::quadrants(40, 30);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.bmp"_s));
    // Name, content (none: not written), verdict. A known signature over broken data is
    // damaged, not foreign.
    for (const auto& [name, bytes, status] : std::vector<std::tuple<QString, QByteArray, Status>>{
             {u"empty.jpg"_s, "", Status::SourceNotDecodable},
             {u"text.png"_s, "not a picture at all\n", Status::SourceNotDecodable},
             {u"sig.png"_s, QByteArray::fromHex("89504e470d0a1a0a"), Status::SourceDamaged},
             {u"broken.jpg"_s, QByteArray::fromHex("ffd8ffe00000") + QByteArray(90, 'x'),
              Status::SourceDamaged},
             {u"missing.gif"_s, {}, Status::SourceNotFound},
             {u"folder.bmp"_s, {}, Status::SourceNotFound},
             {u"png-named.jpg"_s, encoded(picture, "PNG"), Status::Ok},
             {u"bmp-named.gif"_s, encoded(picture, "BMP"), Status::Ok}}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(bytes.isNull() || testimages::writeBytes(path(name), bytes));
        const LoadedPicture loaded = PictureLoader::load(path(name));
        EXPECT_EQ(loaded.status, status);
        EXPECT_EQ(PictureLoader::probe(path(name)).status, status);
        EXPECT_EQ(loaded.image.isNull(), status != Status::Ok);
        if (status == Status::Ok) {
            EXPECT_EQ(loaded.image.size(), picture.size());
            EXPECT_EQ(loaded.image.pixel(2, 2), picture.pixel(2, 2));
        }
        const QString output = path(name + u".out.gif"_s);
        EXPECT_EQ(VersGIF(registry, path(name), output), status);
        EXPECT_EQ(QFile::exists(output), status == Status::Ok);
    }
}

TEST_F(BadInputTest, FullDiskFailsEveryFormatAndKeepsThePreviousFile)
{
    const QString source = path(u"source.png"_s);
    ASSERT_TRUE(testimages::write(detailed(300, 200), source, "PNG"));
    for (const OutputFormat& format : outputFormats()) {
        SCOPED_TRACE(format.entryPointName.data());
        const QString output = path(u"out."_s + format.batchExtension);
        ASSERT_TRUE(testimages::writeBytes(output, "previous"));
        for (const qint64 budget : {qint64(0), qint64(700)}) {
            convert::testing::setWriteFailureHook(
                [&](const QString& destination) { return destination == output ? budget : -1; });
            // Quietly: libpng prints its own error when its device fails.
            const QByteArray errors = standardError([&] {
                EXPECT_EQ(format.convert(registry, source, output, 90),
                          Status::DestinationWriteFailed);
            });
            EXPECT_EQ(errors.toStdString(), "");
            convert::testing::setWriteFailureHook({});
            EXPECT_EQ(contents(output), "previous");
            EXPECT_EQ(entries(dir.path()),
                      QStringList({QFileInfo(output).fileName(), u"source.png"_s}));
        }
        QFile::remove(output);
    }
}

// A FIFO (or any file that is not a regular one) is refused at once, never waited on.
TEST_F(BadInputTest, OnlyRegularFilesAreRead)
{
    const QString fifo = path(u"p.jpg"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto statuses = std::make_shared<std::promise<std::vector<Status>>>();
    std::future<std::vector<Status>> done = statuses->get_future();
    const QString output = path(u"out.png"_s);
    std::thread([statuses, fifo, output, this] {
        statuses->set_value(
            {PictureLoader::load(fifo).status,
             PictureLoader::loadFitted(fifo, QSize(20, 20)).status,
             PictureLoader::loadScaled(fifo, QSize(20, 20)).status,
             PictureLoader::probe(fifo).status,
             PictureLoader::decodeCost(fifo) == -1 ? Status::SourceNotRegular : Status::Ok,
             VersPNG(registry, fifo, output)});
    }).detach(); // left blocked, should the loader wait on the FIFO
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(done.get(), std::vector<Status>(6, Status::SourceNotRegular));
    EXPECT_FALSE(QFile::exists(output));
}

// A palette picture whose pixels go past its colour table reaches every encoder completed:
// the output is the same every time, and no library complains.
TEST_F(BadInputTest, ShortPalettesAreCompletedBeforeEncoding)
{
    const QString bmp = path(u"palette.bmp"_s);
    ASSERT_TRUE(testimages::writeBytes(bmp, shortPaletteBmp(101)));
    const LoadedPicture loaded = PictureLoader::load(bmp);
    ASSERT_EQ(loaded.status, Status::Ok);
    EXPECT_EQ(loaded.image.pixel(0, 15), qRgb(0, 255, 128)); // index 0, bottom-up
    EXPECT_EQ(loaded.image.pixel(15, 0), qRgb(0, 0, 0));     // index 255, beyond the table

    const QByteArray errors = standardError([&] {
        for (const OutputFormat& format : outputFormats()) {
            const QString first = path(u"first."_s + format.singleExtension);
            const QString second = path(u"second."_s + format.singleExtension);
            EXPECT_EQ(format.convert(registry, bmp, first, 90), Status::Ok);
            EXPECT_EQ(format.convert(registry, bmp, second, 90), Status::Ok);
            EXPECT_EQ(contents(first), contents(second)) << format.entryPointName.data();
        }
        // Handed to the save directly, with a translucent table: composed onto white first.
        QImage indexed(16, 16, QImage::Format_Indexed8);
        for (int index = 0; index < 256; ++index)
            indexed.scanLine(index / 16)[index % 16] = uchar(index);
        indexed.setColorTable({qRgba(255, 0, 0, 100), qRgba(0, 0, 255, 200)});
        for (const OutputFormat& format : outputFormats()) {
            const QString output = path(u"indexed."_s + format.singleExtension);
            EXPECT_EQ(SauverFormat(registry, indexed, output, format.code, 90), Status::Ok);
            const QRgb beyond = QImage(output).pixel(15, 15); // opaque black past the table
            EXPECT_TRUE(qAlpha(beyond) == 255 && qGray(beyond) < 40)
                << format.entryPointName.data();
        }
    });
    EXPECT_EQ(errors.toStdString(), "");
}

// The errors libpng and libtiff print themselves on a damaged file never reach the standard
// error; other messages still do.
TEST_F(BadInputTest, ImageLibraryErrorsStayQuiet)
{
    // A picture chunk failing its CRC.
    QByteArray badCrc = encoded(detailed(32, 32), "PNG");
    badCrc[badCrc.indexOf("IDAT") + 10] ^= 0x55;
    ASSERT_TRUE(testimages::writeBytes(path(u"crc.png"_s), badCrc));
    // A cut TIFF or WebP is damaged.
    for (const char* format : {"tiff", "webp"})
        ASSERT_TRUE(testimages::writeBytes(path(u"cut."_s + QLatin1String(format)),
                                           encoded(detailed(64, 64), format).left(200)));

    const QByteArray errors = standardError([&] {
        for (const char* name : {"cut.tiff", "cut.webp"})
            EXPECT_EQ(VersPNG(registry, path(QLatin1String(name)), path(u"cut.png"_s)),
                      Status::SourceDamaged)
                << name;
        EXPECT_EQ(PictureLoader::probe(path(u"crc.png"_s)).status, Status::Ok);
        EXPECT_EQ(VersJPEG(registry, path(u"crc.png"_s), path(u"crc.jpg"_s), 90),
                  Status::SourceDamaged);
        qWarning("unrelated warning");
    });
    EXPECT_EQ(errors.trimmed().toStdString(), "unrelated warning");
}

// A GIF must hold the data of its first image: missing or cut short, it is damaged, whatever
// size its header declares.
TEST_F(BadInputTest, GifWithoutImageDataIsDamaged)
{
    // A 11390 x 12595 screen, four colours, a graphic control extension.
    const QByteArray head = "GIF89a" + le(11390, 2) + le(12595, 2) + QByteArray::fromHex("810000") +
                            QByteArray(12, '\x40') + QByteArray::fromHex("21f9040000000000");
    // An image of the screen's size whose codes are only "clear" and "end".
    const QByteArray image =
        "," + le(0, 4) + le(11390, 2) + le(12595, 2) + QByteArray::fromHex("0002012c00");
    for (const QByteArray& bytes : {QByteArray(head + ";"), QByteArray(head + image + ";")}) {
        ASSERT_TRUE(testimages::writeBytes(path(u"empty.gif"_s), bytes));
        EXPECT_EQ(PictureLoader::load(path(u"empty.gif"_s)).status, Status::SourceDamaged);
    }
}

TEST_F(PictureLoaderTest, DecompressionBombIsRefusedBeforeDecoding)
{
    // 9000 x 9000 RGBA needs 309 MiB, under the limit: refused only for its missing data.
    for (const auto& [width, height, status] :
         std::vector<std::tuple<quint16, quint16, Status>>{{65000, 65000, Status::SourceTooLarge},
                                                           {40000, 10000, Status::SourceTooLarge},
                                                           {9000, 9000, Status::SourceDamaged}}) {
        SCOPED_TRACE(::testing::Message() << width << "x" << height);
        const QString bomb = path(u"bomb.jpg"_s);
        ASSERT_TRUE(testimages::writeBytes(bomb, jpegDeclaring(width, height)));
        // The cost and the limit come from the header alone (the file holds no pixels).
        EXPECT_EQ(exceedsAllocationLimit(QSize(width, height)), status == Status::SourceTooLarge);
        EXPECT_EQ(PictureLoader::decodeCost(bomb),
                  QFileInfo(bomb).size() + qint64(width) * height * 4);
        EXPECT_EQ(PictureLoader::load(bomb).status, status);
        EXPECT_EQ(PictureLoader::loadFitted(bomb, QSize(200, 150)).status, status);
    }
}

TEST_F(PictureLoaderTest, ExifOrientationTurnsThePictureUpright)
{
    // Stored 80 x 40 with the orientation "turned a quarter clockwise": shown 40 x 80, with
    // the stored bottom-left quadrant (blue) at the top left.
    const QString photo = path(u"camera.jpg"_s);
    QImageWriter writer(photo, "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(testimages::quadrants(80, 40)));

    EXPECT_EQ(PictureLoader::probe(photo).uprightSize, QSize(40, 80));
    for (const auto& [name, loaded, size] :
         std::vector<std::tuple<const char*, LoadedPicture, QSize>>{
             {"load", PictureLoader::load(photo), QSize(40, 80)},
             {"loadScaled", PictureLoader::loadScaled(photo, QSize(20, 40)), QSize(20, 40)},
             {"loadFitted", PictureLoader::loadFitted(photo, QSize(30, 30)), QSize(15, 30)},
             {"fitted larger", PictureLoader::loadFitted(photo, QSize(400, 400)), QSize(40, 80)}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(loaded.status, Status::Ok);
        const QImage& image = loaded.image;
        EXPECT_EQ(image.size(), size);
        // With the size, blue at the top left tells this turn from the seven others.
        const QRgb topLeft = image.pixel(image.width() / 4, image.height() / 4);
        EXPECT_TRUE(qBlue(topLeft) > 150 && qRed(topLeft) < 100) << std::hex << topLeft;
    }
}

TEST_F(PictureLoaderTest, IconGivesItsLargestImage)
{
    std::vector<QByteArray> parts;
    for (const auto& [side, colour] : {std::pair{16, Qt::red}, {48, Qt::blue}, {32, Qt::green}}) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(colour);
        parts.push_back(encoded(image, "ico"));
    }
    const QString icon = path(u"app.ico"_s);
    ASSERT_TRUE(testimages::writeBytes(icon, combineIcons(parts)));

    const LoadedPicture loaded = PictureLoader::load(icon);
    ASSERT_EQ(loaded.status, Status::Ok);
    EXPECT_EQ(loaded.image.size(), QSize(48, 48));
    EXPECT_EQ(loaded.image.pixel(10, 10), QColor(Qt::blue).rgb());
}

TEST_F(PictureLoaderTest, JpegLoadedWithinABoxIsAsGoodAsAFullDecodeThenScale)
{
    const QImage original = photoLike(3000, 2000);
    const QString photo = path(u"photo.jpg"_s);
    QImageWriter writer(photo, "jpeg");
    writer.setQuality(90);
    ASSERT_TRUE(writer.write(original));

    // Decoded whole, then scaled into the box by the Lanczos filter.
    const LoadedPicture fitted = PictureLoader::loadWithin(photo, QSize(1000, 1000));
    ASSERT_EQ(fitted.status, Status::Ok);
    ASSERT_EQ(fitted.image.size(), QSize(1000, 666));
    const LoadedPicture full = PictureLoader::load(photo);
    ASSERT_EQ(full.status, Status::Ok);
    const auto scaled = [](const QImage& picture) { return downscaled(picture, QSize(1000, 666)); };
    const QImage truth = scaled(original);
    const double reduced = bench::psnr(fitted.image, truth);
    const double reference = bench::psnr(scaled(full.image), truth);
    EXPECT_GE(reduced, reference - 0.5) << reduced << " dB against " << reference << " dB";
}
