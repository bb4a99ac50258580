// A parsed directory kept on disk, so that the next process to load the same
// LDIF file reads its tables straight back instead of parsing the text again.
// Snapshots live in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache,
// below it tolvane/directory/), one file per source, and are only a cache:
// one that is missing, belongs to another state of the source or another
// format, or is damaged in any way is ignored and written anew, and a folder
// that cannot be written only costs the time of parsing. KDDIR_SNAPSHOT=0
// turns them off.
//
// A snapshot is tied to the source's identity (canonical path, device,
// inode), size and modification time. Its header carries that key, the
// format version, the size of each section and checksums of itself and of
// the payload; the reader also checks that the tables agree with each other
// (offsets inside the text, entry numbers inside the tables, ascending start
// arrays), so that no snapshot, however made, is read out of bounds. A sound
// snapshot is used where it lies, mapped (snapshot.cpp says why that is safe).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "outside/directory/directory.h"

namespace outside::directory {

// The state of a source file that its loaded data stands for.
struct SourceStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    // The status-change time: a rewrite in place that keeps the size and
    // puts the modification time back still moves it.
    std::int64_t changedNs = 0;
    bool operator==(const SourceStamp&) const = default;
};

// The stamp of the file at path now (following links); nullopt with errno
// set when it cannot be examined.
std::optional<SourceStamp> stampOf(const std::filesystem::path& path);

// The folder of the snapshots; empty when they are turned off or the user
// has no home to keep them in.
std::filesystem::path snapshotFolder();

// The snapshot file of the source with this canonical path, in folder.
std::filesystem::path snapshotFile(const std::filesystem::path& folder,
                                   const std::string& canonicalSource);

// The directory held by the snapshot at file, when it is a sound snapshot of
// canonicalSource as stamp describes it; null otherwise.
std::shared_ptr<const Directory> readSnapshot(const std::filesystem::path& file,
                                              const std::string& canonicalSource,
                                              const SourceStamp& stamp);

// Writes the snapshot of directory (read from canonicalSource as stamp
// describes it) to file, creating its folder when needed: a temporary file
// beside it, renamed over it when complete. False when that failed; nothing
// is left behind then and an older snapshot at file stays as it was.
bool writeSnapshot(const std::filesystem::path& file, const std::string& canonicalSource,
                   const SourceStamp& stamp, const Directory& directory);

// The checksum of snapshots: a 64-bit hash that takes its input in pieces
// of any size (the result depends on the bytes only, not on how they were
// split) at several bytes per cycle.
class Checksum {
public:
    Checksum();
    void update(const void* data, std::size_t size);
    std::uint64_t value() const;

private:
    void block(const unsigned char* data);

    std::array<std::uint64_t, 4> lanes_;
    std::array<unsigned char, 32> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};

std::uint64_t checksum(const void* data, std::size_t size);

// The checksum of a snapshot's payload: the checksum of the checksums of
// kChecksumPieces consecutive pieces of checksumPiece(payload) bytes each
// (the last ones shorter or empty), which a reader takes on several cores
// at once. PayloadChecksum takes the payload in pieces of any size.
inline constexpr std::size_t kChecksumPieces = 32;
std::uint64_t checksumPiece(std::uint64_t payloadBytes);

class PayloadChecksum {
public:
    explicit PayloadChecksum(std::uint64_t payloadBytes);
    void update(const void* data, std::size_t size);
    std::uint64_t value() const;

private:
    std::uint64_t pieceBytes_;
    std::uint64_t leftInPiece_;
    std::size_t piece_ = 0;
    std::array<std::uint64_t, kChecksumPieces> sums_{};
    Checksum current_;
};

std::uint64_t payloadChecksum(const void* data, std::size_t size);

// The file format, for the reader and writer and for tests that damage a
// snapshot on purpose. Numbers are in the byte order of the machine that
// wrote them (byteOrder tells it); the sections follow the header in the
// order of SnapshotSection, each padded with zeros to a multiple of 8 bytes.
// Raised whenever the tables' layout, the schema's encoding or the rules by
// which DirectoryBuilder lays out a directory change: snapshots of an older
// version are then ignored and written anew.
// 2: the source's ctime in the key; 3: the payload's checksum in pieces.
inline constexpr std::uint32_t kSnapshotVersion = 3;
inline constexpr std::uint32_t kSnapshotByteOrder = 0x01020304;

enum class SnapshotSection : std::uint32_t {
    Source,      // the canonical path of the source
    Schema,      // classes and attribute types
    Text,        // every name and value
    Parent,      // per entry: EntryId
    Name,        // per entry: offset and length in Text
    Folded,      // per entry: offset and length in Text
    Class,       // per entry: 16-bit class number
    SubtreeEnd,  // per entry: EntryId
    ChildStart,  // per entry and one more: offset into ChildList
    ChildList,   // EntryId
    ValueStart,  // per entry and one more: offset into Values
    Values,      // attribute number, offset and length in Text
    ByName,      // per entry: EntryId in the order of folded names
    NameSlots,   // the slots of the full-name hash table
    Trees,       // EntryId of each tree root
    Count
};
inline constexpr std::size_t kSnapshotSections = static_cast<std::size_t>(SnapshotSection::Count);

struct SnapshotHeader {
    char magic[8];
    std::uint32_t byteOrder;
    std::uint32_t version;
    // The key: the source as it was read.
    std::uint64_t device;
    std::uint64_t inode;
    std::uint64_t size;
    std::int64_t modifiedNs;
    std::int64_t changedNs;
    std::uint64_t sourceChecksum;  // of the canonical path
    // The name hash of a fixed name under the writer's build: a build whose
    // hash differs could not use the stored hash table.
    std::uint32_t nameHashProbe;
    std::uint32_t entries;
    std::uint64_t sectionBytes[kSnapshotSections];  // unpadded
    std::uint64_t payloadBytes;                     // the padded sections together
    std::uint64_t payloadChecksum;                  // PayloadChecksum
    std::uint64_t headerChecksum;                   // of every byte of the header before it
};

// Where a section starts in the file.
std::uint64_t snapshotSectionOffset(const SnapshotHeader& header, SnapshotSection section);

}  // namespace outside::directory
