// The preview decodes at the size it draws at: full decode against fitted decode.
#include "imaging/pictureloader.h"
#include "preview/previewloading.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<bool()>& work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            return -1;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void measure(const QString& path, const char* label, int runs)
{
    const QSize natural = convert::PictureLoader::probe(path).uprightSize;
    const double full = medianMs(runs, [&] { return convert::PictureLoader::load(path).ok(); });
    const double box = medianMs(runs, [&] { return preview::loadFitted(path, {205, 149}).ok(); });
    const double view = medianMs(runs, [&] { return preview::loadFitted(path, {395, 298}).ok(); });
    std::printf("%-34s %5dx%-5d full %7.1f ms | box 205x149 %6.1f ms (%4.1f%%) | view 395x298 "
                "%6.1f ms (%4.1f%%)\n",
                label, natural.width(), natural.height(), full, box, 100 * box / full, view,
                100 * view / full);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/work/shared/corpus/jpeg");
    std::printf("median of 5 runs; percentages are of the full decode\n");
    const QStringList names = QDir(corpus).entryList(
        {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        measure(QDir(corpus).filePath(name), qPrintable(name), 5);

    // A generated 24-megapixel camera-like JPEG: gradients and noise so it compresses like a
    // photo rather than like a flat fill.
    QTemporaryDir dir;
    QImage image(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        quint32 seed = quint32(y) * 2654435761U;
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525U + 1013904223U;
            const int noise = int(seed >> 28);
            line[x] = qRgb((x / 24 + noise) & 255, (y / 16 + noise) & 255, ((x + y) / 40) & 255);
        }
    }
    const QString big = dir.filePath(QStringLiteral("generated-24mp.jpg"));
    QImageWriter writer(big, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image))
        return 1;
    measure(big, "generated 24 MP JPEG", 5);
    return 0;
}
