#pragma once

namespace convert {

// Qt's image readers and writers, and libpng and libjpeg under them, report through Qt's
// logging ("qt.gui.imageio*" categories, "libpng warning: ..." texts). Those reports never
// reach the user: the loader and the encoders give their verdict through a Status and the
// program shows its own messages. quietImageIo() installs, once per process, a message
// handler that drops them and passes every other message on to the handler it replaced.
void quietImageIo();

// Registers the calling thread's decode for the JPEG warnings during its lifetime: libjpeg
// reports a premature end of data as a warning only, which marks the decode damaged. A
// warning raised by several decodes at once is charged to the one that raised it: Qt's
// reader runs libjpeg on the thread that called read().
class WatchedDecode
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
