#pragma once

#include "imaging/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>
#include <optional>
#include <vector>

class QImage;
class QIODevice;

namespace convert {

// One named setting handed to an encoder: the quality (JPEG, WebP) or the PNG compression.
struct EncoderParameter
{
    QByteArray name;
    int value = 0;
    friend bool operator==(const EncoderParameter&, const EncoderParameter&) = default;
};

using EncoderParameters = QList<EncoderParameter>;

inline constexpr char qualityParameter[] = "quality";
inline constexpr char compressionParameter[] = "compression"; // a zlib level, 0 to 9

// Names one encoder of a registry. Null until a lookup found one.
struct EncoderId
{
    QByteArray name;
    bool isNull() const { return name.isEmpty(); }
    friend bool operator==(const EncoderId&, const EncoderId&) = default;
};

// Encodes a picture into an open device. Encoders keep no state between calls: several
// threads may encode at once.
using EncodeFunction = std::function<Status(const QImage& picture, QIODevice& device,
                                            const EncoderParameters& parameters)>;

struct Encoder
{
    EncoderId id;
    QByteArray mimeType;
    EncodeFunction encode;
};

// The encoders the conversions can use, in lookup order. Immutable once built, so one
// registry may serve several threads.
class CodecRegistry
{
public:
    // Uses exactly `encoders`, in this order.
    explicit CodecRegistry(std::vector<Encoder> encoders = {});

    // Qt's writers for image/bmp, image/jpeg, image/tiff and image/webp (those that Qt
    // reports), our own GIF encoder for image/gif and our own PNG encoder for image/png
    // (Qt's writer for the layouts it does not take), less any MIME type hidden for testing.
    static CodecRegistry system();

    const std::vector<Encoder>& encoders() const { return m_encoders; }

    // Looks up the first encoder whose MIME type equals `mimeType` without regard to case.
    // Returns its 1-based position and sets `id` to it; returns -1 and leaves `id` as it was
    // when none matches.
    int ChercheEncodeur(QByteArrayView mimeType, EncoderId& id) const;

    // The encoder named `id`; nullptr when this registry has none.
    const Encoder* encoder(const EncoderId& id) const;

    // True when every required output format (BMP, GIF, JPEG, PNG) has an encoder.
    bool coversOutputFormats() const;

    // Test hooks: system() leaves out the encoders of a hidden MIME type (any letter case)
    // until the hidden types are cleared.
    static void hideMimeTypeForTesting(const QByteArray& mimeType);
    static void clearHiddenMimeTypesForTesting();

private:
    std::vector<Encoder> m_encoders;
};

// The codec session of the main window, open from start-up to unload.
class CodecSession
{
public:
    // Builds the system registry. Status::Ok (0) when it has encoders for all four output
    // formats; Status::NoEncoder otherwise, and the session stays closed.
    Status start();

    // Releases the registry. Harmless when the session is not open.
    void end();

    bool isOpen() const { return m_registry.has_value(); }

    // The session's registry; an empty registry while the session is closed.
    const CodecRegistry& registry() const;

private:
    std::optional<CodecRegistry> m_registry;
};

} // namespace convert
