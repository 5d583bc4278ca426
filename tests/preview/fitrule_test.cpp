#include "preview/fitrule.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

TEST(FitAndDraw, DesignedFigures)
{
    const struct
    {
        const char* name;
        double w, h, bw, bh;
        QRectF expected;
    } rows[] = {
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
    for (const auto& row : rows) {
        const QRectF got = preview::fitAndDraw(row.w, row.h, row.bw, row.bh);
        EXPECT_DOUBLE_EQ(got.x(), row.expected.x()) << row.name;
        EXPECT_DOUBLE_EQ(got.y(), row.expected.y()) << row.name;
        EXPECT_DOUBLE_EQ(got.width(), row.expected.width()) << row.name;
        EXPECT_DOUBLE_EQ(got.height(), row.expected.height()) << row.name;
    }
}

TEST(FitAndDraw, NeverLeavesTheAreaNorEnlarges)
{
    for (int w = 1; w <= 500; w += 7) {
        for (int h = 1; h <= 500; h += 11) {
            const QRectF got = preview::fitAndDraw(w, h, 205, 149);
            EXPECT_LE(got.width(), 205.0 + 1e-9) << w << "x" << h;
            EXPECT_LE(got.height(), 149.0) << w << "x" << h;
            EXPECT_LE(got.width(), w + 1e-9) << w << "x" << h;
            EXPECT_LE(got.height(), h + 0.5) << w << "x" << h;
            EXPECT_GE(got.x(), -1e-9) << w << "x" << h;
        }
    }
    EXPECT_TRUE(preview::fitAndDraw(0, 10, 205, 149).isNull());
}

TEST(PreviewableNames, ByTheEndOfTheNameInAnyCase)
{
    const struct
    {
        const char* name;
        bool previewable;
        bool enlargeable;
    } rows[] = {
        {"a.bmp", true, true},    {"A.BMP", true, true},        {"b.GIF", true, true},
        {"c.jpg", true, true},    {"d.JPEG", true, true},       {"e.jpe", true, true},
        {"f.ico", true, true},    {"g.png", false, false},      {"h.tif", false, false},
        {"i.TIFF", false, false}, {"j.wmf", false, true},       {"K.WMF", false, true},
        {"noextjpg", true, true}, {"x.jpeg.txt", false, false}, {"", false, false},
    };
    for (const auto& row : rows) {
        const QString name = QString::fromUtf8(row.name);
        EXPECT_EQ(preview::isPreviewable(name), row.previewable) << row.name;
        EXPECT_EQ(preview::isEnlargeable(name), row.enlargeable) << row.name;
    }
    // Every type the picture loader reads, by its extension only.
    for (const char* name : {"g.png", "i.TIFF", "w.webp"})
        EXPECT_TRUE(preview::isPreviewable(QString::fromUtf8(name), true)) << name;
    for (const char* name : {"x.jpeg.txt", "pngfile", "", "notes.txt"})
        EXPECT_FALSE(preview::isPreviewable(QString::fromUtf8(name), true)) << name;
}

} // namespace
