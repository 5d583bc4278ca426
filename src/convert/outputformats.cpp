#include "convert/outputformats.h"

#include "convert/conversion.h"

#include <QStringTokenizer>

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

Status toTiff(const CodecRegistry& registry, const QString& source, const QString& destination, int)
{
    return VersTIFF(registry, source, destination);
}

constexpr std::array<OutputFormat, 6> formats{{
    {0, "BMP - Windows Bitmap"_L1, formatCodeBmp, "image/bmp", "VersBMP"_L1, &toBmp, "bmp"_L1,
     "BMP"_L1, AlphaHandling::ComposeOnWhite, "bmp"_L1, true},
    {1, "GIF - Compuserve GIF"_L1, formatCodeGif, "image/gif", "VersGIF"_L1, &toGif, "gif"_L1,
     "GIF"_L1, AlphaHandling::OneTransparentIndex, "gif"_L1, true},
    {2, "JPG - JPG Images"_L1, formatCodeJpeg, "image/jpeg", "VersJPEG"_L1, &VersJPEG, "jpg"_L1,
     "JPG"_L1, AlphaHandling::ComposeOnWhite, "jpeg|jpg"_L1, true},
    {3, "PNG - Portable Network Graphics"_L1, formatCodePng, "image/png", "VersPNG"_L1, &toPng,
     "png"_L1, "PNG"_L1, AlphaHandling::Keep, "png"_L1, true},
    {4, "TIF - Tagged Image File Format"_L1, formatCodeTiff, "image/tiff", "VersTIFF"_L1, &toTiff,
     "tif"_L1, "TIF"_L1, AlphaHandling::Keep, "tiff|tif"_L1, false},
    {5, "WEBP - WebP"_L1, formatCodeWebp, "image/webp", "VersWEBP"_L1, &VersWEBP, "webp"_L1,
     "WEBP"_L1, AlphaHandling::Keep, "webp"_L1, false},
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

const OutputFormat* outputFormatForKeyword(QStringView keyword)
{
    for (const OutputFormat& format : formats) {
        for (const QLatin1StringView name : format.keywords.tokenize(u'|')) {
            if (keyword.compare(name, Qt::CaseInsensitive) == 0)
                return &format;
        }
    }
    return nullptr;
}

std::optional<QSize> parseMaxSize(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QSize();
    qsizetype cross = -1;
    for (const QChar separator : {u'x', u'X', u'\u00D7'}) {
        cross = trimmed.indexOf(separator);
        if (cross >= 0)
            break;
    }
    if (cross < 0)
        return std::nullopt;
    const auto side = [](QStringView digits) -> int {
        digits = digits.trimmed();
        if (digits.isEmpty() || digits.size() > 5)
            return 0;
        for (const QChar c : digits) {
            if (c < u'0' || c > u'9')
                return 0;
        }
        const int value = digits.toInt();
        return value <= 65535 ? value : 0;
    };
    const int width = side(trimmed.left(cross));
    const int height = side(trimmed.mid(cross + 1));
    if (width < 1 || height < 1)
        return std::nullopt;
    return QSize(width, height);
}

SourceType sourceTypeOf(QStringView fileName, bool tiffWebp)
{
    if (tiffWebp) {
        if (fileName.endsWith(u".tif", Qt::CaseInsensitive))
            return SourceType::Tif;
        if (fileName.endsWith(u".tiff", Qt::CaseInsensitive))
            return SourceType::Tiff;
        if (fileName.endsWith(u".webp", Qt::CaseInsensitive))
            return SourceType::Webp;
    }
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
    case SourceType::Tif:
        return 3;
    case SourceType::Tiff:
    case SourceType::Webp:
        return 4;
    }
    return 0;
}

} // namespace convert
