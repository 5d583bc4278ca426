#include "preview/fitrule.h"
#include "preview/previewloading.h"
#include "testimages.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

namespace {

using convert::Status;

TEST(FitAndDraw, DesignedFiguresAndBounds)
{
    const std::tuple<const char*, double, double, double, double, QRectF> rows[] = {
        {"smaller than the box: own size, centred", 100, 50, 205, 149, {52.5, 49.5, 100, 50}},
        {"fills the box exactly", 400, 300, 200, 150, {0, 0, 200, 150}},
        {"square: second fit", 400, 400, 200, 150, {25, 0, 150, 150}},
        {"portrait", 300, 600, 200, 150, {62.5, 0, 75, 150}},
        {"wide: width fits, centred vertically", 410, 100, 205, 149, {0, 49.5, 205, 50}},
        // 205 * 3 / 410 = 1.5 rounds to 2 (halves to the even neighbour) ...
        {"height rounded half to even (up)", 410, 3, 205, 149, {0, 73.75, 205, 2}},
        // ... and 205 * 5 / 410 = 2.5 to 2.
        {"height rounded half to even (down)", 410, 5, 205, 149, {0, 73.25, 205, 2}},
        {"as wide as the box but low: not enlarged", 205, 20, 205, 149, {0, 64.5, 205, 20}},
        {"enlarged view", 1600, 1200, 395, 298, {0, 0.875, 395, 296}},
    };
    for (const auto& [name, w, h, bw, bh, expected] : rows)
        EXPECT_EQ(preview::fitAndDraw(w, h, bw, bh), expected) << name;
    // Whatever the size, the picture never leaves the area nor is enlarged.
    for (int w = 1; w <= 500; w += 7) {
        for (int h = 1; h <= 500; h += 11) {
            const QRectF got = preview::fitAndDraw(w, h, 205, 149);
            EXPECT_TRUE(got.width() <= std::min(205, w) + 1e-9 && got.height() <= 149 &&
                        got.height() <= h + 0.5 && got.x() >= -1e-9)
                << w << "x" << h;
        }
    }
    EXPECT_TRUE(preview::fitAndDraw(0, 10, 205, 149).isNull());
}

TEST(PreviewableNames, ByTheEndOfTheNameInAnyCase)
{
    const std::tuple<const char*, bool, bool> rows[] = {
        {"a.bmp", true, true},    {"A.BMP", true, true},        {"b.GIF", true, true},
        {"c.jpg", true, true},    {"d.JPEG", true, true},       {"e.jpe", true, true},
        {"f.ico", true, true},    {"g.png", false, false},      {"h.tif", false, false},
        {"i.TIFF", false, false}, {"j.wmf", false, true},       {"K.WMF", false, true},
        {"noextjpg", true, true}, {"x.jpeg.txt", false, false}, {"", false, false},
    };
    for (const auto& [name, previewable, enlargeable] : rows) {
        EXPECT_EQ(preview::isPreviewable(QString::fromUtf8(name)), previewable) << name;
        EXPECT_EQ(preview::isEnlargeable(QString::fromUtf8(name)), enlargeable) << name;
    }
    // Every type the picture loader reads, by its extension only.
    for (const char* name : {"g.png", "i.TIFF", "w.webp"})
        EXPECT_TRUE(preview::isPreviewable(QString::fromUtf8(name), true)) << name;
    for (const char* name : {"x.jpeg.txt", "pngfile", "", "notes.txt"})
        EXPECT_FALSE(preview::isPreviewable(QString::fromUtf8(name), true)) << name;
}

class PreviewLoadingTest : public ::testing::Test
{
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
};

TEST_F(PreviewLoadingTest, BadInputsGiveTheirMessageAndChangeNothing)
{
    const QString png = path("picture.png");
    ASSERT_TRUE(testimages::write(testimages::quadrants(64, 32), png, "PNG"));
    ASSERT_TRUE(testimages::writeBytes(path("zero.jpg"), {}));
    ASSERT_TRUE(testimages::writeBytes(path("text.jpg"), "this is not a picture\n"));
    QFile::copy(png, path("png-named.jpg"));
    QFile jpeg(path("whole.jpg"));
    ASSERT_TRUE(testimages::write(testimages::quadrants(300, 200), jpeg.fileName(), "JPEG"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    ASSERT_TRUE(testimages::writeBytes(path("truncated.jpg"), jpeg.read(40)));

    const std::tuple<const char*, Status, QString> rows[] = {
        {"vanished.jpg", Status::SourceNotFound, QStringLiteral("Fichier introuvable")},
        {"zero.jpg", Status::SourceNotDecodable, QStringLiteral("Image incorrecte")},
        {"text.jpg", Status::SourceNotDecodable, QStringLiteral("Image incorrecte")},
        {"truncated.jpg", Status::SourceDamaged, QStringLiteral("Image incorrecte")},
        {"drawing.wmf", Status::SourceNotDecodable, QStringLiteral("Image incorrecte")},
        // The loader judges by content: a PNG named .jpg previews.
        {"png-named.jpg", Status::Ok, QString()},
    };
    ASSERT_TRUE(testimages::writeBytes(path("drawing.wmf"),
                                       QByteArray("\xd7\xcd\xc6\x9a", 4) + QByteArray(40, '\0')));
    for (const auto& [name, status, message] : rows) {
        SCOPED_TRACE(name);
        const QFileInfo before(path(name));
        const preview::FittedPicture picture = preview::loadFitted(path(name), {205, 149});
        EXPECT_EQ(picture.status, status);
        EXPECT_EQ(preview::loadFailureText(picture.status), message);
        EXPECT_EQ(picture.image.isNull(), status != Status::Ok);
        const QFileInfo after(path(name));
        EXPECT_EQ(after.exists(), before.exists());
        EXPECT_EQ(after.size(), before.size());
    }
}

TEST_F(PreviewLoadingTest, DecodesAtTheSizeItIsDrawnAt)
{
    const std::tuple<const char*, const char*, QSize> rows[] = {
        {"big.jpg", "JPEG", {1600, 1200}},
        {"tall.bmp", "BMP", {300, 600}},
        {"small.jpg", "JPEG", {100, 50}},
    };
    for (const auto& [name, format, size] : rows) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(testimages::write(testimages::quadrants(size.width(), size.height()),
                                      path(name), format));
        const preview::FittedPicture picture = preview::loadFitted(path(name), {205, 149});
        ASSERT_TRUE(picture.ok());
        const QRectF expected = preview::fitAndDraw(size.width(), size.height(), 205, 149);
        EXPECT_EQ(picture.target, expected);
        EXPECT_EQ(picture.image.size(), preview::decodeSize(expected));
        // Still the same picture: the top-left quadrant stays red.
        const QColor corner = picture.image.pixelColor(2, 2);
        EXPECT_GT(corner.red(), 150);
        EXPECT_LT(corner.green(), 90);
    }
}

} // namespace
