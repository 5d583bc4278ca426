#include "convert/conversion.h"
#include "convert/pictureloader.h"

#include "testimages.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

using namespace convert;
using namespace Qt::StringLiterals;

namespace {

const QColor red(200, 30, 30);
const QColor green(30, 160, 40);
const QColor blue(30, 60, 200);
const QColor yellow(230, 210, 40);

bool near(QRgb actual, const QColor& expected, int tolerance = 24)
{
    return qAbs(qRed(actual) - expected.red()) <= tolerance &&
           qAbs(qGreen(actual) - expected.green()) <= tolerance &&
           qAbs(qBlue(actual) - expected.blue()) <= tolerance;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    const QByteArray body = type + data;
    return bigEndian32(quint32(data.size())) + body + bigEndian32(crc32(body));
}

// A tiny PNG declaring `width` x `height` RGBA, with an empty picture data stream.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    // 8 bits, RGBA, deflate, no filter, no interlace
    const QByteArray header =
        bigEndian32(width) + bigEndian32(height) + QByteArray::fromHex("0806000000");
    return QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header) +
           pngChunk("IDAT", QByteArray::fromHex("789c030000000001")) + pngChunk("IEND", {});
}

// A JPEG of `picture` with an EXIF block whose orientation tag holds `orientation`.
QByteArray jpegWithOrientation(const QImage& picture, quint16 orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(picture);

    // Big-endian TIFF header, one IFD with one SHORT entry (tag 0x0112), no next IFD.
    QByteArray exif = QByteArray("Exif\0\0", 6) + QByteArray::fromHex("4d4d002a00000008") +
                      QByteArray::fromHex("0001") + QByteArray::fromHex("011200030000000100");
    exif += char(orientation);
    exif += QByteArray::fromHex("0000") + QByteArray::fromHex("00000000");
    QByteArray segment = QByteArray::fromHex("ffe1");
    segment += char((exif.size() + 2) >> 8);
    segment += char((exif.size() + 2) & 0xff);
    segment += exif;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// An icon file holding the single-image icons `parts` (as QImageWriter writes them) as one.
QByteArray combineIcons(const std::vector<QByteArray>& parts)
{
    const int count = int(parts.size());
    QByteArray header = QByteArray::fromHex("00000100");
    header += char(count);
    header += char(0);
    QByteArray entries;
    QByteArray data;
    quint32 offset = quint32(6 + 16 * count);
    for (const QByteArray& part : parts) {
        QByteArray entry = part.mid(6, 16);
        const quint32 size = qFromLittleEndian<quint32>(entry.constData() + 8);
        qToLittleEndian<quint32>(offset, entry.data() + 12);
        const quint32 oldOffset = qFromLittleEndian<quint32>(part.constData() + 18);
        entries += entry;
        data += part.mid(oldOffset, size);
        offset += size;
    }
    return header + entries + data;
}

QByteArray iconBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "ico").write(picture);
    return bytes;
}

class PictureLoaderTest : public testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(PictureLoaderTest, FormatIsJudgedByContent)
{
    ASSERT_TRUE(testimages::write(testimages::quadrants(30, 20), path(u"photo.jpg"_s), "PNG"));
    ASSERT_TRUE(testimages::write(testimages::quadrants(30, 20), path(u"photo.gif"_s), "BMP"));
    for (const QString& name : {u"photo.jpg"_s, u"photo.gif"_s}) {
        SCOPED_TRACE(name.toStdString());
        const LoadedPicture loaded = PictureLoader::load(path(name));
        ASSERT_EQ(loaded.status, Status::Ok);
        EXPECT_EQ(loaded.image.size(), QSize(30, 20));
        EXPECT_EQ(loaded.image.pixel(2, 2), red.rgb());
    }
}

TEST_F(PictureLoaderTest, UnreadableSourcesGiveTheirStatus)
{
    ASSERT_TRUE(testimages::writeBytes(path(u"empty.png"_s), {}));
    ASSERT_TRUE(testimages::writeBytes(path(u"text.jpg"_s), "no picture in here\n"));
    ASSERT_TRUE(
        testimages::writeBytes(path(u"bad.png"_s), QByteArray::fromHex("89504e470d0a1a0a")));
    struct Row
    {
        QString path;
        Status status;
    };
    const std::vector<Row> rows{
        {path(u"missing.png"_s), Status::SourceNotFound},
        {dir.path(), Status::SourceNotFound},
        {path(u"empty.png"_s), Status::SourceNotDecodable},
        {path(u"text.jpg"_s), Status::SourceNotDecodable},
        {path(u"bad.png"_s), Status::SourceNotDecodable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        const LoadedPicture loaded = PictureLoader::load(row.path);
        EXPECT_EQ(loaded.status, row.status);
        EXPECT_TRUE(loaded.image.isNull());
        EXPECT_EQ(PictureLoader::probe(row.path).status, row.status);
    }
}

TEST_F(PictureLoaderTest, DecompressionBombIsRefusedBeforeDecoding)
{
    struct Row
    {
        quint32 width;
        quint32 height;
        Status status;
    };
    // 9000 x 9000 RGBA needs 309 MiB, under the limit: refused only for lack of data.
    const std::vector<Row> rows{{100000, 100000, Status::SourceTooLarge},
                                {40000, 10000, Status::SourceTooLarge},
                                {9000, 9000, Status::SourceNotDecodable}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height);
        const QString bomb = path(u"bomb.png"_s);
        ASSERT_TRUE(testimages::writeBytes(bomb, pngHeaderOnly(row.width, row.height)));
        EXPECT_EQ(PictureLoader::load(bomb).status, row.status);
        if (row.status == Status::SourceTooLarge) {
            EXPECT_EQ(PictureLoader::loadFitted(bomb, QSize(200, 150)).status, row.status);
            const CodecRegistry registry = CodecRegistry::system();
            EXPECT_EQ(VersPNG(registry, bomb, path(u"out.png"_s)), row.status);
            EXPECT_FALSE(QFileInfo::exists(path(u"out.png"_s)));
        }
    }
}

TEST_F(PictureLoaderTest, ExifOrientationTurnsThePictureUpright)
{
    // Stored 80 x 40; orientation 6 shows it turned a quarter clockwise, 40 x 80, with the
    // stored bottom-left quadrant (blue) at the top left.
    const QString photo = path(u"camera.jpg"_s);
    ASSERT_TRUE(
        testimages::writeBytes(photo, jpegWithOrientation(testimages::quadrants(80, 40), 6)));

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
        EXPECT_TRUE(near(image.pixel(w / 4, h / 4), blue));
        EXPECT_TRUE(near(image.pixel(3 * w / 4, h / 4), red));
        EXPECT_TRUE(near(image.pixel(3 * w / 4, 3 * h / 4), green));
    }

    const CodecRegistry registry = CodecRegistry::system();
    ASSERT_EQ(VersPNG(registry, photo, path(u"upright.png"_s)), Status::Ok);
    EXPECT_EQ(QImage(path(u"upright.png"_s)).size(), QSize(40, 80));
}

TEST_F(PictureLoaderTest, IconGivesItsLargestImage)
{
    QImage small(16, 16, QImage::Format_ARGB32);
    small.fill(red);
    QImage large(48, 48, QImage::Format_ARGB32);
    large.fill(blue);
    QImage middle(32, 32, QImage::Format_ARGB32);
    middle.fill(green);
    const QString icon = path(u"app.ico"_s);
    ASSERT_TRUE(testimages::writeBytes(
        icon, combineIcons({iconBytes(small), iconBytes(large), iconBytes(middle)})));

    const LoadedPicture loaded = PictureLoader::load(icon);
    ASSERT_EQ(loaded.status, Status::Ok);
    EXPECT_EQ(loaded.image.size(), QSize(48, 48));
    EXPECT_EQ(loaded.image.pixel(10, 10), blue.rgb());
}
