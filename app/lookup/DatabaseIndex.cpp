// The database in memory, indexed by the parts of its addresses.
#include "app/lookup/DatabaseIndex.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <mutex>

#include "app/lookup/DatabaseFile.h"
#include "app/lookup/DatabaseRecords.h"

namespace tvn {

namespace db = WorkstationDatabase;

namespace {

static_assert(kMaxDatabaseBytes < DatabaseIndex::kMaxContents, "line offsets fit the slots");

// FNV-1a over the folded bytes, then mixed (the low bits choose the slot).
std::uint64_t hashFolded(std::string_view text) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(db::foldAscii(c));
        h *= 0x100000001b3ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

std::uint32_t tagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32);
}

}  // namespace

DatabaseIndex::DatabaseIndex(std::string contents) : contents_(std::move(contents)) {
    if (contents_.size() >= kMaxContents) return;  // never indexed: read line by line
    // Most lines add one or two parts of their own (a node, an address); the
    // network and socket numbers of IPX addresses repeat.
    std::size_t lines = 1;
    for (const char c : contents_) lines += c == '\n';
    std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, lines * 4));
    while (!fill(slots)) slots *= 2;
}

bool DatabaseIndex::fill(std::size_t slots) {
    slots_.assign(slots, Slot{0, kFree});
    const std::size_t mask = slots - 1;
    const std::size_t limit = slots / 4 * 3;
    std::size_t used = 0;
    std::string_view rest = contents_;
    std::size_t offset = 0;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const std::size_t next = end == std::string_view::npos ? rest.size() : end + 1;
        if (const auto record = db::parseRecord(line)) {
            const auto add = [&](std::string_view part) {
                if (part.empty()) return false;  // an empty key matches nothing
                const std::uint64_t hash = hashFolded(part);
                const std::uint32_t tag = tagOf(hash);
                for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
                    Slot& slot = slots_[i];
                    if (slot.line == kFree) {
                        slot = {tag, static_cast<std::uint32_t>(offset)};
                        ++used;
                        break;
                    }
                    // The first line wins. A later part of the same tag
                    // (another part only when the hashes differ in the
                    // bits the tag leaves out) is found by reading on from
                    // that line: its own line comes after.
                    if (slot.tag == tag) break;
                }
                return used > limit;
            };
            if (db::forEachAddressPart(record->address1, add) ||
                db::forEachAddressPart(record->address2, add))
                return false;
        }
        rest.remove_prefix(next);
        offset += next;
    }
    return true;
}

std::optional<std::string_view> DatabaseIndex::findWorkstation(std::string_view key) const {
    if (slots_.empty()) return db::findWorkstation(contents_, key);
    if (key.empty()) return std::nullopt;
    const std::uint64_t hash = hashFolded(key);
    const std::uint32_t tag = tagOf(hash);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.line == kFree) return std::nullopt;
        if (slot.tag != tag) continue;
        // The first line that holds any part of this hash: no line before it
        // holds the key.
        return db::findWorkstation(std::string_view(contents_).substr(slot.line), key);
    }
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    const auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

std::shared_ptr<const DatabaseIndex> indexedDatabase(int fd, const std::filesystem::path& file) {
    // One database per run: the last one read is kept.
    static std::mutex mutex;
    static std::filesystem::path keptFile;
    static FileIdentity keptIdentity;
    static std::shared_ptr<const DatabaseIndex> kept;

    // The identity before the read: a file that changes while it is read
    // differs from it at the next lookup and is read again.
    const std::optional<FileIdentity> identity = identityOf(fd);
    {
        std::lock_guard lock(mutex);
        if (identity && kept && keptFile == file && keptIdentity == *identity) return kept;
        kept.reset();  // not held beside the new one
    }
    auto index = std::make_shared<const DatabaseIndex>(readDatabaseFile(fd, file));
    std::lock_guard lock(mutex);
    if (identity) {
        keptFile = file;
        keptIdentity = *identity;
        kept = index;
    }
    return index;
}

}  // namespace tvn
