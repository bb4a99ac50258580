// Writing a file beside its target and renaming it over the target.
#include "app/lookup/ReplacementFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <vector>

#include "app/lookup/DatabaseFile.h"
#include "app/shell/RuntimeError.h"

namespace tvn {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

// The temporary files in the making, for removeUncommitted, which may only
// read what is complete: a slot is free, being filled, or holds a path.
enum SlotState : int { kFree, kFilling, kHeld };
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX] = {};
};
// A program writes one database at a time; a file without a slot is still
// removed as abandoned by the next writer.
TemporarySlot g_temporaries[4];
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

int holdTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < static_cast<int>(std::size(g_temporaries)); ++i) {
        int expected = kFree;
        if (!g_temporaries[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(g_temporaries[i].path, path.c_str(), path.size() + 1);
        g_temporaries[i].state.store(kHeld);
        return i;
    }
    return -1;
}

std::string reason(const std::string& what, const fs::path& path, int error) {
    return what + " " + path.string() + ": " + std::strerror(error);
}

// Whether a file or folder may not be written: the user's rights say so, or
// it carries no write permission for anyone.
bool writeProtected(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0;
}

std::string temporaryPrefix(const fs::path& target) {
    return target.filename().string() + ".tvn-";
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The file a path leads to when its last part is a symbolic link (a site may
// keep the database elsewhere and link to it): the link is followed, also
// when it leads to nothing yet, so that the new content replaces the file it
// names and the link stays.
fs::path followLinks(fs::path path) {
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        if (hops == 40)
            throw RuntimeError(err::kPathFileAccess, reason("Cannot follow the link", path, ELOOP));
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            throw RuntimeError(err::kPathFileAccess,
                               reason("Cannot follow the link", path, ec.value()));
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void ReplacementFile::removeUncommitted() noexcept {
    for (TemporarySlot& slot : g_temporaries)
        if (slot.state.load() == kHeld) ::unlink(slot.path);
}

void ReplacementFile::forget() noexcept {
    if (slot_ >= 0) g_temporaries[slot_].state.store(kFree);
    slot_ = -1;
}

void ReplacementFile::removeAbandoned(const fs::path& target) {
    const std::string prefix = temporaryPrefix(target);
    std::error_code ec;
    std::vector<fs::path> candidates;
    for (const auto& entry : fs::directory_iterator(target.parent_path(), ec))
        if (entry.path().filename().string().starts_with(prefix)) candidates.push_back(entry);
    for (const fs::path& file : candidates) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        // A writer that is still at work holds its lock.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(file.c_str());
        ::close(fd);
    }
}

ReplacementFile::ReplacementFile(fs::path target) : target_(followLinks(std::move(target))) {
    const fs::path folder = target_.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw RuntimeError(err::kPathNotFound, "The folder " + folder.string() + " does not exist");
    if (writeProtected(target_))
        throw RuntimeError(err::kPathFileAccess,
                           "The file " + target_.string() + " is write-protected");
    if (writeProtected(folder))
        throw RuntimeError(err::kPathFileAccess,
                           "The folder " + folder.string() + " is write-protected");

    removeAbandoned(target_);
    std::string name = (folder / temporaryPrefix(target_)).string() + "XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw RuntimeError(error == ENOENT ? err::kPathNotFound : err::kPathFileAccess,
                           reason("Cannot create a file in", folder, error));
    }
    temporary_ = name;
    slot_ = holdTemporary(name);
    // Held until the file is renamed or removed, so that no other writer takes
    // it for abandoned.
    ::flock(fd_, LOCK_EX);
}

ReplacementFile::~ReplacementFile() {
    discard();
}

void ReplacementFile::write(std::string_view bytes) {
    buffer_ += bytes;
    if (buffer_.size() >= kFlushAt) flush();
}

void ReplacementFile::flush() {
    std::string_view rest = buffer_;
    while (!rest.empty() && !writeError_ && fd_ >= 0) {
        const ssize_t written = ::write(fd_, rest.data(), rest.size());
        if (written < 0) {
            if (errno != EINTR) writeError_ = errno;
            continue;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    buffer_.clear();
}

void ReplacementFile::copyTarget() {
    const int in = openDatabaseFile(target_);
    if (in < 0) {
        if (errno == ENOENT) return;
        throw RuntimeError(err::kPathFileAccess, reason("Cannot read", target_, errno));
    }
    std::string contents;
    try {
        contents = readDatabaseFile(in, target_);
    } catch (...) {
        ::close(in);
        throw;
    }
    ::close(in);
    write(contents);
}

void ReplacementFile::commit() {
    if (fd_ < 0) throw RuntimeError(err::kPathFileAccess, "The new file was thrown away");
    flush();
    struct stat old {};
    const mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    if (!writeError_ && ::fchmod(fd_, mode) != 0) writeError_ = errno;
    if (!writeError_ && ::fsync(fd_) != 0) writeError_ = errno;
    if (writeError_) {
        const int error = writeError_;
        discard();
        throw RuntimeError(err::kPathFileAccess, reason("Cannot write", temporary_, error));
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        discard();
        throw RuntimeError(err::kPathFileAccess, reason("Cannot replace", target_, error));
    }
    forget();
    ::close(fd_);
    fd_ = -1;
    syncFolder(target_.parent_path());
}

void ReplacementFile::discard() {
    if (fd_ < 0) return;
    ::unlink(temporary_.c_str());
    forget();
    ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

}  // namespace tvn
