// Schema parsing on libldap's RFC 4512 parser, name tables and layouts.
#include "outside/directory/schema.h"

#include <ldap_schema.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "platform/text/casefold.h"

namespace outside::directory {

using platform::text::foldCase;

namespace {

constexpr std::string_view kNameExtension = "X-KTR-NAME";
constexpr unsigned kParseFlags = LDAP_SCHEMA_ALLOW_ALL;

struct AttributeTypeFree {
    void operator()(LDAPAttributeType* p) const { ldap_attributetype_free(p); }
};
struct ObjectClassFree {
    void operator()(LDAPObjectClass* p) const { ldap_objectclass_free(p); }
};

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string withoutOptions(std::string_view type) {
    return lowerAscii(type.substr(0, type.find(';')));
}

std::vector<std::string> strings(char** list) {
    std::vector<std::string> out;
    for (; list && *list; ++list) out.emplace_back(*list);
    return out;
}

std::string extensionName(LDAPSchemaExtensionItem** ext) {
    for (; ext && *ext; ++ext) {
        if (kNameExtension == (*ext)->lsei_name && (*ext)->lsei_values && (*ext)->lsei_values[0]) {
            return (*ext)->lsei_values[0];
        }
    }
    return {};
}

// libldap's parser can step one byte past the end of a definition that
// stops short ("SYNTAX )", "X-"), and then goes on with whatever lies there.
// The copy it reads ends in spare NULs, so that it finds the end again.
constexpr std::size_t kSpareNuls = 8;

std::string forParser(std::string_view definition) {
    std::string text(definition);
    text.append(kSpareNuls, '\0');
    return text;
}

// libldap's error position may lie past the end of the definition, or
// elsewhere altogether, so it is used only while it points into the text.
std::string parseError(std::string_view what, int code, const std::string& text,
                       const char* where) {
    std::string message = "malformed " + std::string(what) + ": " + ldap_scherr2str(code);
    const std::size_t size = text.size() - kSpareNuls;
    const auto begin = reinterpret_cast<std::uintptr_t>(text.data());
    const auto at = reinterpret_cast<std::uintptr_t>(where);
    if (where && at >= begin && at < begin + size) {
        message += " at \"" +
                   text.substr(at - begin, std::min<std::size_t>(40, size - (at - begin))) + "\"";
    } else if (where && at >= begin + size && at <= begin + text.size()) {
        message += " at the end";
    }
    return message;
}

// The directory's names of standard elements that a server ships built in
// and that cannot carry X-KTR-NAME there, by OID. An element of the schema
// that carries the name itself keeps it.
struct DefaultName {
    std::string_view oid;
    std::string_view name;
};
constexpr DefaultName kDefaultClassNames[] = {
    {"2.5.6.1", "Alias"},
    {"2.5.6.2", "Country"},
    {"2.5.6.4", "Organization"},
    {"2.5.6.5", "Organizational Unit"},
};
constexpr DefaultName kDefaultAttributeNames[] = {
    {"2.5.4.1", "Aliased Object Name"},
    {"2.5.4.3", "CN"},
    {"2.5.4.4", "Surname"},
    {"2.5.4.6", "Country Name"},
    {"2.5.4.7", "Location"},
    {"2.5.4.10", "Organization Name"},
    {"2.5.4.11", "Organizational Unit Name"},
    {"2.5.4.12", "Title"},
    {"2.5.4.13", "Description"},
    {"2.5.4.20", "Telephone Number"},
    {"2.5.4.42", "Given Name"},
    {"0.9.2342.19200300.100.1.3", "Internet EMail Address"},
};

// Resolves directory names: the extension, else the default of a standard
// element (unless an extension claims that name), else the first LDAP name,
// else the OID.
class Namer {
public:
    template <std::size_t N>
    Namer(const DefaultName (&defaults)[N], const std::vector<std::string>& extensions)
        : defaults_(defaults, defaults + N) {
        for (const std::string& ext : extensions)
            if (!ext.empty()) claimed_.push_back(foldCase(ext));
    }
    std::string operator()(const std::string& extension, const std::vector<std::string>& ldapNames,
                           const std::string& oid) const {
        if (!extension.empty()) return extension;
        for (const DefaultName& d : defaults_) {
            if (d.oid == oid &&
                std::find(claimed_.begin(), claimed_.end(), foldCase(d.name)) == claimed_.end())
                return std::string(d.name);
        }
        return ldapNames.empty() ? oid : ldapNames.front();
    }

private:
    std::vector<DefaultName> defaults_;
    std::vector<std::string> claimed_;
};

}  // namespace

Schema Schema::parse(const std::vector<std::string_view>& attributeTypes,
                     const std::vector<std::string_view>& objectClasses,
                     std::shared_ptr<const Mapping> mapping) {
    // One place is kept for LDAP's `top` when the schema does not define it.
    if (objectClasses.size() + 1 > kMaxClasses) {
        throw SchemaError("the schema has too many classes (" +
                              std::to_string(objectClasses.size()) + ", at most " +
                              std::to_string(kMaxClasses - 1) + ")",
                          "objectClasses", kMaxClasses - 1);
    }
    Schema schema;
    if (mapping && !mapping->ktr) schema.mapping_ = std::move(mapping);
    const bool mapped = schema.mapped();
    std::vector<std::unique_ptr<LDAPAttributeType, AttributeTypeFree>> parsedTypes;
    std::vector<std::string> typeExtensions;
    for (std::size_t i = 0; i < attributeTypes.size(); ++i) {
        const std::string text = forParser(attributeTypes[i]);
        int code = 0;
        const char* where = nullptr;
        parsedTypes.emplace_back(ldap_str2attributetype(text.c_str(), &code, &where, kParseFlags));
        if (!parsedTypes.back())
            throw SchemaError(parseError("attribute type", code, text, where), "attributeTypes", i);
        typeExtensions.push_back(mapped ? std::string()
                                        : extensionName(parsedTypes.back()->at_extensions));
    }
    const Namer attributeName(kDefaultAttributeNames, typeExtensions);
    for (std::size_t i = 0; i < parsedTypes.size(); ++i) {
        const LDAPAttributeType* at = parsedTypes[i].get();
        AttributeType type;
        type.oid = at->at_oid ? at->at_oid : "";
        type.ldapNames = strings(at->at_names);
        type.name = mapped ? (type.ldapNames.empty() ? type.oid : type.ldapNames.front())
                           : attributeName(typeExtensions[i], type.ldapNames, type.oid);
        type.syntax = at->at_syntax_oid ? at->at_syntax_oid : "";
        type.singleValue = at->at_single_value != 0;
        if (mapped) {
            // A field of the mapping may take this name; the type stays known
            // by its LDAP names.
            schema.addMappedAttribute(std::move(type), i);
        } else {
            schema.addAttribute(std::move(type), i);
        }
    }

    // Classes are registered before any SUP is resolved: a superclass may be
    // defined after the classes that name it.
    std::vector<std::unique_ptr<LDAPObjectClass, ObjectClassFree>> parsed;
    std::vector<std::string> extensions;
    for (std::size_t i = 0; i < objectClasses.size(); ++i) {
        const std::string text = forParser(objectClasses[i]);
        int code = 0;
        const char* where = nullptr;
        parsed.emplace_back(ldap_str2objectclass(text.c_str(), &code, &where, kParseFlags));
        if (!parsed.back())
            throw SchemaError(parseError("object class", code, text, where), "objectClasses", i);
        extensions.push_back(mapped ? std::string() : extensionName(parsed.back()->oc_extensions));
    }
    // Tree roots are of class "Top": LDAP's `top`, unless a class of the
    // schema carries that name itself. Then that class is the roots' class,
    // and `top` is known by its LDAP name only.
    const auto claimsTop =
        std::find_if(extensions.begin(), extensions.end(),
                     [](const std::string& name) { return foldCase(name) == "top"; });
    const bool topClaimed = claimsTop != extensions.end();
    const Namer className(kDefaultClassNames, extensions);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const LDAPObjectClass* oc = parsed[i].get();
        ObjectClass cls;
        cls.oid = oc->oc_oid ? oc->oc_oid : "";
        cls.ldapNames = strings(oc->oc_names);
        cls.name = mapped ? (cls.ldapNames.empty() ? cls.oid : cls.ldapNames.front())
                          : className(extensions[i], cls.ldapNames, cls.oid);
        // LDAP's `top` by any of its names, whatever its OID and its own
        // X-KTR-NAME: neither the usual name of another standard class's OID
        // nor a name of its own may take the tree roots' name from it.
        // (Known as `top` by a name or, as a lenient parse allows, its OID.)
        const bool isLdapTop =
            lowerAscii(cls.oid) == "top" ||
            std::any_of(cls.ldapNames.begin(), cls.ldapNames.end(),
                        [](const std::string& name) { return lowerAscii(name) == "top"; });
        const bool claimsTopItself =
            topClaimed && static_cast<std::size_t>(claimsTop - extensions.begin()) == i;
        // The class that claims the roots' name is called by it as it is
        // spelt, whatever case its X-KTR-NAME has.
        if (claimsTopItself) cls.name = "Top";
        if (mapped) {
            // Known by the mapping's class names; LDAP names stay lookups.
            cls.named = false;
        } else if (!claimsTopItself &&
                   (isLdapTop || (extensions[i].empty() && lowerAscii(cls.name) == "top"))) {
            if (topClaimed) {
                cls.named = false;
            } else {
                cls.name = "Top";
            }
        }
        cls.kind = oc->oc_kind == LDAP_SCHEMA_ABSTRACT    ? ObjectClass::Kind::Abstract
                   : oc->oc_kind == LDAP_SCHEMA_AUXILIARY ? ObjectClass::Kind::Auxiliary
                                                          : ObjectClass::Kind::Structural;
        schema.addClass(std::move(cls), i);
    }
    const auto declaredTop = schema.classByLdapName("top");
    if (!declaredTop) {
        ObjectClass top;
        top.name = topClaimed ? "top" : "Top";
        top.oid = "2.5.6.0";
        top.ldapNames = {"top"};
        top.kind = ObjectClass::Kind::Abstract;
        top.declared = false;
        top.named = !topClaimed && !mapped;
        schema.top_ = schema.addClass(std::move(top), 0);
    } else {
        schema.top_ = *declaredTop;
    }
    if (topClaimed) schema.top_ = static_cast<ClassId>(claimsTop - extensions.begin());
    const auto attributeNamed = [&schema](const char* name) {
        if (auto id = schema.attributeByLdapName(name)) return *id;
        return schema.addUndeclaredAttribute(name);
    };
    schema.objectClassAttribute_ = attributeNamed("objectClass");

    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const LDAPObjectClass* oc = parsed[i].get();
        ObjectClass& cls = schema.classes_[i];
        for (char** sup = oc->oc_sup_oids; sup && *sup; ++sup) {
            const auto id = schema.classByLdapName(*sup);
            if (!id) {
                throw SchemaError(
                    "class '" + cls.name + "' names the unknown superclass '" + *sup + "'",
                    "objectClasses", i);
            }
            cls.superclasses.push_back(*id);
        }
        for (char** at = oc->oc_at_oids_must; at && *at; ++at) {
            cls.must.push_back(attributeNamed(*at));
        }
        for (char** at = oc->oc_at_oids_may; at && *at; ++at) {
            cls.may.push_back(attributeNamed(*at));
        }
    }
    schema.computeLayouts();
    if (mapped) schema.applyMapping();
    return schema;
}

namespace {

// Files an attribute type or class under its LDAP names, OID and (when it
// is known by it) its directory name; each must be new.
template <class Element>
std::uint32_t addElement(std::vector<Element>& elements, Element element, bool named,
                         std::unordered_map<std::string, std::uint32_t>& byLdapName,
                         std::unordered_map<std::string, std::uint32_t>& byName,
                         const std::string& kind, const std::string& kinds, const char* list,
                         std::size_t index) {
    const auto id = static_cast<std::uint32_t>(elements.size());
    std::vector<std::string> keys = element.ldapNames;
    if (!element.oid.empty()) keys.push_back(element.oid);
    for (const std::string& key : keys) {
        if (!byLdapName.emplace(lowerAscii(key), id).second) {
            throw SchemaError(kind + " '" + key + "' is defined twice", list, index);
        }
    }
    if (named && !byName.emplace(foldCase(element.name), id).second) {
        throw SchemaError("two " + kinds + " are named '" + element.name + "'", list, index);
    }
    elements.push_back(std::move(element));
    return id;
}

}  // namespace

AttributeId Schema::addAttribute(AttributeType type, std::size_t index) {
    return addElement(attributes_, std::move(type), true, attributeByLdapName_, attributeByName_,
                      "attribute type", "attribute types", "attributeTypes", index);
}

ClassId Schema::addClass(ObjectClass cls, std::size_t index) {
    const bool named = cls.named;
    return addElement(classes_, std::move(cls), named, classByLdapName_, classByName_,
                      "object class", "object classes", "objectClasses", index);
}

AttributeId Schema::addMappedAttribute(AttributeType type, std::size_t index) {
    const auto id = static_cast<AttributeId>(attributes_.size());
    std::vector<std::string> keys = type.ldapNames;
    if (!type.oid.empty()) keys.push_back(type.oid);
    for (const std::string& key : keys) {
        if (!attributeByLdapName_.emplace(lowerAscii(key), id).second)
            throw SchemaError("attribute type '" + key + "' is defined twice", "attributeTypes",
                              index);
    }
    attributeByName_.emplace(foldCase(type.name), id);
    attributes_.push_back(std::move(type));
    return id;
}

AttributeId Schema::addUndeclaredAttribute(std::string_view ldapName) {
    const std::string key = withoutOptions(ldapName);
    if (auto it = attributeByLdapName_.find(key); it != attributeByLdapName_.end()) {
        return it->second;
    }
    const auto id = static_cast<AttributeId>(attributes_.size());
    AttributeType type;
    type.name = std::string(ldapName.substr(0, ldapName.find(';')));
    type.ldapNames = {type.name};
    type.declared = false;
    attributeByLdapName_.emplace(key, id);
    // A declared type may already carry this as its directory name; that one wins.
    attributeByName_.emplace(foldCase(type.name), id);
    attributes_.push_back(std::move(type));
    return id;
}

void Schema::computeLayouts() {
    const std::size_t count = classes_.size();
    // Superclasses before their subclasses, found without recursion (a chain
    // may be as long as the class limit); the first class met twice on the
    // way up is the one that inherits from itself.
    enum class State : std::uint8_t { New, Busy, Done };
    std::vector<State> state(count, State::New);
    std::vector<ClassId> order;
    order.reserve(count);
    std::vector<std::pair<ClassId, std::size_t>> path;
    for (ClassId start = 0; start < count; ++start) {
        if (state[start] != State::New) continue;
        path.emplace_back(start, 0);
        state[start] = State::Busy;
        while (!path.empty()) {
            auto& [id, next] = path.back();
            const std::vector<ClassId>& sups = classes_[id].superclasses;
            if (next < sups.size()) {
                const ClassId sup = sups[next++];
                if (state[sup] == State::Busy) {
                    throw SchemaError("class '" + classes_[sup].name + "' inherits from itself",
                                      "objectClasses", sup);
                }
                if (state[sup] == State::New) {
                    state[sup] = State::Busy;
                    path.emplace_back(sup, 0);
                }
                continue;
            }
            state[id] = State::Done;
            order.push_back(id);
            path.pop_back();
        }
    }

    depth_.assign(count, 0);
    singleLine_.assign(count, true);
    std::vector<std::uint32_t> seen(attributes_.size(), 0);  // class number + 1 of the last use
    std::size_t total = 0;
    for (const ClassId id : order) {
        ObjectClass& cls = classes_[id];
        for (const ClassId sup : cls.superclasses)
            depth_[id] = std::max(depth_[id], depth_[sup] + 1);
        singleLine_[id] = cls.superclasses.empty() ||
                          (cls.superclasses.size() == 1 && singleLine_[cls.superclasses[0]]);
        std::vector<AttributeId> fields;
        const auto add = [&](AttributeId at) {
            if (at == objectClassAttribute_ || at >= seen.size() || seen[at] == id + 1) return;
            seen[at] = id + 1;
            fields.push_back(at);
        };
        for (const ClassId sup : cls.superclasses) {
            if (total + classes_[sup].fields.size() > kMaxLayoutFields) {
                throw SchemaError("the layouts of the classes hold more than " +
                                      std::to_string(kMaxLayoutFields) + " fields together",
                                  "objectClasses", id);
            }
            for (const AttributeId at : classes_[sup].fields) add(at);
        }
        for (const AttributeId at : cls.must) add(at);
        for (const AttributeId at : cls.may) add(at);
        total += fields.size();
        if (total > kMaxLayoutFields) {
            throw SchemaError("the layouts of the classes hold more than " +
                                  std::to_string(kMaxLayoutFields) + " fields together",
                              "objectClasses", id);
        }
        cls.fields = std::move(fields);
    }

    // Number the tree of first superclasses depth first.
    std::vector<std::vector<ClassId>> children(count);
    for (ClassId id = 0; id < count; ++id) {
        if (!classes_[id].superclasses.empty())
            children[classes_[id].superclasses.front()].push_back(id);
    }
    enter_.assign(count, 0);
    leave_.assign(count, 0);
    std::uint32_t clock = 0;
    std::vector<std::pair<ClassId, std::size_t>> walk;
    for (ClassId root = 0; root < count; ++root) {
        if (!classes_[root].superclasses.empty()) continue;
        enter_[root] = clock++;
        walk.emplace_back(root, 0);
        while (!walk.empty()) {
            auto& [id, next] = walk.back();
            if (next < children[id].size()) {
                const ClassId child = children[id][next++];
                enter_[child] = clock++;
                walk.emplace_back(child, 0);
                continue;
            }
            leave_[id] = clock;
            walk.pop_back();
        }
    }
}

void Schema::reindex() {
    // In the order of the numbers, the first claim of a name wins, as it did
    // when the elements were added.
    const auto file = [](const auto& elements, auto& byLdapName, auto& byName, auto named) {
        byLdapName.clear();
        byName.clear();
        for (std::uint32_t id = 0; id < elements.size(); ++id) {
            for (const std::string& key : elements[id].ldapNames)
                byLdapName.emplace(lowerAscii(key), id);
            if (!elements[id].oid.empty()) byLdapName.emplace(lowerAscii(elements[id].oid), id);
            if (named(elements[id])) byName.emplace(foldCase(elements[id].name), id);
        }
    };
    file(attributes_, attributeByLdapName_, attributeByName_,
         [](const AttributeType&) { return true; });
    file(classes_, classByLdapName_, classByName_,
         [](const ObjectClass& cls) { return cls.named; });
    computeLayouts();
}

namespace {

std::optional<std::uint32_t> lookup(const std::unordered_map<std::string, std::uint32_t>& names,
                                    const std::string& key) {
    const auto it = names.find(key);
    return it == names.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

}  // namespace

std::optional<AttributeId> Schema::findAttribute(std::string_view name) const {
    return lookup(attributeByName_, foldCase(name));
}

std::optional<ClassId> Schema::findClass(std::string_view name) const {
    return lookup(classByName_, foldCase(name));
}

std::optional<AttributeId> Schema::attributeByLdapName(std::string_view nameOrOid) const {
    return lookup(attributeByLdapName_, withoutOptions(nameOrOid));
}

std::optional<ClassId> Schema::classByLdapName(std::string_view nameOrOid) const {
    return lookup(classByLdapName_, lowerAscii(nameOrOid));
}

ClassId Schema::entryClass(const std::vector<ClassId>& listed) const {
    if (mapped()) {
        // The mapping's most specific class that the entry has.
        std::size_t best = std::string::npos;
        ClassId found = 0;
        for (ClassId c : listed) {
            if (c < precedence_.size() && precedence_[c] < best) {
                best = precedence_[c];
                found = directoryClass_[c];
            }
        }
        if (best != std::string::npos) return found;
    }
    // Among the most derived, a structural class beats an auxiliary one: an
    // auxiliary class adds fields but does not say what the entry is.
    ClassId best = listed.front();
    bool bestStructural = false;
    for (ClassId c : listed) {
        const bool mostDerived = std::none_of(listed.begin(), listed.end(),
                                              [&](ClassId d) { return d != c && inherits(d, c); });
        const bool structural = classes_[c].kind != ObjectClass::Kind::Auxiliary;
        if (mostDerived && (structural || !bestStructural)) {
            best = c;
            bestStructural = structural;
        }
    }
    return best;
}

bool Schema::inherits(ClassId derived, ClassId base) const {
    if (derived >= enter_.size() || base >= enter_.size()) return false;
    const auto alongFirst = [this](ClassId d, ClassId b) {
        return enter_[b] <= enter_[d] && enter_[d] < leave_[b];
    };
    if (derived == base || alongFirst(derived, base)) return true;
    if (singleLine_[derived]) return false;
    // Several superclasses on the way up: search them, leaving out classes
    // that lie no deeper than base (they cannot reach it) and answering
    // those on a single line at once.
    std::vector<ClassId> todo{derived};
    std::unordered_set<ClassId> visited;
    while (!todo.empty()) {
        const ClassId c = todo.back();
        todo.pop_back();
        if (c == base || alongFirst(c, base)) return true;
        if (singleLine_[c] || depth_[c] <= depth_[base]) continue;
        if (!visited.insert(c).second) continue;
        for (const ClassId sup : classes_[c].superclasses)
            if (depth_[sup] >= depth_[base]) todo.push_back(sup);
    }
    return false;
}

}  // namespace outside::directory

namespace outside::directory {

// The mapping's classes become classes of their own, after the schema's; the
// object classes a section lists are read as that class. A field whose name
// is its type's own is that type; any other field is a type of its own that
// reads another, per class.
void Schema::applyMapping() {
    const Mapping& mapping = *mapping_;
    const std::size_t ldapClasses = classes_.size();
    directoryClass_.resize(ldapClasses);
    for (ClassId c = 0; c < ldapClasses; ++c) directoryClass_[c] = c;
    precedence_.assign(ldapClasses, std::string::npos);

    for (std::size_t section = 0; section < mapping.classes.size(); ++section) {
        const ClassMapping& mapped = mapping.classes[section];
        ObjectClass cls;
        cls.name = mapped.name;
        cls.kind = ObjectClass::Kind::Structural;
        cls.declared = false;
        const bool top = foldCase(mapped.name) == "top";
        const auto id = static_cast<ClassId>(classes_.size());
        if (!classByName_.emplace(foldCase(cls.name), id).second)
            throw SchemaError("two object classes are named '" + cls.name + "'", "objectClasses",
                              0);
        classes_.push_back(std::move(cls));
        directoryClass_.push_back(id);
        precedence_.push_back(section);
        if (top) top_ = id;
        for (const std::string& name : mapped.ldapClasses) {
            ClassId ldap = 0;
            if (const auto known = classByLdapName(name)) {
                ldap = *known;
            } else {
                ObjectClass undeclared;
                undeclared.name = name;
                undeclared.ldapNames = {name};
                undeclared.declared = false;
                undeclared.named = false;
                ldap = static_cast<ClassId>(classes_.size());
                classByLdapName_.emplace(lowerAscii(name), ldap);
                classes_.push_back(std::move(undeclared));
                directoryClass_.push_back(ldap);
                precedence_.push_back(std::string::npos);
            }
            directoryClass_[ldap] = id;
            precedence_[ldap] = section;
        }
    }
    // Without a [Top] section the tree roots are still of class "Top".
    if (!findClass("Top")) {
        ObjectClass cls;
        cls.name = "Top";
        cls.kind = ObjectClass::Kind::Abstract;
        cls.declared = false;
        top_ = static_cast<ClassId>(classes_.size());
        classByName_.emplace("top", top_);
        classes_.push_back(std::move(cls));
        directoryClass_.push_back(top_);
        precedence_.push_back(std::string::npos);
    }
    if (mapping.newerConsoles && !findAttribute("RK:Harbex File Transfer")) {
        AttributeType type;
        type.name = "RK:Harbex File Transfer";
        type.declared = false;
        attributeByName_.emplace(foldCase(type.name), static_cast<AttributeId>(attributes_.size()));
        attributes_.push_back(std::move(type));
    }

    for (const ClassMapping& mapped : mapping.classes) {
        for (const std::string& type : mapped.searchTypes)
            if (!attributeByLdapName(type)) addUndeclaredAttribute(type);
        // The owner form reads the workstations' owner values.
        for (const FieldMapping& field : mapped.fields)
            if (field.form == ValueForm::Owner && !attributeByLdapName("owner"))
                addUndeclaredAttribute("owner");
    }

    // The layouts: the mapping's fields, then the rest of the attribute types
    // of the object classes read as the class, less those that every entry
    // may have (Active Directory's top allows a hundred operational ones).
    std::vector<AttributeId> common;
    if (const auto top = classByLdapName("top")) common = classes_[*top].fields;
    for (const ClassMapping& mapped : mapping.classes) {
        const ClassId id = *findClass(mapped.name);
        std::vector<AttributeId> fields;
        std::vector<AttributeId> shown;  // types a field of the class reads
        for (const FieldMapping& field : mapped.fields) {
            const AttributeId at = fieldAttribute(field, id);
            if (std::find(fields.begin(), fields.end(), at) == fields.end()) fields.push_back(at);
            const Derivation* d = derivation(at, id);
            shown.push_back(d ? d->backing : at);
        }
        for (ClassId c = 0; c < directoryClass_.size(); ++c) {
            if (c == id || directoryClass_[c] != id) continue;
            for (AttributeId at : classes_[c].fields) {
                if (std::find(shown.begin(), shown.end(), at) != shown.end()) continue;
                if (std::find(common.begin(), common.end(), at) != common.end()) continue;
                // A password's hash is nobody's business in a list of attributes.
                const std::string& name = attributes_[at].name;
                if (foldCase(name) == "userpassword" || foldCase(name) == "unicodepwd") continue;
                if (std::find(fields.begin(), fields.end(), at) == fields.end())
                    fields.push_back(at);
            }
        }
        classes_[id].fields = std::move(fields);
    }
}

AttributeId Schema::fieldAttribute(const FieldMapping& field, ClassId cls) {
    const auto backingId = attributeByLdapName(field.attribute);
    const AttributeId backing = backingId ? *backingId : addUndeclaredAttribute(field.attribute);
    // A field named as its type, read as stored, is the type itself.
    if (field.form == ValueForm::Stored &&
        foldCase(attributes_[backing].name) == foldCase(field.name)) {
        attributes_[backing].name = field.name;
        attributeByName_[foldCase(field.name)] = backing;
        return backing;
    }
    const std::string key = foldCase(field.name);
    AttributeId id = 0;
    const auto named = attributeByName_.find(key);
    if (named != attributeByName_.end() && !attributes_[named->second].derivations.empty()) {
        id = named->second;
    } else {
        AttributeType type;
        type.name = field.name;
        type.declared = false;
        id = static_cast<AttributeId>(attributes_.size());
        if (named != attributeByName_.end()) {
            // A plain type of that name stays readable under it for the
            // classes that have no field of that name.
            type.derivations.push_back({Derivation::kAnyClass, named->second, ValueForm::Stored});
        }
        attributes_.push_back(std::move(type));
        attributeByName_[key] = id;
    }
    auto& derivations = attributes_[id].derivations;
    derivations.erase(std::remove_if(derivations.begin(), derivations.end(),
                                     [&](const Derivation& d) { return d.cls == cls; }),
                      derivations.end());
    derivations.push_back({cls, backing, field.form});
    return id;
}

const Derivation* Schema::derivation(AttributeId attribute, ClassId cls) const {
    if (attribute >= attributes_.size()) return nullptr;
    const Derivation* fallback = nullptr;
    for (const Derivation& d : attributes_[attribute].derivations) {
        if (d.cls == cls) return &d;
        if (d.cls == Derivation::kAnyClass) fallback = &d;
    }
    return fallback;
}

std::vector<std::string> Schema::ldapNamesOf(ClassId cls) const {
    std::vector<std::string> names;
    for (ClassId c = 0; c < classes_.size(); ++c) {
        if (directoryClass(c) != cls) continue;  // a mapping's own class has no LDAP name
        if (!classes_[c].ldapNames.empty()) {
            names.push_back(classes_[c].ldapNames.front());
        } else if (!classes_[c].oid.empty()) {
            names.push_back(classes_[c].oid);
        }
    }
    return names;
}

std::vector<std::string> Schema::precedingLdapNames(ClassId cls) const {
    std::vector<std::string> names;
    if (!mapped() || cls >= precedence_.size() || precedence_[cls] == std::string::npos)
        return names;
    for (ClassId c = 0; c < classes_.size(); ++c) {
        if (precedence_[c] < precedence_[cls] && !classes_[c].ldapNames.empty())
            names.push_back(classes_[c].ldapNames.front());
    }
    return names;
}

std::vector<std::string> Schema::searchTypes(const std::vector<ClassId>& classes) const {
    std::vector<std::string> types;
    if (!mapping_) return types;
    for (const ClassMapping& mapped : mapping_->classes) {
        const auto id = findClass(mapped.name);
        if (!classes.empty() &&
            (!id || std::find(classes.begin(), classes.end(), *id) == classes.end()))
            continue;
        for (const std::string& type : mapped.searchTypes)
            if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    }
    return types;
}

ClassId Schema::addUndeclaredClass(std::string_view ldapName) {
    if (const auto known = classByLdapName(ldapName)) return *known;
    ObjectClass cls;
    cls.name = std::string(ldapName);
    cls.ldapNames = {cls.name};
    cls.declared = false;
    cls.kind =
        lowerAscii(ldapName) == "top" ? ObjectClass::Kind::Abstract : ObjectClass::Kind::Structural;
    const auto id = static_cast<ClassId>(classes_.size());
    // Known by its LDAP name, unless a class of the mapping carries it.
    cls.named = classByName_.emplace(foldCase(cls.name), id).second;
    classByLdapName_.emplace(lowerAscii(ldapName), id);
    classes_.push_back(std::move(cls));
    directoryClass_.push_back(id);
    precedence_.push_back(std::string::npos);
    return id;
}

void Schema::extendLayout(ClassId cls, const std::vector<AttributeId>& attributes) {
    auto& fields = classes_.at(cls).fields;
    for (AttributeId at : attributes) {
        if (at == objectClassAttribute_) continue;
        const bool shown = std::any_of(fields.begin(), fields.end(), [&](AttributeId f) {
            if (f == at) return true;
            const Derivation* d = derivation(f, cls);
            return d && d->backing == at;
        });
        if (!shown) fields.push_back(at);
    }
}

}  // namespace outside::directory
