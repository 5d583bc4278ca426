#include "imaging/exiv.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace imaging {

void initializeExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        // The library's own messages would go to standard error; callers report what failed.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

} // namespace imaging
