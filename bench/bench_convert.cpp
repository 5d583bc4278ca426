// The batch conversion engine as a benchmark tool, driven by bench/convert_compare.sh:
//   bench_convert generate <folder> <count>      photo-like JPEGs of 12 to 24 megapixels
//   bench_convert run <BMP|GIF|JPEG|PNG> <output folder> <files...>
//                                                converts through runBatch, prints img/s
//   bench_convert psnr <source> <converted...>   PSNR of each converted file against the source
//   bench_convert gif <files...>                 GIF encoder settings: time and PSNR
//   bench_convert scaled <WxH> <pristine> <jpeg>  a JPEG made from `pristine` loaded into the box
//                                                by PictureLoader::loadWithin, and decoded whole
//                                                then scaled: time and PSNR of each against
//                                                `pristine` scaled by the same filter
#include "benchutil.h"
#include "convert/batchconversion.h"
#include "convert/codecregistry.h"
#include "convert/gifencoder.h"
#include "convert/outputformats.h"
#include "imaging/pictureloader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QThread>
#include <QtConcurrent>

#include <cmath>
#include <cstdio>
#include <optional>

using namespace convert;
using namespace Qt::StringLiterals;

using bench::psnr;

namespace {

// Smooth gradients, soft shapes and sensor-like noise: close enough to a photo for codecs.
QImage photoLike(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    const double fx = 0.002 + random.bounded(0.004);
    const double fy = 0.002 + random.bounded(0.004);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double s = std::sin(x * fx + std::cos(y * fy) * 3);
            const double t = std::cos(y * fy * 1.7 + std::sin(x * fx * 0.6) * 2);
            const int noise = int(random.bounded(17)) - 8;
            line[x] = qRgb(qBound(0, int(128 + 90 * s) + noise, 255),
                           qBound(0, int(120 + 80 * t) + noise, 255),
                           qBound(0, int(110 + 60 * s * t) + noise, 255));
        }
    }
    return image;
}

int generate(const QString& folder, int count)
{
    QDir().mkpath(folder);
    const QList<QSize> sizes{{4000, 3000}, {4928, 3264}, {6000, 4000}, {4608, 3456}};
    QList<int> indices;
    for (int i = 0; i < count; ++i)
        indices.append(i);
    QtConcurrent::blockingMap(indices, [&](int i) {
        const QSize size = sizes[i % sizes.size()];
        QImageWriter writer(QDir(folder).filePath(u"gen_%1.jpg"_s.arg(i, 3, 10, QChar(u'0'))),
                            "jpeg");
        writer.setQuality(92);
        writer.write(photoLike(size.width(), size.height(), quint32(i + 1)));
    });
    return 0;
}

int run(const QString& targetName, const QString& outputFolder, const QStringList& files)
{
    const OutputFormat* target = nullptr;
    for (const OutputFormat& format : outputFormats()) {
        if (format.batchExtension == targetName ||
            (targetName == u"JPEG"_s && format.code == formatCodeJpeg))
            target = &format;
    }
    if (!target)
        return 2;
    BatchSettings settings;
    settings.convDest = true;
    settings.repertConv = outputFolder;
    const CodecRegistry registry = CodecRegistry::system();
    QElapsedTimer timer;
    timer.start();
    const std::vector<BatchResult> results = runBatch(registry, files, *target, settings);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    int converted = 0;
    for (const BatchResult& result : results)
        converted += result.outcome == BatchResult::Outcome::Converted;
    std::printf("morvane %s: %d files in %.2f s = %.2f img/s (%d not converted)\n",
                qPrintable(targetName), converted, seconds, converted / seconds,
                int(results.size()) - converted);
    return 0;
}

int psnrOf(const QString& source, const QStringList& converted)
{
    const LoadedPicture original = PictureLoader::load(source);
    for (const QString& file : converted) {
        QImage other(file);
        std::printf("%s %.2f\n", qPrintable(file), psnr(original.image, other));
    }
    return 0;
}

int gifSettings(const QStringList& files)
{
    std::vector<QImage> photos;
    for (const QString& file : files)
        photos.push_back(PictureLoader::load(file).image);
    std::printf("%5s %7s %9s %8s\n", "speed", "dither", "s/photo", "PSNR dB");
    for (const int speed : {4, 6, 8, 10}) {
        for (const float dithering : {0.0f, 0.5f, 1.0f}) {
            double seconds = 0;
            double quality = 0;
            for (const QImage& photo : photos) {
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                QElapsedTimer timer;
                timer.start();
                encodeGif(photo, buffer, {speed, dithering});
                seconds += double(timer.nsecsElapsed()) / 1e9;
                QImage decoded;
                decoded.loadFromData(buffer.data(), "GIF");
                quality += psnr(photo, decoded);
            }
            std::printf("%5d %7.1f %9.2f %8.2f\n", speed, double(dithering),
                        seconds / photos.size(), quality / photos.size());
        }
    }
    return 0;
}

int scaledDecode(const QString& box, const QString& pristine, const QString& jpeg)
{
    const std::optional<QSize> size = parseMaxSize(box);
    const QImage original = PictureLoader::load(pristine).image;
    if (!size || size->isEmpty() || original.isNull())
        return 1;
    QElapsedTimer timer;
    timer.start();
    const QImage within = PictureLoader::loadWithin(jpeg, *size).image;
    const double withinSeconds = double(timer.nsecsElapsed()) / 1e9;
    timer.restart();
    const QImage decoded = PictureLoader::load(jpeg).image;
    const QImage whole = downscaled(decoded, within.size());
    const double wholeSeconds = double(timer.nsecsElapsed()) / 1e9;
    const QImage qtSmooth =
        decoded.scaled(within.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage truth = downscaled(original, within.size());
    std::printf("%s %dx%d: within %.3f s %.2f dB; whole %.3f s %.2f dB (Qt smooth %.2f dB)\n",
                qPrintable(QFileInfo(jpeg).fileName()), within.width(), within.height(),
                withinSeconds, psnr(within, truth), wholeSeconds, psnr(whole, truth),
                psnr(qtSmooth, truth));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == u"generate"_s)
        return generate(args[1], args[2].toInt());
    if (args.size() >= 4 && args[0] == u"run"_s)
        return run(args[1], args[2], args.mid(3));
    if (args.size() >= 3 && args[0] == u"psnr"_s)
        return psnrOf(args[1], args.mid(2));
    if (args.size() == 4 && args[0] == u"scaled"_s)
        return scaledDecode(args[1], args[2], args[3]);
    if (args.size() >= 2 && args[0] == u"gif"_s)
        return gifSettings(args.mid(1));
    std::fprintf(stderr, "usage: see the comment at the top of bench_convert.cpp\n");
    return 0; // built by the `benchmarks` target and run without arguments there
}
