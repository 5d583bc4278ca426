// Times the picture loader (full against reduced-size decode of the corpus JPEGs) and the
// GIF encoder (speed and quality against the source) and prints the figures.
#include "benchutil.h"
#include "convert/gifencoder.h"
#include "imaging/pictureloader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace convert;
using namespace Qt::StringLiterals;

using bench::psnr;

namespace {

const QString corpus = u"/work/shared/corpus/jpeg"_s;

template <typename F> double medianMs(int runs, F&& work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchDecode(const QStringList& files)
{
    std::printf("== JPEG decode: full vs fitted into the 209 x 153 preview box (median of 5)\n");
    std::printf("%-36s %11s %9s %9s %7s\n", "file", "size", "full ms", "fit ms", "ratio");
    double totalFull = 0;
    double totalFit = 0;
    for (const QString& file : files) {
        const PictureProbe probe = PictureLoader::probe(file);
        const double full = medianMs(5, [&] { PictureLoader::load(file); });
        const double fit = medianMs(5, [&] { PictureLoader::loadFitted(file, QSize(209, 153)); });
        totalFull += full;
        totalFit += fit;
        std::printf("%-36s %5dx%-5d %9.1f %9.1f %6.1f%%\n", qPrintable(QFileInfo(file).fileName()),
                    probe.uprightSize.width(), probe.uprightSize.height(), full, fit,
                    100.0 * fit / full);
    }
    std::printf("%-36s %11s %9.1f %9.1f %6.1f%%\n\n", "total", "", totalFull, totalFit,
                100.0 * totalFit / totalFull);
}

// A 12-megapixel photo made from a corpus JPEG, as a camera would give.
QImage twelveMegapixels(const QStringList& files)
{
    QImage best;
    for (const QString& file : files) {
        QImage image = PictureLoader::load(file).image;
        if (qint64(image.width()) * image.height() > qint64(best.width()) * best.height())
            best = image;
    }
    return best.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

void benchGif(const QStringList& files)
{
    const QImage photo = twelveMegapixels(files);
    std::printf("== GIF encode of a %dx%d photo (median of 3)\n", photo.width(), photo.height());
    std::printf("%6s %9s %9s %8s %9s %10s\n", "speed", "dither", "ms", "img/s", "PSNR dB", "bytes");
    for (const int speed : {6, 8, 10}) {
        for (const float dithering : {1.0f, 0.5f, 0.0f}) {
            QByteArray bytes;
            const double ms = medianMs(3, [&] {
                bytes.clear();
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                encodeGif(photo, buffer, GifEncoderOptions{speed, dithering});
            });
            const QImage decoded = QImage::fromData(bytes, "GIF");
            std::printf("%6d %9.1f %9.0f %8.2f %9.2f %10lld\n", speed, double(dithering), ms,
                        1000.0 / ms, psnr(photo, decoded), qint64(bytes.size()));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files;
    const QDir dir(corpus);
    for (const QString& name : dir.entryList({u"*.jpg"_s, u"*.jpeg"_s}, QDir::Files, QDir::Name))
        files.append(dir.filePath(name));
    if (files.isEmpty()) {
        std::printf("no JPEG in %s\n", qPrintable(corpus));
        return 1;
    }
    benchDecode(files);
    benchGif(files);
    return 0;
}
