#pragma once

namespace convert {

// Qt's image readers and writers, the image plugins and libpng and libjpeg under them report
// through Qt's logging ("qt.gui.imageio*" categories, "libpng warning: ..." texts, plain
// warnings of the plugins). Those reports never reach the user: the loader and the encoders
// give their verdict through a Status and the program shows its own messages. quietImageIo()
// installs, once per process, a message handler that drops them and passes every other
// message on to the handler it replaced.
void quietImageIo();

// Marks the calling thread as running Qt's image code during its lifetime: every message
// the thread logs meanwhile (but a fatal one) comes from that code and is dropped. Scopes
// nest. Installs the handler.
class ImageIoScope
{
public:
    ImageIoScope();
    ~ImageIoScope();
    ImageIoScope(const ImageIoScope&) = delete;
    ImageIoScope& operator=(const ImageIoScope&) = delete;
};

// An image-io scope that also watches the JPEG warnings: libjpeg reports a premature end of
// data as a warning only, which marks the decode damaged. A warning raised by several
// decodes at once is charged to the one that raised it: Qt's reader runs libjpeg on the
// thread that called read().
class WatchedDecode : public ImageIoScope
{
public:
    WatchedDecode();
    ~WatchedDecode();
    WatchedDecode(const WatchedDecode&) = delete;
    WatchedDecode& operator=(const WatchedDecode&) = delete;
    bool damaged() const { return m_damaged; }
    void markDamaged() { m_damaged = true; }

private:
    bool m_damaged = false;
    WatchedDecode* m_outer = nullptr;
};

} // namespace convert
