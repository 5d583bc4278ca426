#include "convert/codecregistry.h"
#include "convert/pngencoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace convert;
using namespace Qt::StringLiterals;

namespace {

QByteArray ours(const QImage& picture, int level = defaultPngLevel)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(encodePng(picture, buffer, level), Status::Ok);
    return bytes;
}

QByteArray qts(const QImage& picture, int level = defaultPngLevel)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression((level * 91 + 8) / 9);
    EXPECT_TRUE(writer.write(picture));
    return bytes;
}

// The chunk types of a PNG file, in order.
QList<QByteArray> chunks(const QByteArray& png)
{
    QList<QByteArray> types;
    for (qsizetype at = 8; at + 8 <= png.size();) {
        const auto length = qFromBigEndian<quint32>(png.constData() + at);
        types.append(png.mid(at + 4, 4));
        at += 12 + qsizetype(length);
    }
    return types;
}

// Noise over gradients, so every filter gets chosen somewhere.
QImage varied(QImage::Format format)
{
    QImage picture(67, 41, QImage::Format_ARGB32);
    quint32 seed = 7;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            seed = seed * 1103515245 + 12345;
            const int noise = (seed >> 16) % (y < 20 ? 256 : 9);
            picture.setPixel(x, y, qRgba(x * 3 + noise, y * 5, (x ^ y) + noise, 255 - x - noise));
        }
    return picture.convertToFormat(format);
}

TEST(PngWriterTest, EveryLayoutReadsBackIdentical)
{
    const std::pair<QImage::Format, int> cases[] = {{QImage::Format_RGB32, 6},
                                                    {QImage::Format_ARGB32, 9},
                                                    {QImage::Format_RGB888, 1},
                                                    {QImage::Format_Grayscale8, 0}};
    for (const auto& [format, level] : cases) {
        const QImage picture = varied(format);
        const QImage read = QImage::fromData(ours(picture, level), "png");
        ASSERT_FALSE(read.isNull()) << format;
        EXPECT_EQ(read.hasAlphaChannel(), picture.hasAlphaChannel()) << format;
        EXPECT_EQ(read.isGrayscale(), format == QImage::Format_Grayscale8) << format;
        EXPECT_EQ(read.convertToFormat(format), picture) << format;
    }
}

TEST(PngWriterTest, KeepsTheChunksQtWrites)
{
    QImage picture = varied(QImage::Format_RGB32);
    picture.setColorSpace(QColorSpace::AdobeRgb);
    picture.setDotsPerMeterX(5000);
    picture.setText(u"Title"_s, u"court"_s);
    picture.setText(u"Comment"_s, QString(60, u'x'));
    picture.setText(u"Author"_s, u"Zoë Łukasz"_s);
    const QByteArray png = ours(picture);
    EXPECT_EQ(chunks(png), chunks(qts(picture)));

    const QImage read = QImage::fromData(png, "png");
    EXPECT_EQ(read.colorSpace(), picture.colorSpace());
    EXPECT_EQ(read.dotsPerMeterX(), 5000);
    for (const QString& key : picture.textKeys())
        EXPECT_EQ(read.text(key), picture.text(key)) << key.toStdString();

    // A grey file takes no RGB profile, as with Qt.
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    EXPECT_EQ(chunks(ours(grey)), chunks(qts(grey)));
}

TEST(PngWriterTest, SizesFollowQtsAtTheSameLevel)
{
    const QImage picture(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"));
    ASSERT_FALSE(picture.isNull());
    for (const int level : {0, defaultPngLevel}) {
        const double ratio =
            double(ours(picture, level).size()) / double(qts(picture, level).size());
        EXPECT_NEAR(ratio, 1.0, 0.05) << "level " << level;
    }
}

TEST(PngWriterTest, OtherLayoutsAndFailuresGoAsBefore)
{
    const CodecRegistry registry = CodecRegistry::system();
    EncoderId id;
    ASSERT_GT(registry.ChercheEncodeur("image/png", id), 0);
    const Encoder& png = *registry.encoder(id);
    const QImage deep = varied(QImage::Format_RGBA64);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_EQ(png.encode(deep, buffer, {}), Status::Ok);
    EXPECT_EQ(bytes, qts(deep));

    QBuffer refusing;
    refusing.open(QIODevice::ReadOnly);
    EXPECT_EQ(encodePng(varied(QImage::Format_RGB32), refusing), Status::DestinationWriteFailed);
}

} // namespace
