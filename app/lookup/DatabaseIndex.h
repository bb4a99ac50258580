// The workstation database held in memory with an index of its address
// parts, so that a lookup costs the same in a file of a million workstations
// as in one of ten. The index answers exactly as findWorkstation reading the
// file line by line: the first line one of whose addresses holds the key,
// ignoring case. The file on disk stays as it is; nothing is written beside
// it (users may not write the database folder).
//
// Each part of an address is kept under a hash of its folded text, with the
// first line that holds a part of that hash. A lookup checks the line it
// finds; should two parts share a hash, it reads on line by line from there,
// as no earlier line holds either.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvn {

class DatabaseIndex {
public:
    explicit DatabaseIndex(std::string contents);

    // As WorkstationDatabase::findWorkstation on the whole file; the view
    // points into contents().
    std::optional<std::string_view> findWorkstation(std::string_view key) const;

    const std::string& contents() const { return contents_; }

    // Larger contents are not indexed (line offsets are 32 bits): a lookup
    // reads them line by line.
    static constexpr std::size_t kMaxContents = 0xFFFFFFFFu;

private:
    // Open addressing: the low bits of a part's hash choose its slot, the
    // high ones are kept as its tag.
    struct Slot {
        std::uint32_t tag;
        std::uint32_t line;  // offset of the line in contents_; kFree when free
    };
    static constexpr std::uint32_t kFree = ~std::uint32_t{0};

    // Indexes every line into a table of `slots` slots; false when the table
    // filled beyond its load before the end.
    bool fill(std::size_t slots);

    std::string contents_;
    std::vector<Slot> slots_;
};

// Which file a path led to when it was read: a file replaced by rename (as a
// build commits) has another inode, one written in place another size or
// modification time (and status-change time, which a rewrite that puts the
// modification time back still moves).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of an open file; nullopt when it cannot be asked.
std::optional<FileIdentity> identityOf(int fd);

// The index of the file at path, kept for the next call while the file's
// identity stays the same. fd is the file opened by openDatabaseFile; it is
// read (whole, within the same bounds) only when the file changed. Raises as
// readDatabaseFile.
std::shared_ptr<const DatabaseIndex> indexedDatabase(int fd, const std::filesystem::path& file);

}  // namespace tvn
