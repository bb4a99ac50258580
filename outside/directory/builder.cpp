// Entry checks, parent resolution and the final layout in directory order.
#include "outside/directory/builder.h"

#include <ldap.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <limits>
#include <numeric>
#include <system_error>
#include <type_traits>

#include "platform/text/casefold.h"

namespace outside::directory {

using platform::text::appendFolded;
using platform::text::foldCase;
using platform::text::isUtf8;
using platform::text::utf8Length;

namespace {

struct RdnFree {
    void operator()(LDAPRDN rdn) const { ldap_rdnfree(rdn); }
};
struct DnFree {
    void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};

std::string_view view(const berval& bv) {
    return {bv.bv_val, bv.bv_len};
}

// Quoted for a message: control characters and bytes that are not UTF-8
// appear as \XX, so that a NUL does not end the message and a stray byte
// does not garble it.
std::string quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8Length(text, at);
        if (length == 0 || c < 0x20 || c == 0x7F) {
            out.push_back('\\');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
            ++at;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out + "\"";
}

// A DN that names an entry: its text is UTF-8 without NULs, and so is the
// value of its first RDN once its escapes are read ("cn=WS\00TWO").
void checkDnText(std::string_view dn) {
    if (dn.find('\0') != std::string_view::npos)
        throw EntryError("the DN " + quoted(dn) + " holds a NUL byte");
    if (!isUtf8(dn)) throw EntryError("the DN " + quoted(dn) + " is not UTF-8");
}

void checkName(std::string_view dn, std::string_view name) {
    if (name.find('\0') != std::string_view::npos)
        throw EntryError("the DN " + quoted(dn) + " gives the entry a name with a NUL byte");
    if (!isUtf8(name))
        throw EntryError("the DN " + quoted(dn) + " gives the entry a name that is not UTF-8");
}

}  // namespace

// A DN taken apart: per RDN (leaf first) its folded value and attribute, and
// the key of each suffix from that RDN to the end. Keys compare DNs without
// regard to case or to the spelling of attribute names.
struct DirectoryBuilder::ParsedDn {
    std::vector<std::string> folded;
    std::vector<AttributeId> types;
    std::vector<std::string> suffix;
};

DirectoryBuilder::DirectoryBuilder(Schema schema, std::string source, bool schemaless)
    : schema_(std::move(schema)),
      source_(std::move(source)),
      schemaless_(schemaless),
      mayWait_(schemaless) {
    if (schema_.classCount() > std::numeric_limits<std::uint16_t>::max()) {
        throw EntryError("the schema has too many classes");
    }
    valueStart_.push_back(0);
    // The classes of the objects the tree ends in, and those derived from them.
    leafClass_.assign(schema_.classCount(), false);
    for (const char* name : {"User", "Workstation", "Alias"}) {
        const auto leaf = schema_.findClass(name);
        if (!leaf) continue;
        for (ClassId c = 0; c < schema_.classCount(); ++c) {
            if (schema_.inherits(c, *leaf)) leafClass_[c] = true;
        }
    }
    searchTypes_.resize(schema_.classCount());
    tcpFields_.resize(schema_.classCount());
    ownerFields_.resize(schema_.classCount());
    for (AttributeId field = 0; field < schema_.attributeCount(); ++field) {
        for (const Derivation& d : schema_.attribute(field).derivations) {
            if (d.cls >= schema_.classCount()) continue;
            if (d.form == ValueForm::Tcp) tcpFields_[d.cls].emplace_back(field, d.backing);
            if (d.form == ValueForm::Owner) ownerFields_[d.cls].emplace_back(field, d.backing);
        }
    }
    if (schema_.mapped()) {
        // Only a mapping with a field of the owner form reads owner values.
        if (std::any_of(ownerFields_.begin(), ownerFields_.end(),
                        [](const auto& fields) { return !fields.empty(); }))
            ownerAttribute_ = schema_.attributeByLdapName("owner");
        for (ClassId c = 0; c < schema_.classCount(); ++c) {
            for (const std::string& type : schema_.searchTypes({c})) {
                if (const auto at = schema_.attributeByLdapName(type))
                    searchTypes_[c].push_back(*at);
            }
        }
    }
}

DirectoryBuilder::~DirectoryBuilder() = default;

const AttributeId* DirectoryBuilder::cachedType(std::string_view type) const {
    // A file spells its few attribute types the same way again and again.
    for (const auto& [spelling, id] : typeCache_) {
        if (spelling == type) return &id;
    }
    return nullptr;
}

AttributeId DirectoryBuilder::attributeId(std::string_view type) {
    if (const AttributeId* cached = cachedType(type)) return *cached;
    const auto known = schema_.attributeByLdapName(type);
    const AttributeId id = known ? *known : schema_.addUndeclaredAttribute(type);
    typeCache_.emplace_back(std::string(type), id);
    return id;
}

ClassId DirectoryBuilder::classFor(std::span<const std::string_view> objectClasses) {
    // The key is built in a buffer kept from entry to entry, and the entries
    // of a file mostly list the same classes as the one before.
    std::string& key = classKey_;
    key.clear();
    for (std::string_view name : objectClasses) {
        key.append(name);
        key.push_back('\n');
    }
    if (lastClass_ && key == lastClassKey_) return *lastClass_;
    if (auto it = classCache_.find(key); it != classCache_.end()) {
        lastClassKey_ = key;
        lastClass_ = it->second;
        return it->second;
    }
    std::vector<ClassId> listed;
    for (std::string_view name : objectClasses) {
        auto id = schema_.classByLdapName(name);
        if (!id && schema_.mapped() && !name.empty()) {
            // A mapping reads what it knows of an entry; the classes it does
            // not map are known by their LDAP names.
            if (schema_.classCount() >= std::numeric_limits<std::uint16_t>::max())
                throw EntryError("the directory uses too many classes");
            id = schema_.addUndeclaredClass(name);
            leafClass_.resize(schema_.classCount(), false);
            searchTypes_.resize(schema_.classCount());
            tcpFields_.resize(schema_.classCount());
            ownerFields_.resize(schema_.classCount());
        }
        if (!id) {
            throw EntryError("the class " + quoted(name) + " is not in the schema", "objectClass",
                             std::string(name));
        }
        listed.push_back(*id);
    }
    const ClassId best = schema_.entryClass(listed);
    classCache_.emplace(key, best);
    lastClassKey_ = key;
    lastClass_ = best;
    return best;
}

DirectoryBuilder::ParsedDn DirectoryBuilder::parseDn(std::string_view dn) {
    const std::string text(dn);
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(text.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS || !parsed) {
        throw EntryError("malformed DN " + quoted(dn));
    }
    std::unique_ptr<LDAPRDN, DnFree> hold(parsed);
    ParsedDn out;
    std::vector<std::string> keys;
    for (LDAPRDN* rdn = parsed; *rdn; ++rdn) {
        std::string key;
        for (LDAPAVA** ava = *rdn; *ava; ++ava) {
            if (ava != *rdn) key.push_back('+');
            key += std::to_string(attributeId(view((*ava)->la_attr)));
            key.push_back('=');
            appendFolded(key, view((*ava)->la_value));
        }
        out.folded.push_back(foldCase(view((*rdn)[0]->la_value)));
        out.types.push_back(attributeId(view((*rdn)[0]->la_attr)));
        keys.push_back(std::move(key));
    }
    out.suffix.resize(keys.size());
    for (std::size_t i = keys.size(); i-- > 0;) {
        out.suffix[i] = i + 1 < keys.size() ? keys[i] + "," + out.suffix[i + 1] : keys[i];
    }
    return out;
}

EntryId DirectoryBuilder::findChild(EntryId parent, std::string_view folded) const {
    return table_.find(nameHash(parent, folded), [&](EntryId id) {
        return parent_[id] == parent &&
               std::string_view(text_.data() + folded_[id].offset, folded_[id].length) == folded;
    });
}

EntryId DirectoryBuilder::resolveParent(std::string_view parentDn) {
    const ParsedDn dn = parseDn(parentDn);
    // The tree it belongs to is the root whose DN ends this one; below it,
    // every level must already be there.
    for (std::size_t top = dn.suffix.size(); top-- > 0;) {
        const auto root = rootByDn_.find(dn.suffix[top]);
        if (root == rootByDn_.end()) continue;
        EntryId current = root->second;
        for (std::size_t level = top; level-- > 0;) {
            const EntryId child = findChild(current, dn.folded[level]);
            if (child == kNoEntry || rdnType_[child] != dn.types[level]) {
                throw EntryError("the parent entry " + quoted(parentDn) +
                                 " does not come before this entry");
            }
            current = child;
        }
        return current;
    }
    return kNoEntry;
}

std::string DirectoryBuilder::where(EntryId id) const {
    return location_[id] ? " (line " + std::to_string(location_[id]) + ")" : std::string();
}

void DirectoryBuilder::checkRoom(std::size_t more) const {
    if (text_.size() + more > textLimit_)
        throw EntryError("the directory holds more than " +
                         (textLimit_ == kTextLimit ? std::string("4 GiB")
                                                   : std::to_string(textLimit_) + " bytes") +
                         " of text");
}

void DirectoryBuilder::limitText(std::size_t bytes) {
    textLimit_ = std::min(bytes, kTextLimit);
}

Directory::TextRef DirectoryBuilder::store(std::string_view text) {
    checkRoom(text.size());
    const auto offset = static_cast<std::uint32_t>(text_.size());
    text_.append(text);
    return {offset, static_cast<std::uint32_t>(text.size())};
}

Directory::TextRef DirectoryBuilder::storeTcp(std::string_view address) {
    checkRoom(4 + address.size());
    const auto offset = static_cast<std::uint32_t>(text_.size());
    text_.append("TCP ");
    text_.append(address);
    return {offset, static_cast<std::uint32_t>(text_.size() - offset)};
}

void DirectoryBuilder::reserveScaled(double factor) {
    const auto scaled = [factor](std::size_t n) {
        return static_cast<std::size_t>(static_cast<double>(n) * factor) + 16;
    };
    const std::size_t entries = scaled(parent_.size());
    text_.reserve(scaled(text_.size()));
    parent_.reserve(entries);
    name_.reserve(entries);
    folded_.reserve(entries);
    class_.reserve(entries);
    rdnType_.reserve(entries);
    location_.reserve(entries);
    valueStart_.reserve(entries + 1);
    ownedDnText_.reserve(scaled(ownedDnText_.size()));
    ownedDnRefs_.reserve(scaled(ownedDnRefs_.size()));
    // The owners' addresses join the values at the end: room for them too.
    const auto later = static_cast<std::size_t>(std::count_if(
        owners_.begin(), owners_.end(), [](const Owner& owner) { return owner.user == kNoEntry; }));
    values_.reserve(scaled(values_.size() + besideExtras_.size() + later));
    besideExtras_.reserve(scaled(besideExtras_.size()));
    besideText_.reserve(scaled(besideText_.size()));
    owners_.reserve(scaled(owners_.size()));
    altNames_.reserve(scaled(altNames_.size()));
    altHeads_.reserve(scaled(altHeads_.size()));
}

void DirectoryBuilder::addEntry(std::string_view dn, std::span<const Attribute> attributes,
                                unsigned long location) {
    if (dn.empty()) throw EntryError("the entry has an empty DN");
    checkDnText(dn);
    if (parent_.size() + 1 >= kNoEntry) throw EntryError("too many entries");
    const std::string dnText(dn);
    LDAPRDN rdn = nullptr;
    char* next = nullptr;
    if (ldap_str2rdn(dnText.c_str(), &rdn, &next, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS || !rdn) {
        throw EntryError("malformed DN " + quoted(dn));
    }
    std::unique_ptr<LDAPAVA*, RdnFree> holdRdn(rdn);
    const std::string name(view(rdn[0]->la_value));
    if (name.empty()) throw EntryError("the DN " + quoted(dn) + " gives the entry no name");
    checkName(dn, name);
    if (name.find('\\') != std::string::npos) {
        throw EntryError("the name " + quoted(name) +
                         " holds a backslash, which full names cannot carry");
    }
    const AttributeId rdnType = attributeId(view(rdn[0]->la_attr));
    // next points at the separator after the first RDN, or at the end.
    const std::string_view parentDn =
        next && *next ? std::string_view(dnText).substr(next - dnText.c_str() + 1)
                      : std::string_view();

    types_.clear();
    std::span<const std::string_view> objectClasses;
    for (const Attribute& attribute : attributes) {
        types_.push_back(attributeId(attribute.type));
        if (types_.back() == schema_.objectClassAttribute()) objectClasses = attribute.values;
    }
    if (objectClasses.empty()) throw EntryError("the entry " + quoted(dn) + " has no objectClass");
    ClassId cls = classFor(objectClasses);

    EntryId parent = kNoEntry;
    std::size_t chainHit = chain_.size();
    if (!parentDn.empty()) {
        for (std::size_t k = chain_.size(); k-- > 0;) {
            if (chain_[k].first == parentDn) {
                parent = chain_[k].second;
                chainHit = k;
                break;
            }
        }
        if (chainHit == chain_.size()) {
            try {
                parent = resolveParent(parentDn);
            } catch (const EntryError&) {
                if (!mayWait_) throw;
                Waiting entry{dnText, {}, {}, location, parseDn(dn).folded.size()};
                for (const Attribute& attribute : attributes) {
                    entry.types.emplace_back(attribute.type);
                    entry.values.emplace_back(attribute.values.begin(), attribute.values.end());
                }
                waiting_.push_back(std::move(entry));
                return;
            }
        }
    }
    const bool root = parent == kNoEntry;
    if (root) {
        // An entry whose parent is missing may be a tree root only when it is
        // a container: a user, workstation or alias without its parent is
        // what a file cut short or put together wrongly leaves.
        if (leafClass_[cls]) {
            throw EntryError(parentDn.empty()
                                 ? "the entry " + quoted(dn) + " is a " +
                                       schema_.objectClass(cls).name +
                                       " and cannot be the root of a tree"
                                 : "the parent entry " + quoted(parentDn) + " is missing");
        }
        cls = schema_.topClass();
    } else if (schema_.objectClass(cls).kind == ObjectClass::Kind::Abstract) {
        throw EntryError("the entry " + quoted(dn) + " has no structural class");
    }

    const std::string folded = foldCase(name);
    const EntryId clash = findChild(parent, folded);
    std::vector<std::string> rootKeys;
    if (root) {
        rootKeys = parseDn(dn).suffix;
        if (const auto it = rootByDn_.find(rootKeys.front()); it != rootByDn_.end()) {
            throw EntryError("duplicate entry " + quoted(dn) + where(it->second));
        }
        if (const auto it = rootAncestor_.find(rootKeys.front()); it != rootAncestor_.end()) {
            throw EntryError("the entry " + quoted(dn) + " comes after an entry below it" +
                             where(it->second) + "; parents must come first");
        }
        if (clash != kNoEntry) {
            throw EntryError("a second tree named " + quoted(name) + where(clash));
        }
    } else if (clash != kNoEntry) {
        if (rdnType_[clash] == rdnType) {
            throw EntryError("duplicate entry " + quoted(dn) + where(clash));
        }
        throw EntryError("the entry " + quoted(dn) + " has the same name as its sibling" +
                         where(clash) + "; full names must be unique");
    }

    std::size_t textNeeded = name.size() + folded.size();
    for (const Attribute& attribute : attributes) {
        for (std::string_view value : attribute.values) {
            textNeeded += value.size();
            // What a mapping may derive from it: a "TCP " copy and a folded
            // name (folding may lengthen a character), whether or not it does.
            if (schema_.mapped()) textNeeded += 4 + 3 * value.size();
        }
    }
    checkRoom(textNeeded);

    // From here on nothing throws but allocation.
    const auto id = static_cast<EntryId>(parent_.size());
    parent_.push_back(parent);
    const Directory::TextRef nameRef = store(name);
    name_.push_back(nameRef);
    folded_.push_back(folded == name ? nameRef : store(folded));
    class_.push_back(static_cast<std::uint16_t>(cls));
    rdnType_.push_back(rdnType);
    location_.push_back(location);
    for (std::size_t a = 0; a < attributes.size(); ++a) {
        if (types_[a] == schema_.objectClassAttribute()) continue;
        for (std::string_view value : attributes[a].values)
            values_.push_back({types_[a], store(value)});
    }
    if (schema_.mapped()) addDerivedValues(id, cls, attributes, parent, parentDn);
    valueStart_.push_back(static_cast<std::uint32_t>(values_.size()));
    table_.insert(nameHash(parent, folded), id);

    if (root) {
        roots_.push_back(id);
        rootByDn_.emplace(rootKeys.front(), id);
        for (std::size_t i = 1; i < rootKeys.size(); ++i) rootAncestor_.emplace(rootKeys[i], id);
        chain_.clear();
    } else if (chainHit == chain_.size()) {
        chain_.assign(1, {std::string(parentDn), parent});
    } else {
        chain_.resize(chainHit + 1);
    }
    if (ownerAttribute_ && cls < ownerFields_.size() && !ownerFields_[cls].empty()) {
        ownedDnRefs_.push_back({ownedDnText_.size(), static_cast<std::uint32_t>(dnText.size()), id});
        ownedDnText_.append(dnText);
    }
    chain_.emplace_back(dnText, id);
}

void DirectoryBuilder::addDerivedValues(EntryId id, ClassId cls,
                                        std::span<const Attribute> attributes, EntryId parent,
                                        std::string_view parentDn) {
    const std::vector<AttributeId>* search =
        cls < searchTypes_.size() && !searchTypes_[cls].empty() ? &searchTypes_[cls] : nullptr;
    if (schemaless_) {
        // The entries of a class mostly list the same types as the one before.
        if (cls >= seenTypes_.size()) {
            seenTypes_.resize(cls + 1);
            lastTypes_.resize(cls + 1);
        }
        if (lastTypes_[cls] != types_) {
            auto& seen = seenTypes_[cls];
            for (const AttributeId type : types_)
                if (std::find(seen.begin(), seen.end(), type) == seen.end()) seen.push_back(type);
            lastTypes_[cls] = types_;
        }
    }
    for (std::size_t a = 0; a < attributes.size() && search; ++a) {
        const AttributeId type = types_[a];
        if (std::find(search->begin(), search->end(), type) != search->end()) {
            for (std::string_view value : attributes[a].values) {
                scratch_.clear();
                appendFolded(scratch_, value);
                if (scratch_.empty()) continue;
                altNames_.emplace_back(store(scratch_), id);
                altHeads_.push_back(altHead(scratch_));
            }
        }
    }
    // Addresses in the "TCP " form are kept as such, so that every reader
    // (and the snapshot-free cache) sees the same values.
    if (cls < tcpFields_.size()) {
        for (const auto& [field, backing] : tcpFields_[cls]) {
            for (std::size_t a = 0; a < attributes.size(); ++a) {
                if (types_[a] != backing) continue;
                for (std::string_view value : attributes[a].values)
                    values_.push_back({field, storeTcp(value)});
            }
        }
    }
    // The owner values were stored with the entry's other values, in the
    // order of its attributes. For an owner found beside the entry, the
    // values it gets are made now, while this entry's lie at hand; they join
    // the store with those of the other owners, in the order of the owners.
    if (!ownerAttribute_) return;
    const std::size_t first = valueStart_.back();
    for (std::size_t v = first; v < values_.size(); ++v) {
        if (values_[v].attribute != *ownerAttribute_) continue;
        const Directory::TextRef dn = values_[v].text;
        Owner owner{id, dn,
                    ownerBeside(std::string_view(text_.data() + dn.offset, dn.length), parent,
                                parentDn),
                    static_cast<std::uint32_t>(besideExtras_.size()), 0};
        if (owner.user != kNoEntry && class_[owner.user] < ownerFields_.size()) {
            for (const auto& [field, backing] : ownerFields_[class_[owner.user]]) {
                for (std::size_t w = first; w < values_.size(); ++w) {
                    if (values_[w].attribute != backing) continue;
                    besideText_.append("TCP ");
                    besideText_.append(text_.data() + values_[w].text.offset,
                                       values_[w].text.length);
                    besideExtras_.push_back({field, values_[w].text.length + 4});
                }
            }
            owner.extraCount = static_cast<std::uint32_t>(besideExtras_.size() - owner.firstExtra);
        }
        owners_.push_back(owner);
    }
}

EntryId DirectoryBuilder::ownerBeside(std::string_view ownerDn, EntryId parent,
                                      std::string_view parentDn) {
    // The entry before, or one of its parents, as its "dn:" line spells it
    // (a user listed just before the workstation at it).
    for (std::size_t k = chain_.size(); k-- > 0;)
        if (chain_[k].first == ownerDn) return chain_[k].second;
    if (parent == kNoEntry || parentDn.empty() || ownerDn.size() <= parentDn.size() + 1 ||
        !ownerDn.ends_with(parentDn) || ownerDn[ownerDn.size() - parentDn.size() - 1] != ',')
        return kNoEntry;
    // One plain RDN: a type by its name and a value of UTF-8 that needs no
    // escapes (printable ASCII but the special characters, and letters
    // beyond ASCII), which a DN parser reads as written.
    const std::string_view rdn = ownerDn.substr(0, ownerDn.size() - parentDn.size() - 1);
    const std::size_t equals = rdn.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == rdn.size())
        return kNoEntry;
    const std::string_view type = rdn.substr(0, equals);
    const std::string_view value = rdn.substr(equals + 1);
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(type[0])) return kNoEntry;
    for (char c : type)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '-') return kNoEntry;
    if (value.front() == ' ' || value.back() == ' ') return kNoEntry;
    bool ascii = true;
    for (char c : value) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            continue;
        }
        if (c < 0x20 || c == 0x7F) return kNoEntry;
        if (c == '\\' || c == ',' || c == '+' || c == '"' || c == ';' || c == '<' || c == '>' ||
            c == '=' || c == '#')
            return kNoEntry;
    }
    if (!ascii && !isUtf8(value)) return kNoEntry;
    // Only a spelling seen before: a type first met here is registered when
    // the owners are resolved, in the order it always was.
    const AttributeId* known = cachedType(type);
    if (!known) return kNoEntry;
    scratch_.clear();
    appendFolded(scratch_, value);
    const EntryId child = findChild(parent, scratch_);
    return child != kNoEntry && rdnType_[child] == *known ? child : kNoEntry;
}

// The `owner` form: a workstation names the users at it; each user gets the
// addresses of the workstations that name it.
void DirectoryBuilder::resolveOwners() {
    if (owners_.empty()) return;
    // The owners that were not found beside their workstations are looked
    // up among the DNs as written, else read as DNs.
    if (std::any_of(owners_.begin(), owners_.end(),
                    [](const Owner& owner) { return owner.user == kNoEntry; })) {
        ownedDns_.reserve(ownedDnRefs_.size());
        for (std::size_t k = 0; k < ownedDnRefs_.size(); ++k) {
            const OwnedDn& owned = ownedDnRefs_[k];
            const std::string_view dn =
                std::string_view(ownedDnText_).substr(owned.offset, owned.length);
            ownedDns_.insert(nameHash(0, dn), static_cast<EntryId>(k));
        }
    }
    extra_.reserve(besideExtras_.size());
    std::size_t besideAt = 0;  // in besideText_
    for (const Owner& owner : owners_) {
        if (owner.user != kNoEntry) {
            // Found beside its workstation: its values were made then.
            for (std::uint32_t k = owner.firstExtra; k < owner.firstExtra + owner.extraCount; ++k) {
                const BesideExtra& made = besideExtras_[k];
                const std::string_view address =
                    std::string_view(besideText_).substr(besideAt, made.length);
                extra_.push_back({owner.user, {made.field, store(address)}});
                besideAt += made.length;
            }
            continue;
        }
        // Read before the store grows below.
        const std::string_view ownerDn(text_.data() + owner.dn.offset, owner.dn.length);
        EntryId user = kNoEntry;
        const EntryId known = ownedDns_.find(nameHash(0, ownerDn), [&](EntryId k) {
            const OwnedDn& owned = ownedDnRefs_[k];
            return std::string_view(ownedDnText_).substr(owned.offset, owned.length) == ownerDn;
        });
        if (known != kNoEntry) {
            user = ownedDnRefs_[known].entry;
        } else {
            try {
                user = resolveParent(ownerDn);
            } catch (const EntryError&) {
                continue;  // names no entry of this source
            }
        }
        if (user == kNoEntry) continue;
        if (class_[user] >= ownerFields_.size()) continue;
        for (const auto& [field, backing] : ownerFields_[class_[user]]) {
            for (std::uint32_t v = valueStart_[owner.entry]; v < valueStart_[owner.entry + 1];
                 ++v) {
                if (values_[v].attribute != backing) continue;
                // A copy as well: the address lies in the store it is added to.
                scratch_.assign(text_.data() + values_[v].text.offset, values_[v].text.length);
                extra_.push_back({user, {field, storeTcp(scratch_)}});
            }
        }
    }
    if (extra_.empty()) return;
    const auto byEntry = [](const Extra& a, const Extra& b) { return a.entry < b.entry; };
    // Owners mostly come before their workstations, and then in order.
    if (!std::is_sorted(extra_.begin(), extra_.end(), byEntry))
        std::stable_sort(extra_.begin(), extra_.end(), byEntry);
    // Each entry's extra values go after its own.
    const std::size_t total = values_.size() + extra_.size();
    if (values_.capacity() < total) {
        // Into a new table: growing this one would copy it first.
        std::vector<Directory::StoredValue> values;
        values.reserve(total);
        std::size_t next = 0;
        for (EntryId id = 0; id < parent_.size(); ++id) {
            const std::uint32_t start = static_cast<std::uint32_t>(values.size());
            values.insert(values.end(), values_.begin() + valueStart_[id],
                          values_.begin() + valueStart_[id + 1]);
            valueStart_[id] = start;
            for (; next < extra_.size() && extra_[next].entry == id; ++next)
                values.push_back(extra_[next].value);
        }
        valueStart_[parent_.size()] = static_cast<std::uint32_t>(values.size());
        values_ = std::move(values);
        extra_.clear();
        return;
    }
    // In place: the values move up, the last entry first, each by the number
    // of extra values of the entries before it; those before the first entry
    // that gets one stay.
    std::size_t end = values_.size();  // of the entry's values as they lie now
    values_.resize(total);
    std::size_t after = extra_.size();  // the extra values of the entries up to id
    valueStart_[parent_.size()] = static_cast<std::uint32_t>(total);
    for (EntryId id = static_cast<EntryId>(parent_.size()); after > 0 && id-- > 0;) {
        std::size_t before = after;
        while (before > 0 && extra_[before - 1].entry == id) --before;
        const std::size_t start = valueStart_[id];
        for (std::size_t e = before; e < after; ++e) values_[end + e] = extra_[e].value;
        std::move_backward(values_.begin() + static_cast<std::ptrdiff_t>(start),
                           values_.begin() + static_cast<std::ptrdiff_t>(end),
                           values_.begin() + static_cast<std::ptrdiff_t>(end + before));
        valueStart_[id] = static_cast<std::uint32_t>(start + before);
        end = start;
        after = before;
    }
    extra_.clear();
}

void DirectoryBuilder::addWaiting() {
    std::vector<Waiting> waiting = std::move(waiting_);
    waiting_.clear();
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const Waiting& a, const Waiting& b) { return a.depth < b.depth; });
    mayWait_ = false;  // a parent still missing now is missing for good
    for (const Waiting& entry : waiting) {
        std::vector<std::vector<std::string_view>> views(entry.values.size());
        std::vector<Attribute> attributes;
        for (std::size_t i = 0; i < entry.types.size(); ++i) {
            views[i].assign(entry.values[i].begin(), entry.values[i].end());
            attributes.push_back({entry.types[i], views[i]});
        }
        try {
            addEntry(entry.dn, attributes, entry.location);
        } catch (const EntryError& error) {
            throw EntryError(std::string(error.what()) +
                             (entry.location ? " (line " + std::to_string(entry.location) + ")"
                                             : std::string()));
        }
    }
    mayWait_ = true;
}

namespace {

// An entry in the order of the name index: the first twelve bytes of its
// folded name as numbers settle nearly every comparison without touching the
// text, and lie beside the entry number, so that sorting reads no table but
// this one.
struct NameKey {
    std::uint64_t head;
    std::uint32_t next;
    EntryId id;
};

// Hands the keys to emit in the order of less (a total order). Many keys
// sort as two halves on two cores and are merged.
template <class Key, class Less, class Emit>
void sortKeys(std::vector<Key>& keys, const Less& less, Emit&& emit) {
    const auto middle = keys.begin() + static_cast<std::ptrdiff_t>(keys.size() / 2);
    std::future<void> half;
    if (keys.size() >= (std::size_t{1} << 16)) {
        try {
            half = std::async(std::launch::async, [&] { std::sort(keys.begin(), middle, less); });
        } catch (const std::system_error&) {  // no thread to be had
        }
    }
    if (!half.valid()) {
        std::sort(keys.begin(), keys.end(), less);
        for (const Key& key : keys) emit(key);
        return;
    }
    std::sort(middle, keys.end(), less);
    half.get();
    auto left = keys.begin();
    auto right = middle;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const bool fromRight = left == middle || (right != keys.end() && less(*right, *left));
        emit(*(fromRight ? right++ : left++));
    }
}

}  // namespace

std::vector<EntryId> DirectoryBuilder::sortedByName(const Directory& dir) {
    const std::size_t n = dir.size();
    std::vector<NameKey> keys(n);
    for (EntryId k = 0; k < n; ++k) {
        const std::string_view f = dir.folded(k);
        const auto byte = [&f](std::size_t b) -> std::uint64_t {
            return b < f.size() ? static_cast<unsigned char>(f[b]) : 0u;
        };
        std::uint64_t head = 0;
        for (std::size_t b = 0; b < 8; ++b) head = (head << 8) | byte(b);
        std::uint64_t next = 0;
        for (std::size_t b = 8; b < 12; ++b) next = (next << 8) | byte(b);
        keys[k] = {head, static_cast<std::uint32_t>(next), k};
    }
    const auto less = [&dir](const NameKey& a, const NameKey& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.next != b.next) return a.next < b.next;
        const int c = dir.folded(a.id).compare(dir.folded(b.id));
        return c != 0 ? c < 0 : a.id < b.id;
    };
    std::vector<EntryId> byName;
    byName.reserve(n);
    sortKeys(keys, less, [&](const NameKey& key) { byName.push_back(key.id); });
    return byName;
}

DirectoryBuilder::AltHead DirectoryBuilder::altHead(std::string_view folded) {
    unsigned char bytes[kAltInHead] = {};
    std::memcpy(bytes, folded.data(), std::min(folded.size(), kAltInHead));
    AltHead out{0, 0};
    for (std::size_t b = 0; b < 8; ++b) out.head = (out.head << 8) | bytes[b];
    for (std::size_t b = 8; b < kAltInHead; ++b) out.next = (out.next << 8) | bytes[b];
    return out;
}

std::vector<std::pair<Directory::TextRef, EntryId>> DirectoryBuilder::sortedAltNames(
    const TextStore& text, const std::vector<std::pair<Directory::TextRef, EntryId>>& names,
    const std::vector<AltHead>& heads) {
    // As the name index: the first twelve bytes of each text as numbers
    // (taken as it was stored), its length and its entry settle nearly every
    // comparison without reading the text (alternative names are short, and
    // many entries share one).
    struct AltKey {
        std::uint64_t head;
        std::uint32_t next;
        std::uint32_t length;
        EntryId entry;
        std::uint32_t at;  // in names
    };
    constexpr std::size_t kInKey = kAltInHead;
    const std::size_t n = names.size();
    const auto textOf = [&](const AltKey& key) {
        const Directory::TextRef ref = names[key.at].first;
        return std::string_view(text.data() + ref.offset, ref.length);
    };
    std::vector<AltKey> keys;
    keys.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        keys.push_back({heads[k].head, heads[k].next, names[k].first.length, names[k].second,
                        static_cast<std::uint32_t>(k)});
    }
    // By text, then entry; one entry's equal texts (two values that fold
    // alike) by where they lie, so that the order is the same every time.
    const auto less = [&](const AltKey& a, const AltKey& b) {
        if (a.head != b.head) return a.head < b.head;
        if (a.next != b.next) return a.next < b.next;
        if (a.length > kInKey && b.length > kInKey) {
            if (const int c = textOf(a).compare(textOf(b)); c != 0) return c < 0;
        } else if (a.length != b.length) {
            // The shorter one lies whole in the key, and the other begins
            // with it.
            return a.length < b.length;
        }
        if (a.entry != b.entry) return a.entry < b.entry;
        return names[a.at].first.offset < names[b.at].first.offset;
    };
    std::vector<std::pair<Directory::TextRef, EntryId>> sorted;
    sorted.reserve(n);
    sortKeys(keys, less, [&](const AltKey& key) { sorted.push_back(names[key.at]); });
    return sorted;
}

std::shared_ptr<const Directory> DirectoryBuilder::finish() {
    if (schema_.mapped()) {
        resolveOwners();
        for (ClassId c = 0; c < seenTypes_.size(); ++c)
            if (!seenTypes_[c].empty()) schema_.extendLayout(c, seenTypes_[c]);
    }
    const std::size_t n = parent_.size();
    std::shared_ptr<Directory> dir(new Directory());

    // Children in source order, as offsets into one list.
    std::vector<std::uint32_t> childStart(n + 1, 0);
    for (EntryId i = 0; i < n; ++i) {
        if (parent_[i] != kNoEntry) ++childStart[parent_[i] + 1];
    }
    std::partial_sum(childStart.begin(), childStart.end(), childStart.begin());
    std::vector<EntryId> childList(childStart[n]);
    {
        std::vector<std::uint32_t> fill(childStart.begin(), childStart.end() - 1);
        for (EntryId i = 0; i < n; ++i) {
            if (parent_[i] != kNoEntry) childList[fill[parent_[i]]++] = i;
        }
    }

    // Directory order: each tree depth first, trees and children as the
    // source gave them.
    std::vector<EntryId> order;
    order.reserve(n);
    std::vector<EntryId> newId(n);
    std::vector<EntryId> subtreeEnd(n);
    struct Frame {
        EntryId id;
        std::uint32_t next;
    };
    std::vector<Frame> stack;
    const auto enter = [&](EntryId id) {
        newId[id] = static_cast<EntryId>(order.size());
        order.push_back(id);
        stack.push_back({id, childStart[id]});
    };
    for (EntryId root : roots_) {
        enter(root);
        while (!stack.empty()) {
            const std::size_t top = stack.size() - 1;
            if (stack[top].next < childStart[stack[top].id + 1]) {
                enter(childList[stack[top].next++]);
            } else {
                subtreeEnd[newId[stack[top].id]] = static_cast<EntryId>(order.size());
                stack.pop_back();
            }
        }
    }
    dir->subtreeEnd_ = std::move(subtreeEnd);

    const auto shrink = [](auto& member) {
        if (member.capacity() > member.size() + member.size() / 8) member.shrink_to_fit();
    };
    dir->text_ = std::move(text_);
    dir->text_.shrinkToFit();
    bool inOrder = true;
    for (EntryId k = 0; k < n && inOrder; ++k) inOrder = order[k] == k;
    if (inOrder) {
        // The source listed every parent's subtree in one piece (as exports
        // do): the entries already stand in directory order.
        shrink(parent_), shrink(name_), shrink(folded_), shrink(class_);
        shrink(valueStart_), shrink(values_);
        dir->parent_ = std::move(parent_);
        dir->name_ = std::move(name_);
        dir->folded_ = std::move(folded_);
        dir->class_ = std::move(class_);
        dir->childStart_ = std::move(childStart);
        dir->childList_ = std::move(childList);
        dir->valueStart_ = std::move(valueStart_);
        dir->values_ = std::move(values_);
        dir->table_ = std::move(table_);
    } else {
        std::vector<EntryId> parent(n);
        std::vector<Directory::TextRef> name(n);
        std::vector<Directory::TextRef> folded(n);
        std::vector<std::uint16_t> cls(n);
        std::vector<std::uint32_t> children(n + 1);
        std::vector<EntryId> list(childList.size());
        std::vector<std::uint32_t> valueStart(n + 1);
        std::vector<Directory::StoredValue> values(values_.size());
        std::uint32_t childAt = 0;
        std::uint32_t valueAt = 0;
        for (EntryId k = 0; k < n; ++k) {
            const EntryId old = order[k];
            parent[k] = parent_[old] == kNoEntry ? kNoEntry : newId[parent_[old]];
            name[k] = name_[old];
            folded[k] = folded_[old];
            cls[k] = class_[old];
            children[k] = childAt;
            for (std::uint32_t c = childStart[old]; c < childStart[old + 1]; ++c) {
                list[childAt++] = newId[childList[c]];
            }
            valueStart[k] = valueAt;
            for (std::uint32_t v = valueStart_[old]; v < valueStart_[old + 1]; ++v) {
                values[valueAt++] = values_[v];
            }
        }
        children[n] = childAt;
        valueStart[n] = valueAt;
        dir->parent_ = std::move(parent);
        dir->name_ = std::move(name);
        dir->folded_ = std::move(folded);
        dir->class_ = std::move(cls);
        dir->childStart_ = std::move(children);
        dir->childList_ = std::move(list);
        dir->valueStart_ = std::move(valueStart);
        dir->values_ = std::move(values);
        dir->table_.reserve(n);
        for (EntryId k = 0; k < n; ++k) {
            dir->table_.insert(nameHash(dir->parent_[k], dir->folded(k)), k);
        }
    }
    {
        std::vector<EntryId> trees;
        for (EntryId root : roots_) trees.push_back(newId[root]);
        dir->trees_ = std::move(trees);
    }
    if (!altNames_.empty()) {
        for (auto& [ref, id] : altNames_) id = newId[id];
        dir->altNames_ = sortedAltNames(dir->text_, altNames_, altHeads_);
    }

    dir->schema_ = std::move(schema_);
    dir->source_ = std::move(source_);

    // The builder's own tables are not needed any more; they go before the
    // name index is built, so that loading peaks little above what it keeps.
    const auto release = [](auto& member) {
        std::remove_reference_t<decltype(member)>().swap(member);
    };
    release(parent_), release(name_), release(folded_), release(class_), release(rdnType_);
    release(location_), release(values_), release(roots_), release(rootByDn_);
    release(ownedDnRefs_), release(ownedDnText_), release(owners_), release(altNames_);
    release(altHeads_);
    release(besideExtras_), release(besideText_);
    ownedDns_ = NameTable();
    release(rootAncestor_), release(chain_), release(typeCache_), release(classCache_),
        release(types_);
    release(order), release(newId), release(stack);

    dir->byName_ = sortedByName(*dir);
    valueStart_.assign(1, 0);
    table_ = NameTable();
    return dir;
}

}  // namespace outside::directory
