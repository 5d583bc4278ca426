#pragma once

#include "imaging/status.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>

namespace convert {

class CodecRegistry;

// How a written format keeps transparent pixels.
enum class AlphaHandling
{
    ComposeOnWhite,      // no alpha channel: transparent pixels are composed onto white
    OneTransparentIndex, // a palette with one fully transparent entry
    Keep,                // a full alpha channel
};

// Converts the picture file `source` into `destination`; `quality` is used by JPEG and WebP.
using EntryPoint = Status (*)(const CodecRegistry& registry, const QString& source,
                              const QString& destination, int quality);

// One format the conversions can write. Positions follow the format list `Combo3`.
struct OutputFormat
{
    int position;               // position in the format list
    QLatin1StringView listText; // text of the format list entry
    int code;                   // format code taken by SauverFormat
    QByteArrayView mimeType;    // the encoder is looked up by this MIME type
    QLatin1StringView entryPointName;
    EntryPoint convert;                // VersBMP, VersGIF, VersJPEG, VersPNG, VersTIFF or VersWEBP
    QLatin1StringView singleExtension; // extension written by the single conversion
    QLatin1StringView batchExtension;  // extension written by the batch conversion
    AlphaHandling alpha;
    QLatin1StringView keywords; // names on the command line, '|' between them
    bool required;              // the codec session needs its encoder to open
};

// The one table of output formats, in list order.
std::span<const OutputFormat> outputFormats();

// The format at `position` of the format list; nullptr for no selection (-1) or any other
// position.
const OutputFormat* outputFormatAt(int position);

// The format with format code `code`; nullptr when no format has it.
const OutputFormat* outputFormatForCode(int code);

// Texts of the format list, in list order.
QStringList outputFormatListTexts();

// The format named `keyword` on the command line (any letter case); nullptr for none.
const OutputFormat* outputFormatForKeyword(QStringView keyword);

// The entry selected after the format list is filled ("JPG - JPG Images").
inline constexpr int defaultOutputFormatPosition = 2;

// Quality both conversions pass to VersJPEG, and the one used when a quality is out of range.
inline constexpr int conversionJpegQuality = 90;
inline constexpr int defaultJpegQuality = 75;

// A PNG compression level from 0 (none) to 9 (smallest), or -1 for the encoder's default.
inline constexpr int defaultPngCompression = -1;

// A largest output size "WxH" ("1920x1080", also with 'X' or '×', blanks around the sides),
// both sides from 1 to 65535. An empty size for blank text; nullopt for anything else.
std::optional<QSize> parseMaxSize(QStringView text);

// Encoder format codes.
inline constexpr int formatCodeBmp = 1;
inline constexpr int formatCodeJpeg = 2;
inline constexpr int formatCodePng = 3;
inline constexpr int formatCodeGif = 4;
inline constexpr int formatCodeTiff = 6;
inline constexpr int formatCodeWebp = 7;

// Type of a source file, read from the end of its name without regard to case.
enum class SourceType
{
    None,
    Bmp,
    Png,
    Jpg,
    Jpeg,
    Gif,
    Ico,
    Tif,  // ".tif"
    Tiff, // ".tiff"
    Webp, // ".webp"
};

// With `tiffWebp`, a name ending in ".tif", ".tiff" or ".webp" has a type of its own;
// without, such a name has none (or the type its last letters give).
SourceType sourceTypeOf(QStringView fileName, bool tiffWebp = false);

// Number of characters at the end of a name that make up its source type (3, 4 for JPEG,
// 0 for none): what is cut off before a new extension is appended. For TIFF and WebP it is
// the whole extension after the dot.
int sourceTypeSuffixLength(SourceType type);

} // namespace convert
