// The database file opened and read within bounds.
#include "app/lookup/DatabaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/shell/RuntimeError.h"

namespace tvn {

namespace {

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

[[noreturn]] void tooLarge(const std::filesystem::path& file) {
    throw RuntimeError(err::kPathFileAccess, "Cannot read " + file.string() +
                                                 ": it holds more than " +
                                                 std::to_string(kMaxDatabaseBytes >> 20) +
                                                 " MB, more than a workstation database may");
}

}  // namespace

int openDatabaseFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw RuntimeError(err::kPathFileAccess, "Cannot read " + file.string() + ": it is " +
                                                     kindOf(st.st_mode) +
                                                     ", not a workstation database");
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxDatabaseBytes) {
        ::close(fd);
        tooLarge(file);
    }
    // Reads of a regular file never wait; the flag only mattered for open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string readDatabaseFile(int fd, const std::filesystem::path& file) {
    std::string contents;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) contents.reserve(static_cast<size_t>(st.st_size));
    char chunk[1 << 16];
    while (true) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw RuntimeError(err::kPathFileAccess,
                               "Cannot read " + file.string() + ": " + std::strerror(errno));
        }
        // A file that grows while it is read is held to the same limit.
        if (contents.size() + static_cast<size_t>(got) > kMaxDatabaseBytes) tooLarge(file);
        contents.append(chunk, static_cast<size_t>(got));
    }
    return contents;
}

}  // namespace tvn
