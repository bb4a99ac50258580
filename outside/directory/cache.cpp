// The shared cache: one slot per canonical path, each with its own lock so
// that a long load blocks only the callers of that file.
#include "outside/directory/cache.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "outside/directory/filedescriptor.h"
#include "outside/directory/ldif.h"
#include "outside/directory/snapshot.h"

namespace outside::directory {
namespace {

LoadResult lost(const std::filesystem::path& path, const std::string& why) {
    return LoadResult{nullptr, LoadError{LoadStatus::SourceLost, path.string(), 0, why}};
}

// A file changed again within the same tick of the file system's clock may
// keep its size and time; one that has not changed for this long cannot, so
// only such a file is snapshotted (as git treats its index).
constexpr std::chrono::seconds kSettled{2};

bool settled(const SourceStamp& stamp) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::nanoseconds(stamp.modifiedNs) <= now - kSettled;
}

bool readable(const std::filesystem::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return file.fd >= 0;
}

// The file through its snapshot when there is a sound one; otherwise parsed,
// and snapshotted for the next process when it is good data that did not
// change while it was read. A snapshot that cannot be written only costs the
// next process the parse.
LoadResult load(const std::filesystem::path& canonical, const SourceStamp& stamp,
                const LoadLimits& limits) {
    const std::filesystem::path folder = snapshotFolder();
    // Snapshots keep directories read the ktr way only; a mapped one is
    // parsed (it names types and classes the snapshot does not store).
    const std::string choice = limits.mapping.isAuto() ? "auto" : limits.mapping.value;
    const auto explicitMapping = builtinMapping(choice);
    const bool mayBeKtr = limits.mapping.isAuto() || (explicitMapping && explicitMapping->ktr);
    if (folder.empty() || !mayBeKtr) return loadLdif(canonical, limits);
    const std::filesystem::path file = snapshotFile(folder, canonical.string());
    // A source that cannot be read now is reported as the parser finds it,
    // not served from what its snapshot kept.
    if (readable(canonical)) {
        if (auto directory = readSnapshot(file, canonical.string(), stamp))
            return LoadResult{std::move(directory), {}};
    }
    LoadResult result = loadLdif(canonical, limits);
    if (result.ok() && !result.directory->schema().mapped() && settled(stamp) &&
        stampOf(canonical) == stamp)
        writeSnapshot(file, canonical.string(), stamp, *result.directory);
    return result;
}

}  // namespace

struct DirectoryCache::Slot {
    std::mutex mutex;
    std::optional<SourceStamp> stamp;
    LoadResult result;
};

DirectoryCache& DirectoryCache::instance() {
    static DirectoryCache cache;
    return cache;
}

LoadResult DirectoryCache::get(const std::filesystem::path& path, const LoadLimits& limits) {
    // A source asks for its data at every entry it opens. While the path
    // leads to a file of the very stamp its slot was loaded from (the same
    // inode, size and times), the answer is that slot's, without resolving
    // the path's links again.
    const std::string asked = path.string() + '\n' + limits.mapping.value;
    std::shared_ptr<Slot> known;
    {
        std::lock_guard lock(mutex_);
        if (const auto it = byPath_.find(asked); it != byPath_.end()) known = it->second;
    }
    if (known) {
        const std::optional<SourceStamp> stamp = stampOf(path);
        if (stamp && stamp->size <= limits.maxSourceBytes) {
            std::lock_guard lock(known->mutex);
            if (known->stamp && *known->stamp == *stamp) return known->result;
        }
    }

    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(path, error);
    if (error) return lost(path, "cannot open: " + error.message());

    std::shared_ptr<Slot> slot;
    {
        std::lock_guard lock(mutex_);
        auto& entry = slots_[canonical.string() + '\n' + limits.mapping.value];
        if (!entry) entry = std::make_shared<Slot>();
        slot = entry;
        byPath_[asked] = slot;
    }
    std::lock_guard lock(slot->mutex);
    // Taken before reading: a change while the file is read makes the next
    // call read it again.
    const std::optional<SourceStamp> stamp = stampOf(canonical);
    if (!stamp) return lost(canonical, std::string("cannot open: ") + std::strerror(errno));
    // The loader refuses it with the reason, snapshot or not; such a result
    // is not kept.
    if (stamp->size > limits.maxSourceBytes) return loadLdif(canonical, limits);
    if (slot->stamp && *slot->stamp == *stamp) return slot->result;

    LoadResult result = load(canonical, *stamp, limits);
    if (result.status() == LoadStatus::SourceLost) return result;
    slot->stamp = stamp;
    slot->result = result;
    return result;
}

void DirectoryCache::clear() {
    std::lock_guard lock(mutex_);
    slots_.clear();
    byPath_.clear();
}

}  // namespace outside::directory
