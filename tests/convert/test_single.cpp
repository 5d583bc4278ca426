#include "convert/codecregistry.h"
#include "convert/outputformats.h"
#include "convert/singleconversion.h"

#include "testimages.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include <unistd.h>

using namespace convert;
using namespace Qt::StringLiterals;

TEST(SingleConversion, OutputPaths)
{
    struct Row
    {
        QString original;
        bool convOrig;
        QString repertConv;
        int position;
        QString output;
    };
    const std::vector<Row> rows{
        {u"/img/photo.png"_s, true, u"/out"_s, 2, u"/img/photo.jpg"_s},
        {u"/img/photo.jpeg"_s, true, u"/out"_s, 3, u"/img/photo.png"_s},
        {u"/img/photo.jpg"_s, false, u"/out"_s, 1, u"/out/photo.gif"_s},
        {u"/img/a.b.ico"_s, false, u"/"_s, 3, u"/a.b.png"_s},
        {u"/img/photo.webp"_s, true, u""_s, 3, u"/img/photo.png"_s},
        {u"/img/scan.TIFF"_s, true, u""_s, 5, u"/img/scan.webp"_s},
    };
    for (const Row& row : rows) {
        const QString base = singleOutputBasePath(row.original, row.convOrig, row.repertConv);
        EXPECT_EQ(singleOutputPath(base, *outputFormatAt(row.position)), row.output)
            << row.original.toStdString();
    }
}

TEST(SingleConversion, PreviewFitAndOutputSize)
{
    struct Fit
    {
        QSize natural;
        QSize shown;
    };
    const QSize box(200, 150);
    for (const Fit& fit : std::vector<Fit>{{{800, 400}, {200, 100}},
                                           {{100, 300}, {50, 150}},
                                           {{120, 90}, {120, 90}},
                                           {{150, 600}, {38, 150}},
                                           {{30000, 10}, {200, 1}}}) {
        const double ratio = double(fit.natural.width()) / fit.natural.height();
        EXPECT_EQ(previewFit(fit.natural, box, ratio), fit.shown) << fit.natural.width();
    }

    struct Height
    {
        int width;
        double ratio;
        int height;
    };
    for (const Height& row : std::vector<Height>{{300, 1.5, 200},
                                                 {5, 2.0, 2},         // 2.5: half to even
                                                 {7, 2.0, 4},         // 3.5: half to even
                                                 {300, 1000.0, 1}}) { // a panorama never gets 0
        EXPECT_EQ(outputHeightFor(row.width, row.ratio), row.height) << row.width;
    }
}

TEST(SingleConversion, OriginalDeletedOnlyWhenTheOutputIsAnotherFile)
{
    const CodecRegistry registry = CodecRegistry::system();
    const QImage picture = testimages::quadrants(64, 48, true);
    struct Row
    {
        QString original;
        QString link; // another name of the original, as a case-insensitive card shows it
        bool deleted;
        bool changed; // saved anew between the reading and the deletion
    };
    const std::vector<Row> rows{{u"photo.png"_s, {}, true, false},
                                {u"photo.jpg"_s, {}, false, false},
                                {u"photo.JPG"_s, u"photo.jpg"_s, false, false},
                                {u"photo.png"_s, {}, false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.original.toStdString());
        QTemporaryDir dir;
        const QString original = dir.filePath(row.original);
        ASSERT_TRUE(testimages::write(picture, original, "PNG"));
        if (!row.link.isEmpty()) {
            ASSERT_EQ(::link(QFile::encodeName(original).constData(),
                             QFile::encodeName(dir.filePath(row.link)).constData()),
                      0);
        }
        const auto stamp = fileops::stampOf(original);
        if (row.changed) {
            ASSERT_TRUE(testimages::write(testimages::quadrants(32, 32), original, "PNG"));
        }
        const QString output = dir.filePath(u"photo.jpg"_s);
        const SingleResult result = convertPicture(registry, picture, picture.size(), original,
                                                   stamp, output, *outputFormatAt(2), {}, true);
        EXPECT_FALSE(QImage(output).isNull());
        EXPECT_EQ(result.originalDeleted, row.deleted);
        EXPECT_EQ(result.originalChanged, row.changed);
        EXPECT_EQ(QFile::exists(original), !row.deleted);
    }
}

TEST(SingleConversion, RescalesSmoothlyToTheOutputSize)
{
    const CodecRegistry registry = CodecRegistry::system();
    QTemporaryDir dir;
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
