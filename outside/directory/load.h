// What loading a directory source gives: the directory, or an error that
// tells a source that cannot be reached ("lost": missing, unreadable) from
// one that holds bad data, and points at the line that is wrong.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "outside/directory/directory.h"
#include "outside/directory/mapping.h"

namespace outside::directory {

enum class LoadStatus {
    Ok,
    SourceLost,  // the source is missing or cannot be read
    BadData,     // the source was read, but its content is not a valid directory
};

struct LoadError {
    LoadStatus status = LoadStatus::BadData;
    std::string source;
    unsigned long line = 0;  // 0: not about one line
    std::string message;

    // "source:line: message", or "source: message" without a line.
    std::string describe() const;
};

// What a source may cost before it is read at all. A file larger than
// maxSourceBytes is refused with an error that names limitName (how the
// limit is set), so that an administrator knows what to raise.
struct LoadLimits {
    static constexpr std::uint64_t kDefaultMaxSourceBytes = std::uint64_t{2} << 30;  // 2 GiB
    std::uint64_t maxSourceBytes = kDefaultMaxSourceBytes;
    std::string limitName;
    // How the source's schema is read (mapping.h).
    MappingChoice mapping;
};

struct LoadResult {
    std::shared_ptr<const Directory> directory;  // null on failure
    LoadError error;                             // meaningful on failure

    bool ok() const { return directory != nullptr; }
    LoadStatus status() const { return ok() ? LoadStatus::Ok : error.status; }
};

}  // namespace outside::directory
