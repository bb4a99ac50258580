// The name index behind full-name lookups: an open-addressing hash set of
// entry numbers keyed by (parent, folded relative name). Keys are not stored;
// a probe asks the caller whether a candidate entry matches, so the table
// costs eight bytes per slot whatever the names. The slots of a directory
// read from a snapshot stay in the mapped file (column.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "outside/directory/column.h"

namespace outside::directory {

class DirectorySnapshot;

using EntryId = std::uint32_t;
inline constexpr EntryId kNoEntry = 0xFFFFFFFFu;

inline std::uint32_t nameHash(EntryId parent, std::string_view folded) {
    std::uint64_t h = std::hash<std::string_view>{}(folded);
    h ^= (static_cast<std::uint64_t>(parent) + 1) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h);
}

class NameTable {
public:
    void reserve(std::size_t count) {
        std::size_t capacity = 16;
        while (capacity < count * 2) capacity *= 2;
        if (capacity > owned_.size()) rehash(capacity);
    }

    // The first entry with this hash for which matches(id) holds, or kNoEntry.
    template <class Matches>
    EntryId find(std::uint32_t hash, Matches&& matches) const {
        if (slots_.empty()) return kNoEntry;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.id == kNoEntry) return kNoEntry;
            if (slot.hash == hash && matches(slot.id)) return slot.id;
        }
    }

    void insert(std::uint32_t hash, EntryId id) {
        if ((count_ + 1) * 2 > owned_.size()) rehash(owned_.empty() ? 16 : owned_.size() * 2);
        place(hash, id);
        ++count_;
    }

    std::size_t memoryUsage() const {
        return owned_.empty() ? slots_.memoryUsage() : owned_.capacity() * sizeof(Slot);
    }

private:
    friend class DirectorySnapshot;  // stores and restores the slots as they are
    struct Slot {
        EntryId id = kNoEntry;
        std::uint32_t hash = 0;
    };

    void place(std::uint32_t hash, EntryId id) {
        const std::size_t mask = owned_.size() - 1;
        std::size_t i = hash & mask;
        while (owned_[i].id != kNoEntry) i = (i + 1) & mask;
        owned_[i] = Slot{id, hash};
    }

    void rehash(std::size_t capacity) {
        std::vector<Slot> old(capacity);
        old.swap(owned_);
        for (const Slot& slot : old) {
            if (slot.id != kNoEntry) place(slot.hash, slot.id);
        }
        slots_ = Column<Slot>::view(owned_.data(), owned_.size());
    }

    // The slots while the table is built; slots_ views them, or the slots of
    // a snapshot.
    std::vector<Slot> owned_;
    Column<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace outside::directory
