// Builds a Directory from entries given one at a time, as a source reads
// them: checks each entry against the schema and the entries before it, and
// lays the whole out in directory order at the end. Sources (the LDIF reader,
// later an LDAP reader) only parse; every rule about what makes a directory
// lives here.
//
// Rules: every entry lists its objectClass; an entry's parent must come
// before it; an entry none of whose ancestors is present is the root of a
// tree, named by its RDN value and of class "Top" whatever its objectClass,
// but only when that objectClass is a container (no user, workstation or
// alias class, nor one derived from them); below a root an entry needs a
// class that is not abstract; two entries below one parent may not
// share a relative name (full names must stay unique), nor two trees a name;
// every listed objectClass must be in the schema, and the entry's class is the
// most derived of them (the last listed if several are, auxiliary classes
// only when there is nothing else); relative names may
// not be empty or hold a backslash, which full names cannot carry.
#pragma once

#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "outside/directory/directory.h"

namespace outside::directory {

// An entry that breaks a rule. When one attribute value is at fault, type and
// value name it, so that a reader can point at the line that holds it.
class EntryError : public std::runtime_error {
public:
    explicit EntryError(const std::string& message, std::string type = {}, std::string value = {})
        : std::runtime_error(message), type(std::move(type)), value(std::move(value)) {}
    std::string type;
    std::string value;
};

class DirectoryBuilder {
public:
    struct Attribute {
        std::string_view type;  // as written: LDAP name or OID, options allowed
        std::span<const std::string_view> values;
    };

    // schemaless: the schema is the mapping's alone (an export without its
    // subschema entry); layouts then take every type the entries use.
    DirectoryBuilder(Schema schema, std::string source, bool schemaless = false);
    ~DirectoryBuilder();
    DirectoryBuilder(const DirectoryBuilder&) = delete;
    DirectoryBuilder& operator=(const DirectoryBuilder&) = delete;

    // Adds one entry. location (a line number, 0 for none) appears in the
    // messages of later entries that clash with this one. Throws EntryError,
    // and then no part of the entry has been added.
    void addEntry(std::string_view dn, std::span<const Attribute> attributes,
                  unsigned long location = 0);

    // Room for `factor` times the entries, text and values added so far, to
    // spare growing the tables step by step while a large source is read:
    // each step copies a table while the old one is still held.
    void reserveScaled(double factor);

    std::size_t size() const { return parent_.size(); }

    // An export may list an entry before its parent (an entry moved below a
    // container made after it). Without a schema of ours such entries wait
    // until the end; this adds them, parents first, and throws EntryError
    // for one whose parent never came.
    void addWaiting();

    // Lays the entries out in directory order and hands them over; the
    // builder is empty afterwards. Throws EntryError when what a mapping
    // derives at the end (the owners' addresses) does not fit the text.
    std::shared_ptr<const Directory> finish();

    // The text (names, values and what a mapping derives from them) the
    // directory may hold: at most, and by default, what its 32-bit offsets
    // reach. A store that would pass it fails with EntryError rather than
    // wrap an offset round.
    void limitText(std::size_t bytes);

private:
    struct ParsedDn;
    AttributeId attributeId(std::string_view type);
    // The type of a spelling met before, or nullptr.
    const AttributeId* cachedType(std::string_view type) const;
    ClassId classFor(std::span<const std::string_view> objectClasses);
    ParsedDn parseDn(std::string_view dn);
    EntryId resolveParent(std::string_view parentDn);
    EntryId findChild(EntryId parent, std::string_view folded) const;
    std::string where(EntryId id) const;
    // Throws EntryError when more bytes of text would pass the limit.
    void checkRoom(std::size_t more) const;
    Directory::TextRef store(std::string_view text);
    // "TCP " and the address, as one value.
    Directory::TextRef storeTcp(std::string_view address);
    // Every entry of dir, in the order of folded names, then of the directory.
    static std::vector<EntryId> sortedByName(const Directory& dir);
    // The first bytes of an alternative name, as numbers that sort as they do.
    static constexpr std::size_t kAltInHead = 12;
    struct AltHead {
        std::uint64_t head;
        std::uint32_t next;
    };
    static AltHead altHead(std::string_view folded);
    // Alternative names in the order of their texts, then of their entries;
    // heads holds those of names.
    static std::vector<std::pair<Directory::TextRef, EntryId>> sortedAltNames(
        const TextStore& text, const std::vector<std::pair<Directory::TextRef, EntryId>>& names,
        const std::vector<AltHead>& heads);

    Schema schema_;
    std::string source_;
    TextStore text_;
    static constexpr std::size_t kTextLimit = std::numeric_limits<std::uint32_t>::max();
    std::size_t textLimit_ = kTextLimit;
    std::vector<EntryId> parent_;
    std::vector<Directory::TextRef> name_;
    std::vector<Directory::TextRef> folded_;
    std::vector<std::uint16_t> class_;
    std::vector<AttributeId> rdnType_;
    std::vector<unsigned long> location_;
    std::vector<std::uint32_t> valueStart_;
    std::vector<Directory::StoredValue> values_;
    NameTable table_;
    std::vector<EntryId> roots_;
    std::unordered_map<std::string, EntryId> rootByDn_;      // DN key of each root
    std::unordered_map<std::string, EntryId> rootAncestor_;  // keys of the roots' missing ancestors
    // The raw DNs of the last entry and its ancestors, newest last: in an
    // export the next entry's parent is nearly always one of them, which
    // spares parsing its DN a second time.
    std::vector<std::pair<std::string, EntryId>> chain_;
    std::vector<std::pair<std::string, AttributeId>> typeCache_;
    std::unordered_map<std::string, ClassId> classCache_;
    std::string classKey_;  // the key of the entry being added
    std::string lastClassKey_;
    std::optional<ClassId> lastClass_;
    std::string scratch_;  // folded values and addresses on their way to the store
    std::vector<AttributeId> types_;  // of the entry being added
    std::vector<bool> leafClass_;     // per class: a user, workstation or alias class

    // Mapped schemas: what the fields of the mapping add to the entries.
    void addDerivedValues(EntryId id, ClassId cls, std::span<const Attribute> attributes,
                          EntryId parent, std::string_view parentDn);
    // The entry an owner value names when it is the entry added before (or
    // one of its parents) as written, or a plain RDN below the parent of the
    // entry being added (a user beside the workstation, as most are) that is
    // there already; kNoEntry when only a search of the DNs, or reading the
    // value as a DN, can tell.
    EntryId ownerBeside(std::string_view ownerDn, EntryId parent, std::string_view parentDn);
    void resolveOwners();
    bool schemaless_ = false;
    bool mayWait_ = false;  // an entry whose parent is not there yet may wait
    struct Waiting {
        std::string dn;
        std::vector<std::string> types;
        std::vector<std::vector<std::string>> values;
        unsigned long location;
        std::size_t depth;
    };
    std::vector<Waiting> waiting_;
    std::vector<std::vector<AttributeId>> searchTypes_;  // per class
    // Per class: (field, backing type) of the fields in the tcp and owner forms.
    std::vector<std::vector<std::pair<AttributeId, AttributeId>>> tcpFields_, ownerFields_;
    std::vector<std::vector<AttributeId>> seenTypes_;  // per class, without a schema
    std::vector<std::vector<AttributeId>> lastTypes_;  // per class: of its last entry
    struct Extra {
        EntryId entry;
        Directory::StoredValue value;
    };
    std::vector<Extra> extra_;                             // values for entries added before
    struct Owner {
        EntryId entry;
        Directory::TextRef dn;  // the owner value in the store
        EntryId user;           // the entry it names, when known as it was added
        // Then also the values it gives that entry, in besideExtras_.
        std::uint32_t firstExtra;
        std::uint32_t extraCount;
    };
    std::vector<Owner> owners_;
    struct BesideExtra {
        AttributeId field;
        std::uint32_t length;  // of its text, the next in besideText_
    };
    std::vector<BesideExtra> besideExtras_;
    std::string besideText_;
    // The DNs, as written, of the entries an owner value may name: an owner
    // is nearly always spelled as its entry's own "dn:" line. The texts lie
    // one after the other in ownedDnText_; the table, filled only when an
    // owner was not found beside its workstation, holds their numbers.
    struct OwnedDn {
        std::size_t offset;
        std::uint32_t length;
        EntryId entry;
    };
    std::string ownedDnText_;
    std::vector<OwnedDn> ownedDnRefs_;
    NameTable ownedDns_;
    std::optional<AttributeId> ownerAttribute_;
    std::vector<std::pair<Directory::TextRef, EntryId>> altNames_;
    std::vector<AltHead> altHeads_;  // of altNames_
};

}  // namespace outside::directory
