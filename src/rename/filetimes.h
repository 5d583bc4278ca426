#pragma once

#include "fileops/fileops.h"

#include <QDateTime>
#include <QString>

namespace renaming {

// A file's date and time as the name forms show it: a wall-clock reading held in UTC.
struct FileTime
{
    QDateTime wallClock;
    // The date taken was asked for and the picture has no valid one: this is the modification
    // time instead.
    bool noDateTaken = false;
};

// Where the forms that show a file's date or time take it from. One rule for the new-name
// column, the example, the plan and so the run: the names checked are the names given.
// Made once per batch (it takes up the time zone then) and used on one thread.
class FileTimes
{
public:
    // `dateTaken`: the picture's EXIF date taken where it has a valid one, else the
    // modification time; otherwise the modification time.
    explicit FileTimes(bool dateTaken);

    // `folder` ends with '/' (or is empty for the working folder); `name` has no '/'.
    fileops::FileResult read(const QString& folder, const QString& name, FileTime* time);

private:
    bool m_dateTaken;
    fileops::FolderWallClocks m_clocks;
};

} // namespace renaming
