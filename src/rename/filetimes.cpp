#include "rename/filetimes.h"

#include "imaging/datetaken.h"

namespace renaming {

FileTimes::FileTimes(bool dateTaken) : m_dateTaken(dateTaken)
{
    fileops::readTimeZone();
}

fileops::FileResult FileTimes::read(const QString& folder, const QString& name, FileTime* time)
{
    time->noDateTaken = false;
    if (m_dateTaken) {
        if (std::optional<QDateTime> taken = imaging::dateTaken(folder + name)) {
            time->wallClock = *taken;
            return fileops::FileResult::success();
        }
        time->noDateTaken = true;
    }
    return m_clocks.read(folder, name, &time->wallClock);
}

} // namespace renaming
