// What the fuzz targets share: a check that ends the run as a crash (so that
// libFuzzer keeps the input), and a scratch folder for targets that read
// files, removed at exit. The folder lies in memory (/dev/shm) when it can,
// so that a write per input costs no disk.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

[[noreturn]] __attribute__((format(printf, 4, 5))) inline void fail(const char* file, int line,
                                                                    const char* condition,
                                                                    const char* format, ...) {
    va_list details;
    va_start(details, format);
    std::vfprintf(stderr, format, details);
    va_end(details);
    fail(file, line, condition);
}

// Like assert, also in builds without assertions; optional printf-style
// details are printed first.
#define FUZZ_CHECK(condition, ...)                                                      \
    do {                                                                                \
        if (!(condition))                                                               \
            fuzzcheck::fail(__FILE__, __LINE__, #condition __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)

inline const std::filesystem::path& scratchDir() {
    static const std::filesystem::path dir = [] {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error))
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "tvn-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDir(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return dir;
}

}  // namespace fuzzcheck
