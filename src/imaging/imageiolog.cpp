#include "imaging/imageiolog.h"

#include <QLoggingCategory>
#include <QString>

#include <cstdarg>
#include <cstring>
#include <mutex>

#include <dlfcn.h>

namespace convert {

namespace {

constexpr char imageIoPrefix[] = "qt.gui.imageio";
constexpr char jpegCategory[] = "qt.gui.imageio.jpeg";

thread_local WatchedDecode* currentDecode = nullptr;
thread_local int imageIoDepth = 0;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

bool isImageIoMessage(const QMessageLogContext& context, const QString& text)
{
    if (context.category &&
        std::strncmp(context.category, imageIoPrefix, sizeof(imageIoPrefix) - 1) == 0)
        return true;
    // Reported by some image plugins in the default category.
    return text.startsWith(QLatin1String("libpng warning:")) ||
           text.startsWith(QLatin1String("libpng error:"));
}

void filterImageIoMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg && (imageIoDepth > 0 || isImageIoMessage(context, text))) {
        // "Premature end of JPEG file", "Corrupt JPEG data: premature end of data segment".
        // Other warnings (extraneous bytes, common on sound camera files) are not damage.
        if (currentDecode && context.category && std::strcmp(context.category, jpegCategory) == 0 &&
            text.contains(QLatin1String("premature end"), Qt::CaseInsensitive))
            currentDecode->markDamaged();
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

// The JPEG warnings decide damage: keep them enabled whatever the logging rules say.
void keepJpegWarningsEnabled(QLoggingCategory* category)
{
    if (previousFilter)
        previousFilter(category);
    if (std::strcmp(category->categoryName(), jpegCategory) == 0)
        category->setEnabled(QtWarningMsg, true);
}

} // namespace

namespace {

// libtiff, under Qt's TIFF plugin, prints its errors and warnings to the standard error
// itself. The library the plugin will load is loaded here first, and its handlers removed.
void silenceLibtiff()
{
    using Handler = void (*)(const char* module, const char* format, va_list arguments);
    using SetHandler = Handler (*)(Handler);
    for (const char* name : {"libtiff.so.6", "libtiff.so.5"}) {
        void* library = ::dlopen(name, RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            continue;
        for (const char* setter : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"}) {
            if (void* symbol = ::dlsym(library, setter)) {
                SetHandler set = nullptr;
                std::memcpy(&set, &symbol, sizeof set);
                set(nullptr);
            }
        }
        return; // kept loaded: the plugin shares it
    }
}

} // namespace

void quietImageIo()
{
    static std::once_flag once;
    std::call_once(once, [] {
        previousHandler = qInstallMessageHandler(&filterImageIoMessages);
        previousFilter = QLoggingCategory::installFilter(&keepJpegWarningsEnabled);
        silenceLibtiff();
    });
}

ImageIoScope::ImageIoScope()
{
    quietImageIo();
    ++imageIoDepth;
}

ImageIoScope::~ImageIoScope()
{
    --imageIoDepth;
}

WatchedDecode::WatchedDecode()
{
    m_outer = currentDecode;
    currentDecode = this;
}

WatchedDecode::~WatchedDecode()
{
    currentDecode = m_outer;
}

} // namespace convert
