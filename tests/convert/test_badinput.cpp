#include "convert/atomicfile.h"
#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/gifencoder.h"
#include "convert/outputformats.h"
#include "convert/pictureloader.h"

#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <vector>

using namespace convert;
using namespace Qt::StringLiterals;

namespace {

// A picture with detail everywhere, so every format spreads it over the whole file.
QImage detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 7 + y * 3) & 255, (x * y) & 255, (x ^ y) & 255);
    }
    return image;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class BadInputTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    // Writes the detailed picture as `name` in `format` ("GIF" through our encoder).
    QByteArray writeSample(const QString& name, const char* format, int width = 160,
                           int height = 120)
    {
        const QImage picture = detailed(width, height);
        if (qstrcmp(format, "GIF") == 0)
            EXPECT_EQ(encodeGif(picture, path(name)), Status::Ok);
        else
            EXPECT_TRUE(testimages::write(picture, path(name), format));
        return contents(path(name));
    }

    QTemporaryDir dir;
    const CodecRegistry registry = CodecRegistry::system();
};

} // namespace

TEST_F(BadInputTest, SourcesThatEndEarlyAreDamagedAndConvertNothing)
{
    struct Row
    {
        const char* format;
        QString name;
        double keep; // fraction of the file kept
    };
    const std::vector<Row> rows{
        {"JPEG", u"cut.jpg"_s, 0.6},   {"JPEG", u"cutscan.jpg"_s, 0.3}, {"PNG", u"cut.png"_s, 0.7},
        {"PNG", u"noiend.png"_s, -12}, {"GIF", u"cut.gif"_s, 0.5},      {"BMP", u"cut.bmp"_s, 0.9},
        {"BMP", u"oneline.bmp"_s, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const QByteArray full = writeSample(u"full-"_s + row.name, row.format);
        ASSERT_TRUE(PictureLoader::load(path(u"full-"_s + row.name)).ok());
        const qsizetype kept =
            row.keep > 0 ? qsizetype(full.size() * row.keep) : full.size() + qsizetype(row.keep);
        ASSERT_TRUE(testimages::writeBytes(path(row.name), full.left(kept)));

        EXPECT_EQ(PictureLoader::load(path(row.name)).status, Status::SourceDamaged);
        const QString output = path(u"out-"_s + row.name + u".png"_s);
        EXPECT_EQ(VersPNG(registry, path(row.name), output), Status::SourceDamaged);
        EXPECT_FALSE(QFile::exists(output));
        EXPECT_EQ(contents(path(row.name)), full.left(kept));
    }
}

TEST_F(BadInputTest, SoundFilesWithHarmlessOddities)
{
    const QByteArray jpeg = writeSample(u"base.jpg"_s, "JPEG");
    // Bytes after the end marker, and extraneous bytes before the scan (libjpeg warns).
    QByteArray extraneous = jpeg;
    extraneous.insert(jpeg.indexOf("\xFF\xDA"), QByteArray("\x00\x11\x22", 3));
    const QByteArray gif = writeSample(u"base.gif"_s, "GIF");
    struct Row
    {
        QString name;
        QByteArray bytes;
    };
    const std::vector<Row> rows{
        {u"trailing.jpg"_s, jpeg + QByteArray(300, '\0')},
        {u"extraneous.jpg"_s, extraneous},
        {u"notrailer.gif"_s, gif.chopped(1)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        ASSERT_TRUE(testimages::writeBytes(path(row.name), row.bytes));
        EXPECT_TRUE(PictureLoader::load(path(row.name)).ok());
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

TEST_F(BadInputTest, SourcesThatAreNotPicturesOrMissing)
{
    ASSERT_TRUE(testimages::writeBytes(path(u"empty.jpg"_s), {}));
    ASSERT_TRUE(testimages::writeBytes(path(u"text.png"_s), "not a picture at all\n"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.bmp"_s));
    ASSERT_TRUE(testimages::write(testimages::quadrants(40, 30), path(u"png-named.jpg"_s), "PNG"));
    struct Row
    {
        QString name;
        Status expected;
    };
    const std::vector<Row> rows{
        {u"empty.jpg"_s, Status::SourceNotDecodable},
        {u"text.png"_s, Status::SourceNotDecodable},
        {u"missing.gif"_s, Status::SourceNotFound},
        {u"folder.bmp"_s, Status::SourceNotFound},
        {u"png-named.jpg"_s, Status::Ok}, // the content decides
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const QString output = path(row.name + u".out.gif"_s);
        EXPECT_EQ(VersGIF(registry, path(row.name), output), row.expected);
        EXPECT_EQ(QFile::exists(output), row.expected == Status::Ok);
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
            EXPECT_EQ(format.convert(registry, source, output, 90), Status::DestinationWriteFailed);
            convert::testing::setWriteFailureHook({});
            EXPECT_EQ(contents(output), "previous");
            EXPECT_EQ(entries(dir.path()).size(), 2)
                << entries(dir.path()).join(u' ').toStdString();
        }
        QFile::remove(output);
    }
}

TEST_F(BadInputTest, DestinationsThatCannotBeWritten)
{
    const QString source = path(u"source.bmp"_s);
    ASSERT_TRUE(testimages::write(testimages::quadrants(40, 30), source, "BMP"));
    ASSERT_TRUE(testimages::writeBytes(path(u"plainfile"_s), "x"));
    for (const QString& output : {path(u"missing/out.PNG"_s), path(u"plainfile/out.PNG"_s),
                                  path(QString(300, u'n') + u".PNG"_s)}) {
        EXPECT_EQ(VersPNG(registry, source, output), Status::DestinationNotWritable);
        EXPECT_EQ(entries(dir.path()), QStringList({u"plainfile"_s, u"source.bmp"_s}));
    }
}
