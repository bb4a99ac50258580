// The data of one directory source, read-only once built: one or more trees
// of entries, each with its relative name, class and attribute values, and
// the schema they follow. Entries are numbered in directory order (each tree
// depth first, children in the order of the source), so that a subtree is a
// contiguous range of numbers and results come out in directory order by
// sorting numbers. Text lives in one arena; lookups by full name go through a
// hash index and name searches through a sorted index of folded names.
//
// A Directory is built by DirectoryBuilder (builder.h), usually from an LDIF
// file (ldif.h), and shared between users through DirectoryCache (cache.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "outside/directory/column.h"
#include "outside/directory/nametable.h"
#include "outside/directory/schema.h"
#include "outside/directory/textstore.h"

namespace outside::directory {

class DirectoryBuilder;
class DirectorySnapshot;

enum class Scope {
    OneLevel = 1,  // the entries directly below the context
    Subtree = 2,   // every entry below the context, at any depth
};

struct SearchQuery {
    // A relative name with "*" standing for any run of characters: "smi*"
    // finds the names that begin with "smi", "*" every name. Without a "*" the
    // name must match whole. Case does not matter.
    std::string_view pattern = "*";
    // Directory class names ("User", "Workstation"), compared without regard
    // to case. Empty: every class. A name the schema lacks matches nothing.
    std::vector<std::string> classes;
    Scope scope = Scope::Subtree;
    EntryId context = kNoEntry;  // must be an entry of this directory
    // At most this many hits, the first ones in directory order.
    std::size_t maxHits = static_cast<std::size_t>(-1);
};

class Directory {
public:
    // A value as stored: the attribute it belongs to and its text, byte for
    // byte as the source held it (base64 values decoded).
    struct Value {
        AttributeId attribute;
        std::string_view text;
    };

    const std::string& source() const { return source_; }
    const Schema& schema() const { return schema_; }
    std::size_t size() const { return parent_.size(); }

    // The tree roots, in the order of the source.
    std::span<const EntryId> trees() const { return {trees_.data(), trees_.size()}; }
    EntryId findTree(std::string_view treeName) const;
    // The entry with this full name ("KTR:\\T\O\CN"), without regard to case;
    // kNoEntry when there is none.
    EntryId find(std::string_view fullName) const;
    EntryId findChild(EntryId parent, std::string_view name) const;

    std::string fullName(EntryId id) const;
    std::string_view name(EntryId id) const { return text(name_[id]); }
    EntryId parent(EntryId id) const { return parent_[id]; }
    EntryId treeOf(EntryId id) const;
    ClassId classOf(EntryId id) const { return class_[id]; }
    const std::string& className(EntryId id) const { return schema_.objectClass(class_[id]).name; }

    std::span<const EntryId> children(EntryId id) const {
        return {childList_.data() + childStart_[id], childList_.data() + childStart_[id + 1]};
    }
    bool hasChildren(EntryId id) const { return childStart_[id + 1] != childStart_[id]; }
    // True when id lies below ancestor (at any depth).
    bool isBelow(EntryId id, EntryId ancestor) const {
        return id > ancestor && id < subtreeEnd_[ancestor];
    }

    // The values of one attribute, in stored order; empty when it has none.
    std::vector<std::string_view> values(EntryId id, AttributeId attribute) const;
    // The same by the attribute's directory name ("Network Address").
    std::vector<std::string_view> values(EntryId id, std::string_view attributeName) const;
    // Every value of the entry (objectClass excepted), in stored order.
    std::vector<Value> allValues(EntryId id) const;

    std::vector<EntryId> search(const SearchQuery& query) const;

    // Bytes held by this object (arena, tables and indexes).
    std::size_t memoryUsage() const;

private:
    friend class DirectoryBuilder;
    friend class DirectorySnapshot;  // snapshot.cpp
    class DirectorySnapshot;
    struct TextRef {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    struct StoredValue {
        AttributeId attribute;
        TextRef text;
    };

    Directory() = default;
    std::string_view text(TextRef ref) const { return {text_.data() + ref.offset, ref.length}; }
    std::string_view folded(EntryId id) const { return text(folded_[id]); }
    // The range of byName_ whose folded names begin with (or, when exact, are) key.
    std::pair<std::size_t, std::size_t> nameRange(std::string_view key, bool exact) const;
    std::vector<EntryId> searchNames(const SearchQuery& query) const;
    // Adds the hits through altNames_ to those by relative name.
    std::vector<EntryId> searchAltNames(const SearchQuery& query, std::vector<EntryId> hits) const;

    std::string source_;
    Schema schema_;
    // The snapshot the tables below view, when they were read from one.
    MappedFile mapping_;
    TextStore text_;
    Column<EntryId> parent_;
    Column<TextRef> name_;
    Column<TextRef> folded_;
    Column<std::uint16_t> class_;
    Column<EntryId> subtreeEnd_;
    Column<std::uint32_t> childStart_;  // size() + 1 offsets into childList_
    Column<EntryId> childList_;
    Column<std::uint32_t> valueStart_;  // size() + 1 offsets into values_
    Column<StoredValue> values_;
    Column<EntryId> byName_;  // sorted by folded name, then directory order
    // Mapped schemas: the folded values of the types a name search matches
    // besides the relative name (a login name), sorted, with their entries.
    std::vector<std::pair<TextRef, EntryId>> altNames_;
    NameTable table_;
    Column<EntryId> trees_;
};

}  // namespace outside::directory
