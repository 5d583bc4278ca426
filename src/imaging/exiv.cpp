#include "imaging/exiv.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace imaging {

namespace {

// The library calls this around each use of its XMP toolkit, which is not safe to use from two
// threads at once: conversions running in parallel read and write XMP through it.
void lockXmp(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

} // namespace

void initializeExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static std::recursive_mutex xmpMutex;
        Exiv2::XmpParser::initialize(lockXmp, &xmpMutex);
        // The library's own messages would go to standard error; callers report what failed.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

} // namespace imaging
