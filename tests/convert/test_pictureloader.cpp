#include "convert/conversion.h"
#include "imaging/pictureloader.h"

#include "benchutil.h"

#include "convertfixture.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <cmath>

#include <vector>

using namespace convert;
using namespace converttest;
using namespace Qt::StringLiterals;

namespace {

bool near(QRgb actual, const QColor& expected, int tolerance = 24)
{
    return qAbs(qRed(actual) - expected.red()) <= tolerance &&
           qAbs(qGreen(actual) - expected.green()) <= tolerance &&
           qAbs(qBlue(actual) - expected.blue()) <= tolerance;
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
    QByteArray header = QByteArray::fromHex("00000100");
    header += char(parts.size());
    header += char(0);
    QByteArray data;
    quint32 offset = quint32(6 + 16 * parts.size());
    for (const QByteArray& part : parts) {
        QByteArray entry = part.mid(6, 16);
        const quint32 size = qFromLittleEndian<quint32>(entry.constData() + 8);
        qToLittleEndian<quint32>(offset, entry.data() + 12);
        header += entry;
        data += part.mid(qFromLittleEndian<quint32>(part.constData() + 18), size);
        offset += size;
    }
    return header + data;
}

// Something like a photo: soft gradients, shapes with sharp edges, fine grain.
QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, y * 255 / height, 128 + int(60 * std::sin(x * 0.01)));
    }
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
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + grain, 255), qBound(0, qGreen(c) + grain, 255),
                           qBound(0, qBlue(c) + grain, 255));
        }
    }
    return picture;
}

using PictureLoaderTest = ConvertTest;

} // namespace

TEST_F(PictureLoaderTest, DecompressionBombIsRefusedBeforeDecoding)
{
    struct Row
    {
        quint16 width;
        quint16 height;
        Status status;
    };
    // 9000 x 9000 RGBA needs 309 MiB, under the limit: refused only for its missing data.
    for (const Row& row :
         {Row{65000, 65000, Status::SourceTooLarge}, Row{40000, 10000, Status::SourceTooLarge},
          Row{9000, 9000, Status::SourceDamaged}}) {
        SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height);
        const QString bomb = path(u"bomb.jpg"_s);
        ASSERT_TRUE(testimages::writeBytes(bomb, jpegDeclaring(row.width, row.height)));
        // The cost and the limit come from the header alone (the file holds no pixels).
        const QSize declared(row.width, row.height);
        EXPECT_EQ(exceedsAllocationLimit(declared), row.status == Status::SourceTooLarge);
        EXPECT_EQ(PictureLoader::decodeCost(bomb),
                  QFileInfo(bomb).size() + qint64(row.width) * row.height * 4);
        EXPECT_EQ(PictureLoader::load(bomb).status, row.status);
        EXPECT_EQ(PictureLoader::loadFitted(bomb, QSize(200, 150)).status, row.status);
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
    struct Row
    {
        const char* name;
        LoadedPicture loaded;
        QSize size;
    };
    const std::vector<Row> rows{
        {"load", PictureLoader::load(photo), QSize(40, 80)},
        {"loadScaled", PictureLoader::loadScaled(photo, QSize(20, 40)), QSize(20, 40)},
        {"loadFitted", PictureLoader::loadFitted(photo, QSize(30, 30)), QSize(15, 30)},
        {"loadFitted larger box", PictureLoader::loadFitted(photo, QSize(400, 400)), QSize(40, 80)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(row.loaded.status, Status::Ok);
        const QImage& image = row.loaded.image;
        EXPECT_EQ(image.size(), row.size);
        const int w = image.width();
        const int h = image.height();
        EXPECT_TRUE(near(image.pixel(w / 4, h / 4), QColor(30, 60, 200)));
        EXPECT_TRUE(near(image.pixel(3 * w / 4, h / 4), QColor(200, 30, 30)));
        EXPECT_TRUE(near(image.pixel(3 * w / 4, 3 * h / 4), QColor(30, 160, 40)));
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

TEST_F(PictureLoaderTest, ReducedJpegDecodeIsAsGoodAsAFullDecodeThenScale)
{
    const QImage original = photoLike(3000, 2000);
    const QString photo = path(u"photo.jpg"_s);
    QImageWriter writer(photo, "jpeg");
    writer.setQuality(90);
    ASSERT_TRUE(writer.write(original));

    // Decoded at 1/2 (1500 x 1000), then scaled into the box.
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
