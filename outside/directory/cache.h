// The process-wide cache of directory sources. Every user of one LDIF file
// in a process shares one loaded Directory; the file is read again only when
// it changes (modification time, size, device or inode differ). A file that
// has gone or cannot be read answers LoadStatus::SourceLost, which callers
// report as a lost connection; bad data answers LoadStatus::BadData, and is
// not read again until the file changes. A good file is also kept as a
// snapshot in the user's cache folder (snapshot.h), from which the next
// process loads it far faster than by parsing it again.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "outside/directory/load.h"

namespace outside::directory {

class DirectoryCache {
public:
    static DirectoryCache& instance();

    // The current directory of the file at path. Safe to call from any
    // thread; callers asking for the same file while it loads wait for that
    // one load, callers asking for other files do not.
    // A file larger than limits allow is refused (as a lost source) even
    // when it was loaded before under a larger limit.
    LoadResult get(const std::filesystem::path& path, const LoadLimits& limits = {});

    // Forgets every source (directories handed out stay valid).
    void clear();

private:
    struct Slot;
    std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<Slot>> slots_;
    // The slot each path (as asked for) led to last.
    std::unordered_map<std::string, std::shared_ptr<Slot>> byPath_;
};

}  // namespace outside::directory
