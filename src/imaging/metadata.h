#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <memory>

class QImage;

namespace imaging {

// The EXIF, XMP, IPTC and ICC profile of a picture file, as a conversion carries them into
// its output. Read from the file's header only; immutable once read, so a copy is cheap and
// may be used from several threads.
struct PictureMetadata
{
    struct Data;                      // the library's containers, defined where they are used
    std::shared_ptr<const Data> data; // null: the file had none of the four

    bool isEmpty() const { return !data; }
};

struct MetadataRead
{
    PictureMetadata metadata;
    // Set when the file has metadata that the library cannot parse: it is all dropped.
    QString warning;
};

// Reads the metadata of the picture file `path` (header only, never the pixels). A file of a
// type that holds none (an icon) gives empty metadata and no warning.
MetadataRead readMetadata(const QString& path);

struct MetadataInsertion
{
    QByteArray bytes; // the encoded picture with the metadata, or as it was
    QString warning;  // set when the metadata could not be written: `bytes` has none
};

// Puts `metadata` into `encoded`, a picture of `pictureSize` just encoded in a format that
// holdsMetadata(), in memory: the orientation tag says upright where the pixels were turned
// by it on loading, the pixel dimensions are those written, the EXIF thumbnail is left out
// (it would show the picture before the conversion), and an ICC profile goes only where its
// colour model matches the pixels (`grayscale` or colour).
MetadataInsertion insertMetadata(const QByteArray& encoded, const PictureMetadata& metadata,
                                 QSize pictureSize, bool grayscale);

// Whether a file of MIME type `mimeType` can hold EXIF, XMP, IPTC or an ICC profile
// (JPEG, PNG, TIFF, WebP); BMP and GIF hold none.
bool holdsMetadata(QByteArrayView mimeType);

// `picture` in sRGB: converted when it carries another colour space, as it is otherwise.
// For formats that cannot carry a profile, whose readers assume sRGB.
QImage inSrgb(const QImage& picture);

// `picture` with the colour space of the ICC profile in `metadata` (read from the file it was
// decoded from) when it carries none: Qt's reader leaves it out of pictures it turns a
// quarter upright. Encoders then write a profile of their own, which insertMetadata replaces.
QImage withProfile(const QImage& picture, const PictureMetadata& metadata);

// The same, reading the profile from the file `path`.
QImage withProfileOf(const QImage& picture, const QString& path);

// The warning of a file whose metadata cannot be read or written.
QString unreadableMetadataText();

} // namespace imaging
