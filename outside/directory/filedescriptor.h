// An open file descriptor of the directory library's own reads and writes,
// closed when it goes out of scope.
#pragma once

#include <unistd.h>

namespace outside::directory {

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace outside::directory
