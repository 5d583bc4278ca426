#pragma once

#include <QString>

namespace convert {

// Result of every load, encode and save of the conversion engine. The numbers are shown to
// the user in the conversion failure message, so they never change meaning once released.
// Ranges: 1-9 reading the source, 10-19 encoding, 20-29 writing the destination.
enum class Status : int
{
    Ok = 0,
    SourceNotFound = 1,     // no file at the source path (or it is a folder)
    SourceNotDecodable = 2, // empty, not a picture, or a type no reader knows
    SourceTooLarge = 3,     // decoding would exceed the allocation limit (a decompression bomb)
    SourceDamaged = 4,      // a known picture type whose data is broken or ends too early
    SourceNotRegular = 5,   // a FIFO, socket or device: never opened for reading
    NoEncoder = 10,         // the registry has no encoder for the wanted MIME type
    UnknownFormat = 11,     // a format code outside the output-format table
    EncodeFailed = 12,      // the encoder could not encode this picture
    DestinationNotWritable = 20, // folder missing, parent not a folder, or no permission
    DestinationWriteFailed = 21, // writing, syncing or renaming into place failed
    DestinationTaken = 22,       // an earlier entry of the same run writes this output
    DestinationExists = 23,      // the output exists and the run must not replace it
};

constexpr int statusCode(Status status)
{
    return static_cast<int>(status);
}

// How a status is put into words: a sentence for the command line's report, the short
// caption the preview shows in place of a picture, or the number the window's failure
// message gives.
enum class StatusWording
{
    Sentence,
    Caption,
    Number,
};

// The French text of `status` in that wording; empty for Ok, except as a number.
QString statusText(Status status, StatusWording wording = StatusWording::Sentence);

// The text of the message shown when a conversion fails: the file name without its folder,
// then the status number.
QString conversionFailureText(const QString& sourcePath, Status status);

} // namespace convert
