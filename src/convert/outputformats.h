#pragma once

#include "convert/status.h"

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QStringView>

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

// Converts the picture file `source` into `destination`; `quality` is used by JPEG only.
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
    EntryPoint convert;                // VersBMP, VersGIF, VersJPEG or VersPNG
    QLatin1StringView singleExtension; // extension written by the single conversion
    QLatin1StringView batchExtension;  // extension written by the batch conversion
    AlphaHandling alpha;
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

// The entry selected after the format list is filled ("JPG - JPG Images").
inline constexpr int defaultOutputFormatPosition = 2;

// Quality both conversions pass to VersJPEG, and the one used when a quality is out of range.
inline constexpr int conversionJpegQuality = 90;
inline constexpr int defaultJpegQuality = 75;

// Encoder format codes.
inline constexpr int formatCodeBmp = 1;
inline constexpr int formatCodeJpeg = 2;
inline constexpr int formatCodePng = 3;
inline constexpr int formatCodeGif = 4;

// Type of a source file, read from the end of its name without regard to case.
enum class SourceType
{
    None,
    Bmp,
    Png,
    Jpg,
    Jpeg,
    Gif,
    Ico
};

SourceType sourceTypeOf(QStringView fileName);

// Number of characters at the end of a name that make up its source type (3, 4 for JPEG,
// 0 for none): what is cut off before a new extension is appended.
int sourceTypeSuffixLength(SourceType type);

} // namespace convert
