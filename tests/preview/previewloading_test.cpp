#include "preview/fitrule.h"
#include "preview/previewloading.h"
#include "testimages.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using convert::Status;

class PreviewLoadingTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
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
    const QByteArray full = [&] {
        QFile jpeg(path("whole.jpg"));
        testimages::write(testimages::quadrants(300, 200), jpeg.fileName(), "JPEG");
        jpeg.open(QIODevice::ReadOnly);
        return jpeg.readAll();
    }();
    ASSERT_TRUE(testimages::writeBytes(path("truncated.jpg"), full.left(40)));

    const struct
    {
        const char* name;
        Status status;
        QString message;
    } rows[] = {
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
    for (const auto& row : rows) {
        const QFileInfo before(path(row.name));
        const preview::FittedPicture picture = preview::loadFitted(path(row.name), {205, 149});
        EXPECT_EQ(picture.status, row.status) << row.name;
        EXPECT_EQ(preview::loadFailureText(picture.status), row.message) << row.name;
        EXPECT_EQ(picture.image.isNull(), row.status != Status::Ok) << row.name;
        const QFileInfo after(path(row.name));
        EXPECT_EQ(after.exists(), before.exists()) << row.name;
        EXPECT_EQ(after.size(), before.size()) << row.name;
    }
}

TEST_F(PreviewLoadingTest, DecodesAtTheSizeItIsDrawnAt)
{
    const struct
    {
        const char* name;
        const char* format;
        QSize size;
    } rows[] = {
        {"big.jpg", "JPEG", {1600, 1200}},
        {"tall.bmp", "BMP", {300, 600}},
        {"small.jpg", "JPEG", {100, 50}},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(testimages::write(testimages::quadrants(row.size.width(), row.size.height()),
                                      path(row.name), row.format));
        const preview::FittedPicture picture = preview::loadFitted(path(row.name), {205, 149});
        ASSERT_TRUE(picture.ok()) << row.name;
        const QRectF expected = preview::fitAndDraw(row.size.width(), row.size.height(), 205, 149);
        EXPECT_EQ(picture.target, expected) << row.name;
        EXPECT_EQ(picture.image.size(), preview::decodeSize(expected)) << row.name;
        // Still the same picture: the top-left quadrant stays red.
        const QColor corner = picture.image.pixelColor(2, 2);
        EXPECT_GT(corner.red(), 150) << row.name;
        EXPECT_LT(corner.green(), 90) << row.name;
    }
}

} // namespace
