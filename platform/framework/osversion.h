// The operating-system version query that components use to choose between
// platform families. This platform reports itself as the NT family; the
// variable TVN_OS_PLATFORM ("win32s", "win95", "nt") lets a test host
// pretend to be another family, to exercise the component's other paths.
#pragma once

#include <string>

namespace platform::framework {

enum class OsPlatform { Win32s, Windows95, WindowsNT };

struct OsVersion {
    OsPlatform platform = OsPlatform::WindowsNT;
    int major = 0;
    int minor = 0;
    std::string description;  // the kernel's own name and release
};

OsVersion queryOsVersion();

}  // namespace platform::framework
