// The shared cache: one slot per canonical path, each with its own lock so
// that a long load blocks only the callers of that file.
#include "outside/directory/cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "outside/directory/ldif.h"

namespace outside::directory {
namespace {

struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    long long modifiedNs;
    bool operator==(const Stamp&) const = default;
};

LoadResult lost(const std::filesystem::path& path, const std::string& why) {
    return LoadResult{nullptr, LoadError{LoadStatus::SourceLost, path.string(), 0, why}};
}

}  // namespace

struct DirectoryCache::Slot {
    std::mutex mutex;
    std::optional<Stamp> stamp;
    LoadResult result;
};

DirectoryCache& DirectoryCache::instance() {
    static DirectoryCache cache;
    return cache;
}

LoadResult DirectoryCache::get(const std::filesystem::path& path, const LoadLimits& limits) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    if (error) return lost(path, "cannot open: " + error.message());

    std::shared_ptr<Slot> slot;
    {
        std::lock_guard lock(mutex_);
        auto& entry = slots_[canonical.string()];
        if (!entry) entry = std::make_shared<Slot>();
        slot = entry;
    }
    std::lock_guard lock(slot->mutex);
    struct stat st {};
    if (::stat(canonical.c_str(), &st) != 0) {
        return lost(canonical, std::string("cannot open: ") + std::strerror(errno));
    }
    // Taken before reading: a change while the file is read makes the next
    // call read it again.
    const Stamp stamp{
        st.st_dev, st.st_ino, st.st_size,
        static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
    // The loader refuses it with the reason; such a result is not kept.
    if (static_cast<std::uint64_t>(st.st_size) > limits.maxSourceBytes)
        return loadLdif(canonical, limits);
    if (slot->stamp && *slot->stamp == stamp) return slot->result;

    LoadResult result = loadLdif(canonical, limits);
    if (result.status() == LoadStatus::SourceLost) return result;
    slot->stamp = stamp;
    slot->result = result;
    return result;
}

void DirectoryCache::clear() {
    std::lock_guard lock(mutex_);
    slots_.clear();
}

}  // namespace outside::directory
