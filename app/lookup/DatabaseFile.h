// Opening and reading the workstation database file, for a lookup and for
// the copy that an append starts from. The file is a plain text file on
// disk: anything else at its name (a FIFO, a device, a link to /dev/zero)
// would block the window or read without end, so it is refused, as is a
// file larger than any database of a real tree.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tvn {

// Some 2.5 million workstations, more than the largest sites have. A lookup
// reads the file once and keeps it in memory with its index (see
// DatabaseIndex.h) until it changes: reading and indexing a million
// workstations takes well under a second in a Release build, each lookup
// after that microseconds.
inline constexpr std::uint64_t kMaxDatabaseBytes = std::uint64_t{256} << 20;

// Opens the file for reading without waiting for a writer (a FIFO would
// block here for ever). Returns the descriptor, or -1 with errno set when
// it cannot be opened. Raises RuntimeError 75 when it is no regular file or
// larger than kMaxDatabaseBytes; the description says which.
int openDatabaseFile(const std::filesystem::path& file);

// The whole content of a file opened by openDatabaseFile (which stays open).
// Raises RuntimeError 75 when it cannot be read or grows beyond the limit.
std::string readDatabaseFile(int fd, const std::filesystem::path& file);

}  // namespace tvn
