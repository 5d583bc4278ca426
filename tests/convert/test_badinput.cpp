#include "convert/atomicfile.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "convert/pictureloader.h"

#include "convertfixture.h"

#include <QtConcurrent>

#include <vector>

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

} // namespace

TEST_F(BadInputTest, SourcesThatEndEarlyAreDamagedAndConvertNothing)
{
    struct Row
    {
        const char* format;
        QString name;
        double keep; // fraction of the file kept, or bytes cut off when negative
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
    ASSERT_TRUE(testimages::writeBytes(path(u"empty.jpg"_s), {}));
    ASSERT_TRUE(testimages::writeBytes(path(u"text.png"_s), "not a picture at all\n"));
    ASSERT_TRUE(
        testimages::writeBytes(path(u"sig.png"_s), QByteArray::fromHex("89504e470d0a1a0a")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.bmp"_s));
    ASSERT_TRUE(testimages::write(picture, path(u"png-named.jpg"_s), "PNG"));
    ASSERT_TRUE(testimages::write(picture, path(u"bmp-named.gif"_s), "BMP"));
    const std::vector<std::pair<QString, Status>> rows{
        {u"empty.jpg"_s, Status::SourceNotDecodable},
        {u"text.png"_s, Status::SourceNotDecodable},
        {u"sig.png"_s, Status::SourceNotDecodable},
        {u"missing.gif"_s, Status::SourceNotFound},
        {u"folder.bmp"_s, Status::SourceNotFound},
        {u"png-named.jpg"_s, Status::Ok},
        {u"bmp-named.gif"_s, Status::Ok},
    };
    for (const auto& [name, status] : rows) {
        SCOPED_TRACE(name.toStdString());
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
            EXPECT_EQ(format.convert(registry, source, output, 90), Status::DestinationWriteFailed);
            convert::testing::setWriteFailureHook({});
            EXPECT_EQ(contents(output), "previous");
            EXPECT_EQ(entries(dir.path()).size(), 2)
                << entries(dir.path()).join(u' ').toStdString();
        }
        QFile::remove(output);
    }
}
