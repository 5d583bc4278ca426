#include "convert/outputformats.h"

#include "convert/conversion.h"

#include <array>

using namespace Qt::StringLiterals;

namespace convert {

namespace {

// Entry points behind one signature, so the table can hold them.
Status toBmp(const CodecRegistry& registry, const QString& source, const QString& destination, int)
{
    return VersBMP(registry, source, destination);
}

Status toGif(const CodecRegistry& registry, const QString& source, const QString& destination, int)
{
    return VersGIF(registry, source, destination);
}

Status toPng(const CodecRegistry& registry, const QString& source, const QString& destination, int)
{
    return VersPNG(registry, source, destination);
}

constexpr std::array<OutputFormat, 4> formats{{
    {0, "BMP - Windows Bitmap"_L1, formatCodeBmp, "image/bmp", "VersBMP"_L1, &toBmp, "bmp"_L1,
     "BMP"_L1, AlphaHandling::ComposeOnWhite},
    {1, "GIF - Compuserve GIF"_L1, formatCodeGif, "image/gif", "VersGIF"_L1, &toGif, "gif"_L1,
     "GIF"_L1, AlphaHandling::OneTransparentIndex},
    {2, "JPG - JPG Images"_L1, formatCodeJpeg, "image/jpeg", "VersJPEG"_L1, &VersJPEG, "jpg"_L1,
     "JPG"_L1, AlphaHandling::ComposeOnWhite},
    {3, "PNG - Portable Network Graphics"_L1, formatCodePng, "image/png", "VersPNG"_L1, &toPng,
     "png"_L1, "PNG"_L1, AlphaHandling::Keep},
}};

} // namespace

std::span<const OutputFormat> outputFormats()
{
    return formats;
}

const OutputFormat* outputFormatAt(int position)
{
    if (position < 0 || position >= int(formats.size()))
        return nullptr;
    return &formats[std::size_t(position)];
}

const OutputFormat* outputFormatForCode(int code)
{
    for (const OutputFormat& format : formats) {
        if (format.code == code)
            return &format;
    }
    return nullptr;
}

QStringList outputFormatListTexts()
{
    QStringList texts;
    for (const OutputFormat& format : formats)
        texts.append(format.listText);
    return texts;
}

SourceType sourceTypeOf(QStringView fileName)
{
    if (fileName.endsWith(u"JPEG", Qt::CaseInsensitive))
        return SourceType::Jpeg;
    struct Suffix
    {
        QStringView text;
        SourceType type;
    };
    static constexpr std::array<Suffix, 5> suffixes{{{u"BMP", SourceType::Bmp},
                                                     {u"PNG", SourceType::Png},
                                                     {u"JPG", SourceType::Jpg},
                                                     {u"GIF", SourceType::Gif},
                                                     {u"ICO", SourceType::Ico}}};
    for (const Suffix& suffix : suffixes) {
        if (fileName.endsWith(suffix.text, Qt::CaseInsensitive))
            return suffix.type;
    }
    return SourceType::None;
}

int sourceTypeSuffixLength(SourceType type)
{
    switch (type) {
    case SourceType::None:
        return 0;
    case SourceType::Jpeg:
        return 4;
    case SourceType::Bmp:
    case SourceType::Png:
    case SourceType::Jpg:
    case SourceType::Gif:
    case SourceType::Ico:
        return 3;
    }
    return 0;
}

} // namespace convert
