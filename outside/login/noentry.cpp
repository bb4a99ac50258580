// A login-dialog library without the entry point "KDLoginUI", for tests of a
// caller's fallback to another library. It exports one other function so
// that it is a library like the real one in every other way.
#include <cstdint>

extern "C" int32_t KDLoginVariant(void) {
    return 1;
}
