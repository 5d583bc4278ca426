#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/status.h"

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

QImage filled()
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    return picture;
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

// The first encoder listed for a format's type is used, with exactly that format's parameters.
TEST(CodecRegistry, SaveUsesTheFirstEncoderWithItsFormatsParameters)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry(
        {recordingEncoder("bmp", "image/bmp", calls), recordingEncoder("gif", "IMAGE/GIF", calls),
         recordingEncoder("jpeg", "image/jpeg", calls), recordingEncoder("png", "image/png", calls),
         recordingEncoder("jpeg-2", "image/jpeg", calls),
         recordingEncoder("gif-2", "image/gif", calls)});
    QTemporaryDir dir;
    struct Row
    {
        int code;
        int quality;
        QByteArray encoder;
        EncoderParameters expected;
    };
    const std::vector<Row> rows{
        {formatCodeJpeg, -1, "jpeg", {{qualityParameter, 75}}},
        {formatCodeJpeg, 0, "jpeg", {{qualityParameter, 0}}},
        {formatCodeJpeg, 100, "jpeg", {{qualityParameter, 100}}},
        {formatCodeJpeg, 101, "jpeg", {{qualityParameter, 75}}},
        {formatCodeBmp, 90, "bmp", {}},
        {formatCodePng, 90, "png", {}},
        {formatCodeGif, 90, "gif", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "code " << row.code << " quality " << row.quality);
        calls.clear();
        EXPECT_EQ(SauverFormat(registry, filled(), dir.filePath(u"out"_s), row.code, row.quality),
                  Status::Ok);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front().encoder, row.encoder);
        EXPECT_EQ(calls.front().parameters, row.expected);
    }
}

TEST(CodecRegistry, SaveWithoutEncoderOrWithUnknownCodeWritesNothing)
{
    std::vector<EncoderCall> calls;
    const CodecRegistry registry({recordingEncoder("png", "image/png", calls)});
    QTemporaryDir dir;
    const QString destination = dir.filePath(u"out"_s);
    EXPECT_EQ(SauverFormat(registry, filled(), destination, formatCodeJpeg, 90), Status::NoEncoder);
    EXPECT_EQ(SauverFormat(registry, filled(), destination, 0, 90), Status::UnknownFormat);
    EXPECT_EQ(SauverFormat(registry, filled(), destination, 5, 90), Status::UnknownFormat);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(QFileInfo::exists(destination));
}

TEST(CodecSession, StartNeedsAllFourEncodersAndEndReleasesThem)
{
    CodecSession session;
    EXPECT_EQ(session.start(), Status::Ok);
    for (const OutputFormat& format : outputFormats()) {
        EncoderId id;
        EXPECT_GT(session.registry().ChercheEncodeur(format.mimeType, id), 0)
            << format.mimeType.toByteArray().toStdString();
    }
    session.end();
    EXPECT_FALSE(session.isOpen());
    EXPECT_TRUE(session.registry().encoders().empty());
    session.end(); // a second end, or an end after a failed start, is harmless

    for (const QByteArray& hidden : {QByteArray("IMAGE/GIF"), QByteArray("image/jpeg")}) {
        SCOPED_TRACE(hidden.toStdString());
        CodecRegistry::clearHiddenMimeTypesForTesting();
        CodecRegistry::hideMimeTypeForTesting(hidden);
        CodecSession failing;
        EXPECT_EQ(failing.start(), Status::NoEncoder);
        EXPECT_FALSE(failing.isOpen());
        failing.end();
    }
    CodecRegistry::clearHiddenMimeTypesForTesting();
}

TEST(OutputFormats, SourceTypeFromTheEndOfTheName)
{
    const std::vector<std::pair<QString, SourceType>> rows{
        {u"IMG1.JPG"_s, SourceType::Jpg},       {u"photo.jpeg"_s, SourceType::Jpeg},
        {u"c.Bmp"_s, SourceType::Bmp},          {u"icon.ico"_s, SourceType::Ico},
        {u"scan.tif"_s, SourceType::None},      {u"noextensionpng"_s, SourceType::Png},
        {u"photo.jpg.bak"_s, SourceType::None},
    };
    for (const auto& [name, type] : rows)
        EXPECT_EQ(sourceTypeOf(name), type) << name.toStdString();
}

TEST(ConversionFailureText, NamesTheFileWithoutFolderAndTheStatus)
{
    EXPECT_EQ(conversionFailureText(u"/home/anne/img/photo.jpg"_s, Status::NoEncoder),
              u"il y a eu erreur pendant la conversion dephoto.jpg !Status Code= 10"_s);
    EXPECT_EQ(conversionFailureText(u"b.png"_s, Status::DestinationNotWritable),
              u"il y a eu erreur pendant la conversion deb.png !Status Code= 20"_s);
}
