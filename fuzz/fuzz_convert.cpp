// libFuzzer target: the picture loader and the conversion of one file to each output format.
// Each input is written to a file (the loader reads files), probed, loaded and, when it
// decodes, saved as BMP, GIF, JPEG and PNG; the damage check also runs on the raw bytes
// under every format name. Crashes, sanitizer reports and leaks are findings; a refused
// input is not.
#include "convert/codecregistry.h"
#include "convert/conversion.h"
#include "convert/damage.h"
#include "convert/outputformats.h"
#include "convert/pictureloader.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Context& ctx = context();
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const char* format : {"jpeg", "png", "gif", "bmp"})
        endsPrematurely(bytes, format);

    const QString source = ctx.dir.filePath(QStringLiteral("input"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes.data(), bytes.size());
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
