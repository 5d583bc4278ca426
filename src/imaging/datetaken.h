#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <string_view>

namespace imaging {

// The date and time a picture was taken, from its EXIF: DateTimeOriginal, else
// DateTimeDigitized, else the image's DateTime, the first that holds a valid date. Only the
// metadata is read, never the pixels. The value is the camera's wall clock as written, with
// no time zone applied: held as a UTC QDateTime, so a reading that falls in a daylight-saving
// gap of the local zone keeps its hours. nullopt when the file has no valid date or cannot
// be read; a file that is not a regular file is not opened.
std::optional<QDateTime> dateTaken(const QString& path);

// An EXIF date "YYYY:MM:DD HH:MM:SS" (a trailing NUL or blanks aside) as a wall clock held in
// UTC; nullopt for anything else, blank or all-zero values and impossible dates included.
std::optional<QDateTime> parseExifDateTime(std::string_view text);

} // namespace imaging
