#include "imaging/datetaken.h"

#include "imaging/exiv.h"

#include <QFile>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

// The digits of `text` from `from`, `count` of them; -1 when one is not a digit.
int digits(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// An open file descriptor, closed on every exit path.
struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Bytes of a file read on demand through a window that moves forward.
class Window
{
public:
    explicit Window(int fd) : m_fd(fd) {}

    // The `count` bytes at `offset`, or nullptr past the end of the file or on a read error.
    const unsigned char* at(qint64 offset, std::size_t count)
    {
        if (offset < m_start || offset + static_cast<qint64>(count) > m_start + m_size) {
            m_bytes.resize(std::max(count, minimumRead));
            const ssize_t got = ::pread(m_fd, m_bytes.data(), m_bytes.size(), offset);
            m_start = offset;
            m_size = got > 0 ? got : 0;
            if (static_cast<std::size_t>(m_size) < count)
                return nullptr;
        }
        return m_bytes.data() + (offset - m_start);
    }

private:
    // The segments before a camera's EXIF are a few dozen bytes (JFIF); its EXIF is some kB.
    static constexpr std::size_t minimumRead = 16 * 1024;
    int m_fd;
    std::vector<unsigned char> m_bytes;
    qint64 m_start = 0;
    qint64 m_size = 0;
};

enum class JpegExif
{
    NotJpeg,
    None,
    Found,
};

// The EXIF block of a JPEG (the TIFF data of its APP1 "Exif" segment), found by walking the
// segments before the picture data: only they are read, however large the file is.
JpegExif jpegExif(Window& file, const unsigned char** tiff, std::size_t* size)
{
    const unsigned char* soi = file.at(0, 2);
    if (!soi || soi[0] != 0xFF || soi[1] != 0xD8)
        return JpegExif::NotJpeg;
    qint64 offset = 2;
    // A camera writes a handful of segments; a file with hundreds is not worth walking.
    for (int segment = 0; segment < 256; ++segment) {
        const unsigned char* marker = file.at(offset, 2);
        if (!marker || marker[0] != 0xFF)
            return JpegExif::None;
        const unsigned char kind = marker[1];
        if (kind == 0xFF) { // fill byte
            ++offset;
            continue;
        }
        if (kind == 0x01 || (kind >= 0xD0 && kind <= 0xD8)) { // markers without a length
            offset += 2;
            continue;
        }
        if (kind == 0xDA || kind == 0xD9) // the picture data, or the end
            return JpegExif::None;
        const unsigned char* header = file.at(offset, 4);
        if (!header)
            return JpegExif::None;
        const std::size_t length = (std::size_t{header[2]} << 8) | header[3];
        if (length < 2)
            return JpegExif::None;
        constexpr unsigned char exifId[] = {'E', 'x', 'i', 'f', 0, 0};
        if (kind == 0xE1 && length > 2 + sizeof exifId) {
            const unsigned char* body = file.at(offset + 4, length - 2);
            if (!body)
                return JpegExif::None;
            if (std::equal(std::begin(exifId), std::end(exifId), body)) {
                *tiff = body + sizeof exifId;
                *size = length - 2 - sizeof exifId;
                return JpegExif::Found;
            }
        }
        offset += 2 + static_cast<qint64>(length);
    }
    return JpegExif::None;
}

std::optional<QDateTime> firstValidDate(const Exiv2::ExifData& exif)
{
    static const std::array<Exiv2::ExifKey, 3> keys{
        Exiv2::ExifKey("Exif.Photo.DateTimeOriginal"),
        Exiv2::ExifKey("Exif.Photo.DateTimeDigitized"),
        Exiv2::ExifKey("Exif.Image.DateTime"),
    };
    for (const Exiv2::ExifKey& key : keys) {
        const auto found = exif.findKey(key);
        if (found == exif.end())
            continue;
        if (std::optional<QDateTime> date = parseExifDateTime(found->toString()))
            return date;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> parseExifDateTime(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
        text.remove_suffix(1);
    constexpr std::string_view pattern = "dddd:dd:dd dd:dd:dd";
    if (text.size() != pattern.size())
        return std::nullopt;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != 'd' && text[i] != pattern[i])
            return std::nullopt;
    }
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    // Year 0 does not exist for QDate either: "0000:00:00 00:00:00" is the usual blank.
    if (year < 1 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<QDateTime> dateTaken(const QString& path)
{
    // The file is opened here, without blocking, and read only through this descriptor: a FIFO
    // or device is never read, a file replaced meanwhile is not read instead, and the library
    // never takes a name for a URL ("http://...", "-").
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat st;
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    initializeExiv2();
    try {
        // A JPEG's EXIF is decoded by the library from the bytes of its segment, as the
        // library's own JPEG reader does, without its look at every other segment (XMP,
        // IPTC, ICC profile): most of the cost of a camera file.
        Window window(file.fd);
        const unsigned char* tiff = nullptr;
        std::size_t size = 0;
        switch (jpegExif(window, &tiff, &size)) {
        case JpegExif::Found: {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, tiff, static_cast<uint32_t>(size));
            return firstValidDate(exif);
        }
        case JpegExif::None:
            return std::nullopt;
        case JpegExif::NotJpeg:
            break;
        }
    } catch (const std::exception&) {
        return std::nullopt; // metadata the library cannot read is no date
    }
    // Other types go through the library's own reader, on the descriptor's own path; without
    // /proc, on the path itself, a regular file an instant ago.
    static const bool descriptorPaths = ::access("/proc/self/fd", X_OK) == 0;
    // That reader also parses XMP, whose toolkit keeps shared state: one file at a time.
    static std::mutex readerLock;
    const std::lock_guard lock(readerLock);
    try {
        Exiv2::BasicIo::AutoPtr io(
            new Exiv2::FileIo(descriptorPaths ? "/proc/self/fd/" + std::to_string(file.fd)
                                              : std::string(QFile::encodeName(path).constData())));
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(std::move(io));
        if (!image.get())
            return std::nullopt;
        // Reads the metadata only: the pixels are never decoded.
        image->readMetadata();
        return firstValidDate(image->exifData());
    } catch (const std::exception&) {
        // Metadata the library cannot read is no date.
    }
    return std::nullopt;
}

} // namespace imaging
