// The operating-system version query on top of uname.
#include "platform/framework/osversion.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/text/casefold.h"

namespace platform::framework {

OsVersion queryOsVersion() {
    OsVersion version;
    utsname name{};
    if (uname(&name) == 0) {
        version.description = std::string(name.sysname) + " " + name.release;
        std::sscanf(name.release, "%d.%d", &version.major, &version.minor);
    }
    if (const char* forced = std::getenv("TVN_OS_PLATFORM"); forced && *forced) {
        const std::string family = platform::text::foldCase(forced);
        if (family == "win32s")
            version.platform = OsPlatform::Win32s;
        else if (family == "win95")
            version.platform = OsPlatform::Windows95;
    }
    return version;
}

}  // namespace platform::framework
