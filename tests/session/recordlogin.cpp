// A login-dialog library for tests: KDLoginUI appends what it received to the
// file named by QUILLON_TEST_LOGIN_LOG (the library's tag, then the options
// and data records as they arrived), writes the login name back upper-cased
// and answers QUILLON_TEST_LOGIN_RESULT (0 when unset). Built under the
// platform names the control loads, with the tag telling which one ran.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "outside/login/include/kdlogin.h"

extern "C" int32_t KDLoginUI(void*, void* data, void* options) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    if (const char* log = std::getenv("QUILLON_TEST_LOGIN_LOG"); log && *log) {
        std::ofstream out(log, std::ios::binary | std::ios::app);
        char tag[8] = {};
        std::strncpy(tag, RECORD_TAG, sizeof tag);
        out.write(tag, sizeof tag);
        out.write(static_cast<const char*>(options), KDLOGIN_OPTIONS_SIZE);
        out.write(static_cast<const char*>(data), KDLOGIN_DATA_SIZE);
    }
    std::uint32_t nameAt = 0;
    std::memcpy(&nameAt, bytes + KDLOGIN_DATA_NAME, sizeof nameAt);
    if (nameAt >= KDLOGIN_DATA_TAIL && nameAt < KDLOGIN_DATA_SIZE)
        for (std::uint8_t* c = bytes + nameAt; *c && c < bytes + KDLOGIN_DATA_SIZE; ++c)
            if (*c >= 'a' && *c <= 'z') *c = static_cast<std::uint8_t>(*c - 'a' + 'A');
    const char* result = std::getenv("QUILLON_TEST_LOGIN_RESULT");
    return result && *result ? std::atoi(result) : 0;
}
