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

// Some 350,000 workstations, ten times the largest trees we know of. Reading
// a file of this size and looking an address up in it takes about 0.15 s
// in a Release build, so that a lookup never freezes the window for long.
inline constexpr std::uint64_t kMaxDatabaseBytes = std::uint64_t{32} << 20;

// Opens the file for reading without waiting for a writer (a FIFO would
// block here for ever). Returns the descriptor, or -1 with errno set when
// it cannot be opened. Raises RuntimeError 75 when it is no regular file or
// larger than kMaxDatabaseBytes; the description says which.
int openDatabaseFile(const std::filesystem::path& file);

// The whole content of a file opened by openDatabaseFile (which stays open).
// Raises RuntimeError 75 when it cannot be read or grows beyond the limit.
std::string readDatabaseFile(int fd, const std::filesystem::path& file);

}  // namespace tvn
