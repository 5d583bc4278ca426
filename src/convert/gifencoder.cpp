#include "convert/gifencoder.h"

#include "convert/atomicfile.h"
#include "imaging/pictureloader.h"

#include <QIODevice>
#include <QImage>

#include <gif_lib.h>
#include <libimagequant.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace convert {

namespace {

struct LiqDeleter
{
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image* image) const { liq_image_destroy(image); }
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

template <typename T> using LiqPtr = std::unique_ptr<T, LiqDeleter>;

// libimagequant 2.17 allocates a row buffer for pictures over about 4 megapixels that
// liq_image_destroy never frees (128 KiB for each 12-megapixel photo, found by fuzzing). Each
// encode therefore allocates through an arena that frees whatever is left when it ends. The
// library may free on its own worker threads, so ownership is kept in one shared map.
struct LiqArena
{
};

std::mutex arenaMutex;
std::unordered_map<void*, LiqArena*>& arenaOwners()
{
    static std::unordered_map<void*, LiqArena*> owners;
    return owners;
}
thread_local LiqArena* currentArena = nullptr;

void* arenaMalloc(size_t size)
{
    void* block = std::malloc(size);
    if (block && currentArena) {
        const std::lock_guard lock(arenaMutex);
        arenaOwners().emplace(block, currentArena);
    }
    return block;
}

void arenaFree(void* block)
{
    if (!block)
        return;
    {
        const std::lock_guard lock(arenaMutex);
        arenaOwners().erase(block);
    }
    std::free(block);
}

// Declared before the library's objects, so it ends after they are destroyed.
class ArenaScope
{
public:
    ArenaScope() : m_outer(currentArena) { currentArena = &m_arena; }
    ~ArenaScope()
    {
        currentArena = m_outer;
        const std::lock_guard lock(arenaMutex);
        auto& owners = arenaOwners();
        for (auto it = owners.begin(); it != owners.end();) {
            if (it->second == &m_arena) {
                std::free(it->first);
                it = owners.erase(it);
            } else {
                ++it;
            }
        }
    }
    ArenaScope(const ArenaScope&) = delete;
    ArenaScope& operator=(const ArenaScope&) = delete;

private:
    LiqArena m_arena;
    LiqArena* m_outer;
};

constexpr int gifMaxSide = 65535;

// GIF cannot mix partial transparency: pixels below half opacity become fully transparent,
// the others opaque over white. Returns whether any pixel is transparent.
bool splitTransparency(QImage& rgba)
{
    bool anyTransparent = false;
    for (int y = 0; y < rgba.height(); ++y) {
        uchar* pixel = rgba.scanLine(y);
        for (int x = 0; x < rgba.width(); ++x, pixel += 4) {
            const int alpha = pixel[3];
            if (alpha == 255)
                continue;
            if (alpha < 128) {
                pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
                anyTransparent = true;
            } else {
                for (int channel = 0; channel < 3; ++channel)
                    pixel[channel] = uchar((pixel[channel] * alpha + 255 * (255 - alpha)) / 255);
                pixel[3] = 255;
            }
        }
    }
    return anyTransparent;
}

int writeToDevice(GifFileType* gif, const GifByteType* data, int length)
{
    auto* device = static_cast<QIODevice*>(gif->UserData);
    return int(device->write(reinterpret_cast<const char*>(data), length));
}

// Writes one frame of palette indices with giflib.
Status writeGif(QIODevice& device, int width, int height, const std::vector<GifByteType>& indices,
                const liq_palette& palette, int transparentIndex)
{
    int bits = 1;
    while ((1 << bits) < int(palette.count))
        ++bits;
    std::vector<GifColorType> colours(std::size_t(1) << bits, GifColorType{0, 0, 0});
    for (unsigned int index = 0; index < palette.count; ++index)
        colours[index] = {palette.entries[index].r, palette.entries[index].g,
                          palette.entries[index].b};

    int error = 0;
    GifFileType* gif = EGifOpen(&device, &writeToDevice, &error);
    if (!gif)
        return Status::EncodeFailed;
    EGifSetGifVersion(gif, true);

    bool ok = false;
    ColorMapObject* map = GifMakeMapObject(int(colours.size()), colours.data());
    if (map && EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK) {
        ok = true;
        if (transparentIndex >= 0) {
            GraphicsControlBlock control{};
            control.DisposalMode = DISPOSAL_UNSPECIFIED;
            control.TransparentColor = transparentIndex;
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < height; ++y) {
            auto* row = const_cast<GifByteType*>(indices.data() + std::size_t(y) * width);
            ok = EGifPutLine(gif, row, width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    const int putError = gif->Error;
    // Closing writes the trailer and frees `gif`, also after a failure.
    const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
    if (ok && closed)
        return Status::Ok;
    const bool writeFailed = putError == E_GIF_ERR_WRITE_FAILED || error == E_GIF_ERR_WRITE_FAILED;
    return writeFailed ? Status::DestinationWriteFailed : Status::EncodeFailed;
}

} // namespace

Status encodeGif(const QImage& picture, QIODevice& device, const GifEncoderOptions& options)
{
    if (picture.isNull() || picture.width() > gifMaxSide || picture.height() > gifMaxSide)
        return Status::EncodeFailed;

    // A colour table shorter than the indices in use is completed first, as for Qt's writers.
    const QImage complete = withCompletePalette(picture);
    QImage rgba = complete.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        return Status::EncodeFailed;
    const bool anyTransparent = complete.hasAlphaChannel() && splitTransparency(rgba);
    const int width = rgba.width();
    const int height = rgba.height();

    const ArenaScope arena;
    LiqPtr<liq_attr> attr(liq_attr_create_with_allocator(&arenaMalloc, &arenaFree));
    if (!attr || liq_set_speed(attr.get(), options.speed) != LIQ_OK ||
        liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return Status::EncodeFailed;

    std::vector<void*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[std::size_t(y)] = rgba.scanLine(y);
    LiqPtr<liq_image> image(liq_image_create_rgba_rows(attr.get(), rows.data(), width, height, 0));
    if (!image)
        return Status::EncodeFailed;

    liq_result* rawResult = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK)
        return Status::EncodeFailed;
    LiqPtr<liq_result> result(rawResult);
    liq_set_dithering_level(result.get(), options.dithering);

    std::vector<GifByteType> indices(std::size_t(width) * std::size_t(height));
    if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) !=
        LIQ_OK)
        return Status::EncodeFailed;
    // The palette is final only after remapping.
    const liq_palette* palette = liq_get_palette(result.get());

    int transparentIndex = -1;
    if (anyTransparent) {
        for (unsigned int index = 0; index < palette->count; ++index) {
            if (palette->entries[index].a == 0) {
                transparentIndex = int(index);
                break;
            }
        }
    }
    return writeGif(device, width, height, indices, *palette, transparentIndex);
}

Status encodeGif(const QImage& picture, const QString& path, const GifEncoderOptions& options)
{
    return writeAtomically(path,
                           [&](QIODevice& device) { return encodeGif(picture, device, options); });
}

} // namespace convert
