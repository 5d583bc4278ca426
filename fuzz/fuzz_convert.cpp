// libFuzzer target: the picture loader and the conversion of one file to each output format.
// Each input is written to a file (the loader reads files), probed, loaded and, when it
// decodes, saved as BMP, GIF, JPEG and PNG; the damage check also runs on the raw bytes
// under every format name. The input is also read as a small palette picture whose colour
// table may be shorter than its indices (8-bit or 1-bit), saved in every format: hostile
// palettes must never reach an encoder as they are. Crashes, sanitizer reports and leaks
// are findings; a refused input is not.
#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/outputformats.h"
#include "imaging/damage.h"
#include "imaging/pictureloader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace convert;

namespace {

struct Context
{
    std::unique_ptr<QCoreApplication> app;
    QTemporaryDir dir;
    CodecRegistry registry = CodecRegistry::system();
};

Context& context()
{
    static int argc = 1;
    static char name[] = "fuzz_convert";
    static char* argv[] = {name, nullptr};
    static Context* instance = [] {
        auto* created = new Context;
        created->app = std::make_unique<QCoreApplication>(argc, argv);
        created->registry = CodecRegistry::system();
        return created;
    }();
    return *instance;
}

// The input as a palette picture: width, height, format and table length from the first
// four bytes, then the table (three bytes an entry), then the pixels (repeated).
QImage palettePicture(QByteArrayView bytes)
{
    if (bytes.size() < 5)
        return {};
    const auto byte = [&](qsizetype at) { return uchar(bytes[at]); };
    const int width = 1 + byte(0) % 48;
    const int height = 1 + byte(1) % 48;
    const bool mono = byte(2) & 1;
    QImage picture(width, height, mono ? QImage::Format_Mono : QImage::Format_Indexed8);
    QList<QRgb> table;
    qsizetype at = 4;
    for (int entry = 0; entry < byte(3) && at + 3 <= bytes.size(); ++entry, at += 3)
        table.append(qRgba(byte(at), byte(at + 1), byte(at + 2), (byte(2) & 2) ? byte(at) : 255));
    picture.setColorTable(table);
    const QByteArrayView pixels = at < bytes.size() ? bytes.sliced(at) : bytes;
    qsizetype next = 0;
    for (int y = 0; y < height; ++y) {
        uchar* line = picture.scanLine(y);
        for (qsizetype x = 0; x < picture.bytesPerLine(); ++x)
            line[x] = uchar(pixels[next++ % pixels.size()]);
    }
    return picture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Context& ctx = context();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const char* format : {"jpeg", "png", "gif", "bmp"})
        isDamaged(bytes, format);
    headerDamaged(bytes, signatureFormat(bytes), false);

    const QString source = ctx.dir.filePath(QStringLiteral("input"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes.data(), bytes.size());
    }
    const QImage palette = palettePicture(bytes);
    if (!palette.isNull()) {
        for (const OutputFormat& format : outputFormats()) {
            const QString output =
                ctx.dir.filePath(QStringLiteral("palette.") + format.batchExtension);
            SauverFormat(ctx.registry, palette, output, format.code, conversionJpegQuality);
        }
    }

    const PictureProbe probe = PictureLoader::probe(source);
    // Pictures the loader accepts may be large (up to its 1 GiB limit); keep the runs short.
    if (probe.status != Status::Ok ||
        qint64(probe.uprightSize.width()) * probe.uprightSize.height() > 4'000'000)
        return 0;
    const LoadedPicture loaded = PictureLoader::load(source);
    if (!loaded.ok())
        return 0;
    for (const OutputFormat& format : outputFormats()) {
        const QString output = ctx.dir.filePath(QStringLiteral("output.") + format.batchExtension);
        SauverFormat(ctx.registry, loaded.image, output, format.code, conversionJpegQuality);
    }
    return 0;
}
