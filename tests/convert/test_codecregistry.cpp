#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "convert/status.h"

#include <QIODevice>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace convert;
using namespace Qt::StringLiterals;

namespace {

struct EncoderCall
{
    QByteArray encoder;
    EncoderParameters parameters;
};

// An encoder that records its calls and writes a few bytes.
Encoder recordingEncoder(const QByteArray& name, const QByteArray& mimeType,
                         std::vector<EncoderCall>& calls)
{
    return Encoder{
        EncoderId{name}, mimeType,
        [name, &calls](const QImage&, QIODevice& device, const EncoderParameters& parameters) {
            calls.push_back({name, parameters});
            device.write("data");
            return Status::Ok;
        }};
}

} // namespace

TEST(CodecRegistry, LookupIgnoresCaseAndFirstMatchWins)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry({recordingEncoder("png", "image/png", calls),
                                  recordingEncoder("jpeg-a", "image/JPEG", calls),
                                  recordingEncoder("jpeg-b", "image/jpeg", calls)});
    struct Row
    {
        QByteArray mimeType;
        int position;
        QByteArray id; // what the identifier holds afterwards
    };
    const std::vector<Row> rows{
        {"image/jpeg", 2, "jpeg-a"},  {"IMAGE/JPEG", 2, "jpeg-a"}, {"Image/Png", 1, "png"},
        {"image/tiff", -1, "before"}, {"", -1, "before"},          {"image/jpe", -1, "before"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mimeType.toStdString());
        EncoderId id{"before"};
        EXPECT_EQ(registry.ChercheEncodeur(row.mimeType, id), row.position);
        EXPECT_EQ(id.name, row.id);
    }
}

TEST(CodecRegistry, SaveUsesFirstEncoderListedForTheMimeType)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry({recordingEncoder("first", "IMAGE/PNG", calls),
                                  recordingEncoder("second", "image/png", calls)});
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    EXPECT_EQ(SauverFormat(registry, picture, dir.filePath(u"a.png"_s), formatCodePng, 75),
              Status::Ok);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().encoder, "first");
}

TEST(CodecRegistry, EncoderParametersPassedPerFormat)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry({recordingEncoder("bmp", "image/bmp", calls),
                                  recordingEncoder("gif", "image/gif", calls),
                                  recordingEncoder("jpeg", "image/jpeg", calls),
                                  recordingEncoder("png", "image/png", calls)});
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    struct Row
    {
        int code;
        int quality;
        EncoderParameters expected;
    };
    const EncoderParameters none;
    const std::vector<Row> rows{
        {formatCodeJpeg, -1, {{qualityParameter, 75}}},
        {formatCodeJpeg, 0, {{qualityParameter, 0}}},
        {formatCodeJpeg, 90, {{qualityParameter, 90}}},
        {formatCodeJpeg, 100, {{qualityParameter, 100}}},
        {formatCodeJpeg, 101, {{qualityParameter, 75}}},
        {formatCodeBmp, 90, none},
        {formatCodePng, 90, none},
        {formatCodeGif, 90, none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "code " << row.code << " quality " << row.quality);
        calls.clear();
        EXPECT_EQ(SauverFormat(registry, picture, dir.filePath(u"out"_s), row.code, row.quality),
                  Status::Ok);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front().parameters, row.expected);
    }
}

TEST(CodecRegistry, SaveWithoutEncoderOrWithUnknownCodeWritesNothing)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry({recordingEncoder("png", "image/png", calls)});
    QTemporaryDir dir;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::green);
    const QString destination = dir.filePath(u"out"_s);
    EXPECT_EQ(SauverFormat(registry, picture, destination, formatCodeJpeg, 90), Status::NoEncoder);
    EXPECT_EQ(SauverFormat(registry, picture, destination, 0, 90), Status::UnknownFormat);
    EXPECT_EQ(SauverFormat(registry, picture, destination, 5, 90), Status::UnknownFormat);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(QFileInfo::exists(destination));
}

class CodecSessionTest : public testing::Test
{
protected:
    void TearDown() override { CodecRegistry::clearHiddenMimeTypesForTesting(); }
};

TEST_F(CodecSessionTest, StartFindsAllFourEncodersAndEndReleasesThem)
{
    CodecSession session;
    EXPECT_EQ(session.start(), Status::Ok);
    EXPECT_TRUE(session.isOpen());
    for (const OutputFormat& format : outputFormats()) {
        EncoderId id;
        EXPECT_GT(session.registry().ChercheEncodeur(format.mimeType, id), 0)
            << format.mimeType.toByteArray().toStdString();
    }
    session.end();
    EXPECT_FALSE(session.isOpen());
    EXPECT_TRUE(session.registry().encoders().empty());
    session.end(); // a second end, or an end after a failed start, is harmless
}

TEST_F(CodecSessionTest, StartFailsWhenAnEncoderIsMissing)
{
    for (const QByteArray& hidden : {QByteArray("IMAGE/GIF"), QByteArray("image/jpeg")}) {
        SCOPED_TRACE(hidden.toStdString());
        CodecRegistry::clearHiddenMimeTypesForTesting();
        CodecRegistry::hideMimeTypeForTesting(hidden);
        CodecSession session;
        EXPECT_EQ(session.start(), Status::NoEncoder);
        EXPECT_NE(statusCode(session.start()), 0);
        EXPECT_FALSE(session.isOpen());
        session.end();
    }
}

TEST(OutputFormats, ListTextsAndCodesByPosition)
{
    EXPECT_EQ(outputFormatListTexts(),
              QStringList({u"BMP - Windows Bitmap"_s, u"GIF - Compuserve GIF"_s,
                           u"JPG - JPG Images"_s, u"PNG - Portable Network Graphics"_s}));
    EXPECT_EQ(outputFormatAt(defaultOutputFormatPosition)->mimeType, "image/jpeg");
    EXPECT_EQ(outputFormatAt(-1), nullptr);
    EXPECT_EQ(outputFormatAt(4), nullptr);
    for (const OutputFormat& format : outputFormats()) {
        EXPECT_EQ(outputFormatAt(format.position), &format);
        EXPECT_EQ(outputFormatForCode(format.code), &format);
    }
}

TEST(OutputFormats, SourceTypeFromTheEndOfTheName)
{
    struct Row
    {
        QString name;
        SourceType type;
        int suffixLength;
    };
    const std::vector<Row> rows{
        {u"IMG1.JPG"_s, SourceType::Jpg, 3},       {u"photo.jpeg"_s, SourceType::Jpeg, 4},
        {u"c.Bmp"_s, SourceType::Bmp, 3},          {u"icon.ico"_s, SourceType::Ico, 3},
        {u"scan.tif"_s, SourceType::None, 0},      {u"noextensionpng"_s, SourceType::Png, 3},
        {u"photo.jpg.bak"_s, SourceType::None, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(sourceTypeOf(row.name), row.type);
        EXPECT_EQ(sourceTypeSuffixLength(sourceTypeOf(row.name)), row.suffixLength);
    }
}

TEST(ConversionFailureText, NamesTheFileWithoutFolderAndTheStatus)
{
    EXPECT_EQ(conversionFailureText(u"/home/anne/img/photo.jpg"_s, Status::NoEncoder),
              u"il y a eu erreur pendant la conversion dephoto.jpg !Status Code= 10"_s);
    EXPECT_EQ(conversionFailureText(u"b.png"_s, Status::DestinationNotWritable),
              u"il y a eu erreur pendant la conversion deb.png !Status Code= 20"_s);
}
