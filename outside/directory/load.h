// What loading a directory source gives: the directory, or an error that
// tells a source that cannot be reached ("lost": missing, unreadable) from
// one that holds bad data, and points at the line that is wrong.
#pragma once

#include <memory>
#include <string>

#include "outside/directory/directory.h"

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

struct LoadResult {
    std::shared_ptr<const Directory> directory;  // null on failure
    LoadError error;                             // meaningful on failure

    bool ok() const { return directory != nullptr; }
    LoadStatus status() const { return ok() ? LoadStatus::Ok : error.status; }
};

}  // namespace outside::directory
