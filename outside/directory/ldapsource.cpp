// The LDAP source: a live directory server read through libldap, lazily. A
// level is one one-level search when it is opened, a name search one search
// with the name and class filter on the server, a full name resolved level
// by level (and remembered). Reads page through large results (RFC 2696)
// when the server offers paging; a size limit the server still enforces
// gives the partial result, marked as limited.
//
// One connection per server, base and bind, shared by every user in the
// process and guarded by a mutex. A dropped connection is reopened once per
// call; when that fails too, the call throws SourceLost. Credentials are
// used for the bind and kept nowhere else: no message names them.
#include <ldap.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "outside/directory/builder.h"
#include "outside/directory/connection.h"
#include "outside/directory/fullname.h"
#include "outside/directory/hostnames.h"
#include "outside/directory/ldapwatch.h"
#include "outside/directory/pattern.h"
#include "outside/directory/sources.h"
#include "platform/text/casefold.h"

namespace outside::directory {

namespace {

using platform::text::foldCase;

// Entries a level's page asks for. A server pays for every page of a paged
// search (slapd looks its candidates up again), so that 100,000 children
// come twice as fast in pages of 5,000 as in pages of 1,000; larger ones
// gain nothing more. Active Directory sends at most its MaxPageSize (1,000)
// whatever is asked for, and a server that refuses a page this large is
// asked again for smaller ones.
constexpr int kPageSize = 5000;
constexpr int kCommonPageLimit = 1000;
constexpr const char* kActiveDirectoryCapability = "1.2.840.113556.1.4.800";
// The attributes that name entries in the directories we read; name lookups
// and name searches filter on them. An entry named by another type is still
// found, by reading its level.
constexpr const char* kNamingTypes[] = {"cn", "ou", "o", "c", "l", "dc", "uid"};

// The connection went away during a call (as opposed to an answer the server
// gave): worth one reconnect.
struct Dropped {
    int code;
};

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
struct DnFree {
    void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};
struct RdnFree {
    void operator()(LDAPRDN rdn) const { ldap_rdnfree(rdn); }
};
struct UrlFree {
    void operator()(LDAPURLDesc* url) const { ldap_free_urldesc(url); }
};
using LdapPtr = Connection;
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool dropped(int code) {
    return code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR;
}

// A DN as a list of RDNs (leaf first), each as the folded "type=value" of its
// AVAs; empty when it is no DN.
struct ParsedDn {
    std::vector<std::string> keys;
    std::vector<std::string> values;  // the first AVA's value of each RDN, as written
    bool ok = false;
};

ParsedDn parseDn(const std::string& dn) {
    ParsedDn out;
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) return out;
    std::unique_ptr<LDAPRDN, DnFree> hold(parsed);
    for (LDAPRDN* rdn = parsed; rdn && *rdn; ++rdn) {
        std::string key;
        for (LDAPAVA** ava = *rdn; *ava; ++ava) {
            if (ava != *rdn) key.push_back('+');
            key += lowerAscii({(*ava)->la_attr.bv_val, (*ava)->la_attr.bv_len});
            key.push_back('=');
            key += foldCase({(*ava)->la_value.bv_val, (*ava)->la_value.bv_len});
        }
        out.keys.push_back(std::move(key));
        out.values.emplace_back((*rdn)[0]->la_value.bv_val, (*rdn)[0]->la_value.bv_len);
    }
    out.ok = true;
    return out;
}

std::string escapedValue(std::string_view value) {
    berval in{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())};
    berval out{0, nullptr};
    if (ldap_bv2escaped_filter_value(&in, &out) != 0) return {};
    std::string escaped(out.bv_val, out.bv_len);
    ber_memfree(out.bv_val);
    return escaped;
}

// "(|(cn=v)(ou=v)...)" for a name pattern ("*" for any run), or empty for "*";
// also matched against the mapping's search types (a login name).
std::string nameFilter(std::string_view pattern, const std::vector<std::string>& alsoTypes = {}) {
    if (pattern.find_first_not_of('*') == std::string_view::npos) return {};
    std::string value;
    std::size_t start = 0;
    while (true) {
        const auto star = pattern.find('*', start);
        value += escapedValue(pattern.substr(start, star - start));
        if (star == std::string_view::npos) break;
        value.push_back('*');
        start = star + 1;
    }
    std::string filter = "(|";
    for (const char* type : kNamingTypes) filter += std::string("(") + type + "=" + value + ")";
    for (const std::string& type : alsoTypes) {
        if (std::find(std::begin(kNamingTypes), std::end(kNamingTypes), lowerAscii(type)) ==
            std::end(kNamingTypes))
            filter += "(" + type + "=" + value + ")";
    }
    return filter + ")";
}

std::string objectClassAny(const std::vector<std::string>& names) {
    std::string filter = names.size() == 1 ? "" : "(|";
    for (const std::string& name : names) filter += "(objectClass=" + escapedValue(name) + ")";
    return names.size() == 1 ? filter : filter + ")";
}

// The entries of these directory classes. Through a mapping a class is the
// object classes it lists, less those that make an entry a class that comes
// first (a computer is a user too).
std::string classFilter(const Schema& schema, std::span<const ClassId> classes) {
    if (classes.empty()) return {};
    if (!schema.mapped()) {
        std::string filter = "(|";
        for (const ClassId id : classes) {
            const ObjectClass& cls = schema.objectClass(id);
            filter += "(objectClass=" +
                      escapedValue(cls.ldapNames.empty() ? cls.oid : cls.ldapNames.front()) + ")";
        }
        return filter + ")";
    }
    std::vector<std::string> wanted;
    for (const ClassId id : classes)
        for (std::string& name : schema.ldapNamesOf(id)) wanted.push_back(std::move(name));
    std::string filter;
    std::size_t parts = 0;
    for (const ClassId id : classes) {
        const std::vector<std::string> names = schema.ldapNamesOf(id);
        if (names.empty()) continue;
        std::vector<std::string> excluded;
        for (std::string& name : schema.precedingLdapNames(id))
            if (std::find(wanted.begin(), wanted.end(), name) == wanted.end())
                excluded.push_back(std::move(name));
        filter += excluded.empty()
                      ? objectClassAny(names)
                      : "(&" + objectClassAny(names) + "(!" + objectClassAny(excluded) + "))";
        ++parts;
    }
    if (parts == 0) return "(!(objectClass=*))";  // classes no object class is read as
    return parts == 1 ? filter : "(|" + filter + ")";
}

std::string allOf(const std::string& a, const std::string& b) {
    if (a.empty() && b.empty()) return "(objectClass=*)";
    if (a.empty()) return b;
    if (b.empty()) return a;
    return "(&" + a + b + ")";
}

// A search result read in one pass: its DN, then each attribute type with
// its values, as they lie in the message (libldap's per-type lookup reads
// the entry from its start for every type).
class ResultReader {
public:
    ResultReader(LDAP* ld, LDAPMessage* e) : ld_(ld), e_(e) {
        ok_ = ldap_get_dn_ber(ld, e, &ber_, &dn_) == LDAP_SUCCESS && dn_.bv_val;
    }
    ~ResultReader() {
        if (ber_) ber_free(ber_, 0);
    }
    ResultReader(const ResultReader&) = delete;
    ResultReader& operator=(const ResultReader&) = delete;

    bool ok() const { return ok_; }
    std::string_view dn() const { return {dn_.bv_val, dn_.bv_len}; }
    // Calls onType(name, values) for each type; values ends with a null
    // bv_val and lives until onType returns.
    template <class OnType>
    void attributes(OnType&& onType) {
        if (!ok_) return;
        berval type{0, nullptr};
        berval* values = nullptr;
        while (ldap_get_attribute_ber(ld_, e_, ber_, &type, &values) == LDAP_SUCCESS &&
               type.bv_val) {
            onType(std::string_view(type.bv_val, type.bv_len), values);
            if (values) ber_memfree(values);
            values = nullptr;
        }
        if (values) ber_memfree(values);
    }

private:
    LDAP* ld_;
    LDAPMessage* e_;
    BerElement* ber_ = nullptr;
    berval dn_{0, nullptr};
    bool ok_ = false;
};

struct Tree {
    std::string name;
    std::string dn;
    std::vector<std::string> keys;  // of the parsed DN
};

// What the connection and the schema give every entry it reads.
struct EntryRecord {
    std::string dn;
    std::string fullName;
    std::string name;
    ClassId cls = 0;
    std::vector<std::pair<AttributeId, std::string>> values;
    std::optional<bool> hasSubordinates;
    // Read with the few attribute types a tree node needs: the values are
    // read in full when they are first asked for.
    bool partial = false;
};

// The entries a search of users or workstations alone read with its hits,
// in full: a caller that opens them next (a database build, the user a name
// search found) is answered from them, with no round trip per entry, as
// long as they are fresh.
struct FreshEntries {
    struct Read {
        std::chrono::steady_clock::time_point at;
        EntryRecord record;
    };
    std::unordered_map<std::string, Read> byName;  // by folded full name
    std::deque<std::string> order;                 // the keys, oldest first
    // How many are kept; the oldest go first (a caller reads hits in order).
    std::size_t bound = std::numeric_limits<std::size_t>::max();

    void keep(EntryRecord record, std::chrono::steady_clock::time_point at) {
        std::string key = foldCase(record.fullName);
        const auto [it, added] = byName.insert_or_assign(key, Read{at, std::move(record)});
        if (added) order.push_back(std::move(key));
        while (order.size() > bound) {
            byName.erase(order.front());
            order.pop_front();
        }
    }
};

class LdapSource;

// The paged-results cookie of a search, the server's token for its next page.
struct PageCookie {
    berval value{0, nullptr};
    PageCookie() = default;
    PageCookie(const PageCookie&) = delete;
    PageCookie& operator=(const PageCookie&) = delete;
    ~PageCookie() { clear(); }
    void clear() {
        if (value.bv_val) ber_memfree(value.bv_val);
        value = {0, nullptr};
    }
    bool more() const { return value.bv_val && value.bv_len > 0; }
};

// How a search stands after one of its pages.
enum class PageEnd { More, Last, Limited, NoBase };

struct WholeRead {
    std::shared_ptr<const Directory> directory;
    std::size_t entries = 0;
    bool limited = false;
};

class LdapEntry : public SourceEntry {
public:
    LdapEntry(std::shared_ptr<LdapSource> source, std::shared_ptr<const Schema> schema,
              EntryRecord record)
        : source_(std::move(source)), schema_(std::move(schema)), record_(std::move(record)) {}

    const std::shared_ptr<const Schema>& schema() const override { return schema_; }
    std::string fullName() const override { return record_.fullName; }
    std::string name() const override { return record_.name; }
    ClassId classId() const override { return record_.cls; }
    std::vector<std::string> values(AttributeId attribute) const override {
        const Derivation* d = schema_->derivation(attribute, record_.cls);
        if (d && d->form == ValueForm::Owner) return ownedAddresses(d->backing);
        std::vector<std::string> out;
        const AttributeId read = d ? d->backing : attribute;
        for (const auto& [type, text] : allValues())
            if (type == read)
                out.push_back(d && d->form == ValueForm::Tcp ? "TCP " + text : displayValue(text));
        if (d && d->form == ValueForm::HostName) return tcpAddressesOf(out);
        return out;
    }
    bool hasChildren() const override;
    Level children(std::span<const ClassId> filter) const override;

    const std::string& dn() const { return record_.dn; }

private:
    using Values = std::vector<std::pair<AttributeId, std::string>>;
    std::vector<std::string> ownedAddresses(AttributeId backing) const;
    // Every value of the entry: those read with it, or for an entry read
    // with a level's few attribute types, those of one read of the entry
    // alone, made on first use and kept.
    const Values& allValues() const;

    std::shared_ptr<LdapSource> source_;
    std::shared_ptr<const Schema> schema_;
    EntryRecord record_;
    mutable std::mutex fullMutex_;
    mutable std::optional<Values> full_;
};

struct Url {
    std::string server;  // scheme://host:port
    std::string baseDn;  // empty: every naming context
    bool startTls = false;
};

Url parseUrl(std::string url, bool startTls) {
    // Credentials belong in the registry, never in a URL that shows up in
    // settings, logs and error texts; such a URL is refused without repeating it.
    const std::string lower = lowerAscii(url);
    const auto authority = lower.find("://");
    const auto authorityEnd = lower.find_first_of("/?", authority + 3);
    if (lower.substr(authority + 3, authorityEnd - authority - 3).find('@') != std::string::npos ||
        lower.find("bindname=") != std::string::npos ||
        lower.find("x-bindpw=") != std::string::npos)
        throw std::invalid_argument(
            "The LDAP source URL carries credentials; give them in the registry values BindDN "
            "and BindPassword instead");
    Url out;
    out.startTls = startTls;
    constexpr std::string_view kStartTls = "?starttls";
    if (lower.ends_with(kStartTls)) {
        out.startTls = true;
        url.resize(url.size() - kStartTls.size());
    }
    LDAPURLDesc* parsed = nullptr;
    if (ldap_url_parse(url.c_str(), &parsed) != LDAP_URL_SUCCESS || !parsed)
        throw std::invalid_argument("The LDAP source is no usable URL: " + url);
    std::unique_ptr<LDAPURLDesc, UrlFree> hold(parsed);
    if (parsed->lud_attrs || parsed->lud_filter || parsed->lud_exts)
        throw std::invalid_argument("The LDAP source URL may name only server, port and base DN: " +
                                    url);
    std::string host = parsed->lud_host ? parsed->lud_host : "";
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    out.server = std::string(parsed->lud_scheme) + "://" + host;
    if (parsed->lud_port) out.server += ":" + std::to_string(parsed->lud_port);
    out.baseDn = parsed->lud_dn ? parsed->lud_dn : "";
    if (!out.baseDn.empty() && !parseDn(out.baseDn).ok)
        throw std::invalid_argument("The base DN of the LDAP source is malformed: " + out.baseDn);
    return out;
}

class LdapSource : public Source, public std::enable_shared_from_this<LdapSource> {
public:
    LdapSource(Url url, SourceOptions options)
        : url_(std::move(url)), options_(std::move(options)) {}

    void open() {
        std::lock_guard lock(mutex_);
        withServer([](LDAP*) { return 0; });
    }

    std::optional<std::string> boundAs() override {
        std::lock_guard lock(mutex_);
        return boundAs_;
    }

    std::shared_ptr<const Schema> schema() override {
        std::lock_guard lock(mutex_);
        withServer([](LDAP*) { return 0; });
        return schema_;
    }

    std::vector<std::string> trees() override {
        std::lock_guard lock(mutex_);
        withServer([](LDAP*) { return 0; });
        std::vector<std::string> names;
        for (const Tree& tree : trees_) names.push_back(tree.name);
        return names;
    }

    EntryPtr find(std::string_view fullName) override {
        std::lock_guard lock(mutex_);
        if (auto record = freshRecord(fullName))
            return std::make_shared<LdapEntry>(shared_from_this(), schema_, std::move(*record));
        auto record = withServer([&](LDAP* ld) { return resolve(ld, fullName); });
        if (!record) return nullptr;
        return std::make_shared<LdapEntry>(shared_from_this(), schema_, std::move(*record));
    }

    SearchHits search(const SourceEntry& context, const SourceQuery& query) override;

    // What one search asks the server and which of its answers are hits.
    struct HitQuery {
        std::string base;
        int scope = LDAP_SCOPE_SUBTREE;
        std::string filter;
        std::vector<std::string> types;  // the attribute types to read
        std::string pattern;             // folded
        std::string self;                // the context's folded full name
        std::vector<ClassId> classes;
        std::vector<AttributeId> alsoIds;  // the mapping's search types
        bool whole = false;                // hits read in full, kept as FreshEntries

        std::vector<const char*> attributes() const {
            std::vector<const char*> out;
            for (const std::string& type : types) out.push_back(type.c_str());
            out.push_back(nullptr);
            return out;
        }
    };

    HitQuery hitQuery(const LdapEntry& base, const SourceQuery& query) {
        std::lock_guard lock(mutex_);
        withServer([](LDAP*) { return 0; });
        HitQuery q;
        q.base = base.dn();
        q.scope = query.scope == Scope::OneLevel ? LDAP_SCOPE_ONELEVEL : LDAP_SCOPE_SUBTREE;
        q.pattern = foldCase(query.pattern);
        q.self = foldCase(base.fullName());
        q.classes = query.classes;
        const std::vector<std::string> alsoTypes = schema_->searchTypes(query.classes);
        q.filter =
            allOf(nameFilter(query.pattern, alsoTypes), classFilter(*schema_, query.classes));
        q.whole = readsWhole(query.classes);
        if (q.whole) {
            for (const char* const* type = kEntryAttributes; *type; ++type) q.types.push_back(*type);
        } else {
            q.types.push_back("objectClass");
            for (const std::string& type : alsoTypes) q.types.push_back(type);
        }
        for (const std::string& type : alsoTypes)
            if (const auto id = schema_->attributeByLdapName(type)) q.alsoIds.push_back(*id);
        return q;
    }

    // The entry of a search result that is a hit of the query.
    std::optional<EntryRecord> hitRecord(LDAP* ld, LDAPMessage* e, const HitQuery& q) const {
        auto record = recordOf(ld, e);
        if (!record) return std::nullopt;
        if (foldCase(record->fullName) == q.self) return std::nullopt;  // the context itself
        if (!q.classes.empty() &&
            std::find(q.classes.begin(), q.classes.end(), record->cls) == q.classes.end())
            return std::nullopt;
        const bool alsoMatches =
            std::any_of(record->values.begin(), record->values.end(), [&](const auto& v) {
                return std::find(q.alsoIds.begin(), q.alsoIds.end(), v.first) != q.alsoIds.end() &&
                       matchesPattern(q.pattern, foldCase(v.second));
            });
        if (!alsoMatches && !matchesPattern(q.pattern, foldCase(record->name))) return std::nullopt;
        return record;
    }

    // The hits of a server without paging, read whole.
    SearchHits listedHits(const HitQuery& q) {
        std::lock_guard lock(mutex_);
        return withServer([&](LDAP* ld) {
            std::vector<std::string> names;
            // Every hit of a server that does not page, as all its names.
            auto fresh = std::make_shared<FreshEntries>();
            const auto now = std::chrono::steady_clock::now();
            const auto attributes = q.attributes();
            const auto found = read(ld, q.base, q.scope, q.filter, attributes.data(),
                                    [&](LDAP* l, LDAPMessage* e) {
                                        auto record = hitRecord(l, e, q);
                                        if (!record) return;
                                        names.push_back(record->fullName);
                                        if (q.whole) fresh->keep(std::move(*record), now);
                                    });
            std::shared_ptr<const FreshEntries> kept;
            if (q.whole) {
                kept = fresh;
                publishFresh(kept);
            }
            // nullopt: the context went away meanwhile
            return SearchHits{
                std::make_shared<ListedHitNames>(std::move(names), std::move(kept)),
                found.value_or(false)};
        });
    }

    bool paged() {
        std::lock_guard lock(mutex_);
        withServer([](LDAP*) { return 0; });
        return paged_;
    }

    // A connection of its own, bound as the shared one, for a search read
    // page by page while its list is scrolled: a server keeps one paged
    // search per connection (slapd), and the reads of the tree on the shared
    // connection would end it. A connection that read its search to the end
    // is kept for the next one.
    LdapPtr searchConnection() {
        std::lock_guard lock(mutex_);
        PipeGuard quiet;
        if (spare_) return std::move(spare_);
        LdapPtr shared = std::move(ld_);
        try {
            connect();
        } catch (...) {
            ld_ = std::move(shared);
            throw;
        }
        LdapPtr own = std::move(ld_);
        ld_ = std::move(shared);
        return own;
    }

    void returnSearchConnection(LdapPtr ld) {
        std::lock_guard lock(mutex_);
        if (!spare_) spare_ = std::move(ld);
    }

    // Every entry of every tree, built into a Directory by the same rules as
    // an LDIF file.
    WholeRead readWhole() {
        std::lock_guard lock(mutex_);
        return withServer([&](LDAP* ld) {
            DirectoryBuilder builder(
                *schema_, url_.baseDn.empty() ? url_.server : url_.server + "/" + url_.baseDn);
            WholeRead whole;
            const char* attributes[] = {LDAP_ALL_USER_ATTRIBUTES, nullptr};
            // A server sends a subtree in an order of its own (Active
            // Directory's is not parents first): the entries are added by
            // depth, each after its parent.
            struct Read {
                std::string dn;
                std::size_t depth;
                std::vector<std::string> types;
                std::vector<std::vector<std::string>> values;
            };
            std::vector<Read> entries;
            for (const Tree& tree : trees_) {
                const auto found = read(
                    ld, tree.dn, LDAP_SCOPE_SUBTREE, "(objectClass=*)", attributes,
                    [&](LDAP* l, LDAPMessage* e) {
                        char* dn = ldap_get_dn(l, e);
                        if (!dn) return;
                        Read entry{dn, 0, {}, {}};
                        ldap_memfree(dn);
                        entry.depth = parseDn(entry.dn).keys.size();
                        BerElement* ber = nullptr;
                        for (char* a = ldap_first_attribute(l, e, &ber); a;
                             a = ldap_next_attribute(l, e, ber)) {
                            entry.types.emplace_back(a);
                            ldap_memfree(a);
                            berval** list = ldap_get_values_len(l, e, entry.types.back().c_str());
                            entry.values.emplace_back();
                            for (berval** v = list; v && *v; ++v)
                                entry.values.back().emplace_back((*v)->bv_val, (*v)->bv_len);
                            ldap_value_free_len(list);
                        }
                        ber_free(ber, 0);
                        entries.push_back(std::move(entry));
                    });
                whole.limited = whole.limited || found.value_or(false);
            }
            std::stable_sort(entries.begin(), entries.end(),
                             [](const Read& a, const Read& b) { return a.depth < b.depth; });
            for (const Read& entry : entries) {
                std::vector<std::vector<std::string_view>> views(entry.values.size());
                std::vector<DirectoryBuilder::Attribute> attributes;
                for (std::size_t i = 0; i < entry.types.size(); ++i) {
                    views[i].assign(entry.values[i].begin(), entry.values[i].end());
                    attributes.push_back({entry.types[i], views[i]});
                }
                try {
                    builder.addEntry(entry.dn, attributes);
                } catch (const EntryError& error) {
                    throw LoadError{LoadStatus::BadData, url_.server, 0,
                                    entry.dn + ": " + error.what()};
                }
            }
            whole.entries = builder.size();
            try {
                whole.directory = builder.finish();
            } catch (const EntryError& error) {
                throw LoadError{LoadStatus::BadData, url_.server, 0, error.what()};
            }
            return whole;
        });
    }

    Level level(const std::string& dn, const std::string& fullName,
                std::span<const ClassId> filter) {
        // A level of users or workstations alone is read for their values (a
        // list of a unit's workstations): in full, in the one search, rather
        // than with a round trip per entry afterwards. A level with
        // containers is what a tree shows, and only what a node needs is read.
        //
        // The classes of a tree's level are told apart here, not by the
        // server: a filter of several classes costs slapd a look at each
        // child's classes for each of them, a third more than the whole
        // level (100,000 children: 0.88 s against 0.64 s). A server size
        // limit counts every child then, so a level that comes back limited
        // is asked for again with the classes in the filter, and shows as
        // many of them as the limit lets through.
        const bool whole = readsWhole(filter);
        const Parent parent{dn, fullName};
        std::lock_guard lock(mutex_);
        return withServer([&](LDAP* ld) {
            Level level;
            std::vector<EntryRecord> records;
            const auto readLevel = [&](const std::string& search) {
                records.clear();
                return read(ld, dn, LDAP_SCOPE_ONELEVEL, search,
                            whole ? kEntryAttributes : kNodeAttributes,
                            [&](LDAP* l, LDAPMessage* e) {
                                auto record = recordOf(l, e, whole, &parent);
                                if (!record) return;
                                record->partial = !whole;
                                if (!filter.empty() && std::find(filter.begin(), filter.end(),
                                                                 record->cls) == filter.end())
                                    return;
                                records.push_back(std::move(*record));
                            });
            };
            const std::string byClass = allOf({}, classFilter(*schema_, filter));
            auto found = readLevel(whole ? byClass : std::string("(objectClass=*)"));
            if (!whole && !filter.empty() && found.value_or(false)) found = readLevel(byClass);
            level.limited = found.value_or(false);
            const auto self = shared_from_this();
            for (EntryRecord& record : records)
                level.entries.push_back(
                    std::make_shared<LdapEntry>(self, schema_, std::move(record)));
            return level;
        });
    }

    // The `owner` form: the addresses (type `address`) of the workstations
    // whose owner names dn, in the "TCP " form.
    std::vector<std::string> ownedAddresses(const std::string& dn, AttributeId address) {
        std::lock_guard lock(mutex_);
        return withServer([&](LDAP* ld) {
            std::vector<std::string> out;
            const auto workstation = schema_->findClass("Workstation");
            const std::vector<ClassId> classes{workstation.value_or(0)};
            const AttributeType& type = schema_->attribute(address);
            const std::string typeName =
                type.ldapNames.empty() ? type.name : type.ldapNames.front();
            const char* attributes[] = {typeName.c_str(), nullptr};
            for (const Tree& tree : trees_) {
                const std::string filter =
                    allOf("(owner=" + escapedValue(dn) + ")",
                          workstation ? classFilter(*schema_, classes) : std::string());
                read(ld, tree.dn, LDAP_SCOPE_SUBTREE, filter, attributes,
                     [&](LDAP* l, LDAPMessage* e) {
                         berval** values = ldap_get_values_len(l, e, typeName.c_str());
                         for (berval** v = values; v && *v; ++v) {
                             std::string text = "TCP " + std::string((*v)->bv_val, (*v)->bv_len);
                             if (std::find(out.begin(), out.end(), text) == out.end())
                                 out.push_back(std::move(text));
                         }
                         ldap_value_free_len(values);
                     });
            }
            return out;
        });
    }

    bool anyBelow(const std::string& dn) {
        std::lock_guard lock(mutex_);
        return withServer([&](LDAP* ld) {
            bool any = false;
            const char* none[] = {LDAP_NO_ATTRS, nullptr};
            read(
                ld, dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", none,
                [&](LDAP*, LDAPMessage*) { any = true; }, 1);
            return any;
        });
    }

    // The values of the entry at dn, read anew in full; nullopt when it is
    // gone.
    std::optional<std::vector<std::pair<AttributeId, std::string>>> valuesOf(
        const std::string& dn) {
        std::lock_guard lock(mutex_);
        auto record = withServer([&](LDAP* ld) { return readEntry(ld, dn); });
        if (!record) return std::nullopt;
        return std::move(record->values);
    }

private:
    friend class PagedHitNames;

    // A level or search of users or workstations alone is read in full:
    // its entries are what a database build or a user lookup reads next.
    bool readsWhole(std::span<const ClassId> classes) const {
        return !classes.empty() && std::all_of(classes.begin(), classes.end(), [&](ClassId id) {
            const std::string& name = schema_->objectClass(id).name;
            return name == "User" || name == "Workstation";
        });
    }

    // How long entries read with a search answer find() in their stead: long
    // enough for a caller that works through a page, short enough that a
    // list left open does not show old values when an entry is opened later.
    static constexpr std::chrono::seconds kFreshFor{10};

    // The entries find() answers from from now on, those of the latest
    // search; its hits keep them. Called with the mutex held, as every
    // change of them is.
    void publishFresh(const std::shared_ptr<const FreshEntries>& fresh) { fresh_ = fresh; }

    // The entry of a full name as the latest search read it, while that is
    // fresh and its hits are still held. Called with the mutex held.
    std::optional<EntryRecord> freshRecord(std::string_view fullName) {
        const auto fresh = fresh_.lock();
        if (!fresh) return std::nullopt;
        const auto found = fresh->byName.find(foldCase(fullName));
        if (found == fresh->byName.end() ||
            std::chrono::steady_clock::now() - found->second.at > kFreshFor)
            return std::nullopt;
        return found->second.record;
    }

    static constexpr const char* kEntryAttributes[] = {LDAP_ALL_USER_ATTRIBUTES, "hasSubordinates",
                                                       nullptr};
    // What a tree node shows: its class and whether anything lies below
    // (its name is its DN's). A level of 100,000 children is read in a
    // fraction of the time and memory that every attribute would take.
    static constexpr const char* kNodeAttributes[] = {"objectClass", "hasSubordinates", nullptr};

    std::string describe(const std::string& what) const { return url_.server + ": " + what; }

    std::string notAnswered() const {
        return "the server did not answer within " + std::to_string(options_.timeout.count()) +
               " s";
    }

    static constexpr const char* kTrustHint =
        "; the CA that issued it is named by the registry value CACertificateFile";

    // A bind that failed, or the connection it opened: a wait that ran out,
    // an ldaps:// handshake that failed (told apart by what the server sent),
    // or a server that cannot be reached.
    std::string bindFailure(LDAP* ld, int code) const {
        if (code == LDAP_TIMEOUT || watch_.timedOut()) return notAnswered();
        if (url_.server.starts_with("ldaps:") &&
            (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR)) {
            const int first = watch_.firstByte();
            if (first == 0x16)
                return std::string("the server's certificate is not trusted") + kTrustHint;
            if (first == 0x15) return "the server refused the TLS handshake";
            if (first >= 0)
                return "not a TLS server: it answered the TLS handshake with something else";
            if (watch_.closedByServer())
                return "not a TLS server: it closed the connection on the TLS handshake";
        }
        if (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR)
            return "cannot connect to the server (" + std::string(ldap_err2string(code)) + ")";
        return "cannot bind: " + serverError(ld, code);
    }

    // StartTLS that failed: the server said it would start TLS (else the
    // answer is its own error, in fallback) and then the handshake failed on
    // our side, which checks the certificate.
    std::string startTlsFailure(int code, const std::string& fallback) const {
        if (code == LDAP_TIMEOUT || watch_.timedOut()) return notAnswered();
        if (code == LDAP_CONNECT_ERROR && !watch_.closedByServer())
            return std::string("StartTLS failed: the server's certificate is not trusted") +
                   kTrustHint;
        if (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR)
            return "StartTLS failed: the server closed the connection";
        return fallback;
    }

    // Runs op on an open connection; reconnects once when the connection
    // drops during it.
    template <class Op>
    auto withServer(Op&& op) -> decltype(op(nullptr)) {
        PipeGuard quiet;
        for (int attempt = 0;; ++attempt) {
            if (!ld_) {
                // A server gone in the middle of a read, and not back: say
                // that, not what the attempt to reach it again met.
                try {
                    connect();
                } catch (const SourceLost& lost) {
                    if (!std::exchange(lostWhileReading_, false)) throw;
                    throw SourceLost(
                        describe("the connection to the server was lost while "
                                 "reading, and it cannot be reached again"));
                }
                lostWhileReading_ = false;
            }
            try {
                return op(ld_.get());
            } catch (const Dropped& drop) {
                ld_.reset();
                dnCache_.clear();
                if (attempt > 0 || watch_.timedOut())
                    throw SourceLost(
                        describe(watch_.timedOut()
                                     ? notAnswered()
                                     : "the connection to the server was lost while reading (" +
                                           std::string(ldap_err2string(drop.code)) + ")"));
                lostWhileReading_ = true;
            }
        }
    }

    void connect() {
        LdapPtr ld;
        const Credentials& credentials = options_.credentials;
        try {
            ConnectionSettings settings;
            settings.server = url_.server;
            settings.startTls = url_.startTls;
            settings.caCertificateFile = options_.caCertificateFile;
            if (credentials.method == BindMethod::External) {
                settings.certificateFile = options_.certificateFile;
                settings.keyFile = options_.keyFile;
            }
            settings.timeout = options_.timeout;
            settings.watch = &watch_;
            ld = openConnection(settings);
        } catch (const ConnectionError& e) {
            throw SourceLost(
                describe(e.startTlsCode ? startTlsFailure(e.startTlsCode, e.what()) : e.what()));
        }
        // Without an account, an anonymous bind makes the server be reached now.
        const bool account = !credentials.bindDn.empty() || !credentials.password.empty();
        const int rc = bind(ld.get(), credentials.method, credentials.bindDn, credentials.password);
        if (rc == LDAP_TIMEOUT || watch_.timedOut()) throw SourceLost(describe(notAnswered()));
        if (credentials.method == BindMethod::Gssapi && lacksKerberosTicket(ld.get(), rc))
            throw SourceLost(describe(std::string("No Kerberos ticket for the directory server: "
                                                  "run kinit (") +
                                      serverError(ld.get(), rc) + ")"));
        // A certificate the server does not take shows as no mechanism
        // (libldap has no TLS identity to offer), or, when the server ends
        // the TLS session over it, as a local error or a lost connection
        // after StartTLS had succeeded.
        if (credentials.method == BindMethod::External &&
            (rc == LDAP_AUTH_UNKNOWN || rc == LDAP_LOCAL_ERROR || rc == LDAP_INAPPROPRIATE_AUTH ||
             rc == LDAP_INVALID_CREDENTIALS || (url_.startTls && rc == LDAP_SERVER_DOWN)))
            throw SourceLost(describe(
                std::string("no TLS client certificate that the server accepts: name one with the "
                            "registry values CertificateFile and KeyFile, or TLS_CERT and TLS_KEY "
                            "of ~/.ldaprc (") +
                serverError(ld.get(), rc) + ")"));
        if (credentials.method != BindMethod::Simple && rc != LDAP_SUCCESS &&
            rc != LDAP_SERVER_DOWN && rc != LDAP_CONNECT_ERROR)
            throw SourceLost(describe(std::string("the server refused the ") +
                                      (credentials.method == BindMethod::Gssapi
                                           ? "Kerberos (GSSAPI) bind: "
                                           : "bind with the TLS client certificate (EXTERNAL): ") +
                                      serverError(ld.get(), rc)));
        if (rc == LDAP_INVALID_CREDENTIALS && account)
            throw SourceLost(
                describe("the server refused the bind with the registry values BindDN and "
                         "BindPassword (" +
                         std::string(ldap_err2string(rc)) + ")"));
        if (rc != LDAP_SUCCESS) throw SourceLost(describe(bindFailure(ld.get(), rc)));
        boundAs_ = boundIdentity(ld.get(), credentials.method, credentials.bindDn);
        if (!schema_) readServer(ld.get());
        ld_ = std::move(ld);
    }

    // The root DSE, the schema and the trees, once per source.
    void readServer(LDAP* ld) {
        const char* rootAttributes[] = {"namingContexts",       "subschemaSubentry",
                                        "supportedControl",     "supportedCapabilities",
                                        "defaultNamingContext", nullptr};
        std::map<std::string, std::vector<std::string>> root;
        const auto collect = [](std::map<std::string, std::vector<std::string>>& into) {
            return [&into](LDAP* l, LDAPMessage* e) {
                BerElement* ber = nullptr;
                for (char* a = ldap_first_attribute(l, e, &ber); a;
                     a = ldap_next_attribute(l, e, ber)) {
                    berval** values = ldap_get_values_len(l, e, a);
                    auto& list = into[lowerAscii(a)];
                    for (berval** v = values; v && *v; ++v)
                        list.emplace_back((*v)->bv_val, (*v)->bv_len);
                    ldap_value_free_len(values);
                    ldap_memfree(a);
                }
                ber_free(ber, 0);
            };
        };
        try {
            read(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", rootAttributes, collect(root), 0,
                 false);
        } catch (const Dropped& drop) {
            throw SourceLost(
                describe("cannot read the server: " + std::string(ldap_err2string(drop.code))));
        }
        const auto& controls = root["supportedcontrol"];
        paged_ = std::find(controls.begin(), controls.end(), LDAP_CONTROL_PAGEDRESULTS) !=
                 controls.end();
        const auto& subschema = root["subschemasubentry"];
        const std::string schemaDn = subschema.empty() ? "cn=Subschema" : subschema.front();
        std::map<std::string, std::vector<std::string>> definitions;
        const char* schemaAttributes[] = {"attributeTypes", "objectClasses", nullptr};
        read(ld, schemaDn, LDAP_SCOPE_BASE, "(objectClass=subschema)", schemaAttributes,
             collect(definitions), 0, false);
        const auto views = [](const std::vector<std::string>& list) {
            return std::vector<std::string_view>(list.begin(), list.end());
        };
        const auto& capabilities = root["supportedcapabilities"];
        const bool activeDirectory = std::find(capabilities.begin(), capabilities.end(),
                                               kActiveDirectoryCapability) != capabilities.end();
        std::shared_ptr<const Mapping> mapping;
        try {
            mapping = options_.limits.mapping.resolve();
        } catch (const MappingError& e) {
            throw SourceLost(describe(std::string("the mapping cannot be used: ") + e.what()));
        }
        if (!mapping) {
            const auto& classes = definitions["objectclasses"];
            const bool ours = std::any_of(classes.begin(), classes.end(), [](const std::string& d) {
                return d.find("X-KTR-NAME") != std::string::npos;
            });
            mapping = builtinMapping(ours              ? "ktr"
                                     : activeDirectory ? "activedirectory"
                                                       : "standard");
        }
        try {
            schema_ = std::make_shared<const Schema>(
                Schema::parse(views(definitions["attributetypes"]),
                              views(definitions["objectclasses"]), mapping));
        } catch (const SchemaError& e) {
            throw SourceLost(
                describe("the server's schema cannot be used: " + std::string(e.what())));
        }

        std::vector<std::string> contexts;
        if (!url_.baseDn.empty()) {
            contexts.push_back(url_.baseDn);
        } else if (activeDirectory && !root["defaultnamingcontext"].empty()) {
            // The configuration, schema and DNS partitions are no trees.
            contexts.push_back(root["defaultnamingcontext"].front());
        } else {
            contexts = root["namingcontexts"];
        }
        for (const std::string& dn : contexts) {
            const ParsedDn parsed = parseDn(dn);
            if (!parsed.ok || parsed.keys.empty()) continue;
            trees_.push_back({parsed.values.front(), dn, parsed.keys});
        }
        if (trees_.empty())
            throw SourceLost(describe("the server names no directory tree (namingContexts)"));
        if (trees_.size() == 1 && !options_.treeName.empty())
            trees_.front().name = options_.treeName;
    }

    // One search, page by page. Calls onEntry for each entry; answers whether
    // a server limit cut the result short, or nullopt when the base does not
    // exist. Throws Dropped when the connection went away, SourceLost for any
    // other failure.
    template <class OnEntry>
    std::optional<bool> read(LDAP* ld, const std::string& base, int scope,
                             const std::string& filter, const char* const* attributes,
                             OnEntry&& onEntry, int sizeLimit = 0, bool page = true) {
        PageCookie cookie;
        for (bool first = true;; first = false) {
            switch (readPage(ld, ld_, pageSize_, base, scope, filter, attributes, onEntry, cookie,
                             first, sizeLimit, page)) {
                case PageEnd::More:
                    continue;
                case PageEnd::Last:
                    return false;
                case PageEnd::Limited:
                    return true;
                case PageEnd::NoBase:
                    return std::nullopt;
            }
        }
    }

    // One request of a search: its first page (first, with an empty cookie)
    // or the page after the one whose cookie is given, of pageSize entries;
    // the cookie then holds the server's for the next page. On a wait that runs out, holder (the
    // connection's owner) lets the connection go: an answer may still come
    // on it, and it must not be taken for the next one. Throws as read().
    template <class OnEntry>
    PageEnd readPage(LDAP* ld, LdapPtr& holder, int& pageSize, const std::string& base, int scope,
                     const std::string& filter, const char* const* attributes, OnEntry&& onEntry,
                     PageCookie& cookie, bool first, int sizeLimit = 0, bool page = true) {
        while (true) {
            LDAPControl* pageControl = nullptr;
            if (page && paged_ && sizeLimit == 0 &&
                ldap_create_page_control(ld, pageSize, cookie.more() ? &cookie.value : nullptr, 0,
                                         &pageControl) != LDAP_SUCCESS)
                pageControl = nullptr;
            const bool pagedRequest = pageControl != nullptr;
            LDAPControl* controls[] = {pageControl, nullptr};
            timeval timeout{static_cast<time_t>(options_.timeout.count()), 0};
            // Each entry is taken as it arrives, while the server sends the
            // rest of the page: the reading and the sending overlap.
            int msgid = 0;
            int rc = ldap_search_ext(ld, base.c_str(), scope, filter.c_str(),
                                     const_cast<char**>(attributes), 0, controls, nullptr, &timeout,
                                     sizeLimit, &msgid);
            if (pageControl) ldap_control_free(pageControl);
            cookie.clear();
            MessagePtr result;
            int entries = 0;
            while (rc == LDAP_SUCCESS && !result) {
                // What has arrived so far, in one chain.
                LDAPMessage* raw = nullptr;
                const int type = ldap_result(ld, msgid, LDAP_MSG_RECEIVED, &timeout, &raw);
                MessagePtr chain(raw);
                if (type == 0) {
                    rc = LDAP_TIMEOUT;
                    break;
                }
                if (type < 0) {
                    ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &rc);
                    if (rc == LDAP_SUCCESS) rc = LDAP_SERVER_DOWN;
                    break;
                }
                bool last = false;
                for (LDAPMessage* m = ldap_first_message(ld, chain.get()); m;
                     m = ldap_next_message(ld, m)) {
                    const int kind = ldap_msgtype(m);
                    if (kind == LDAP_RES_SEARCH_ENTRY) {
                        onEntry(ld, m);
                        ++entries;
                    } else if (kind == LDAP_RES_SEARCH_RESULT) {
                        last = true;
                    }
                }
                if (last) result = std::move(chain);  // ldap_parse_result finds it in the chain
            }
            if (dropped(rc)) throw Dropped{rc};
            if (rc == LDAP_TIMEOUT) {
                holder.reset();
                throw SourceLost(describe(notAnswered()));
            }
            int code = rc;
            LDAPControl** serverControls = nullptr;
            if (result && ldap_parse_result(ld, result.get(), &code, nullptr, nullptr, nullptr,
                                            &serverControls, 0) != LDAP_SUCCESS)
                code = rc;
            if (serverControls) {
                if (LDAPControl* response =
                        ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, serverControls, nullptr)) {
                    ber_int_t estimate = 0;
                    ldap_parse_pageresponse_control(ld, response, &estimate, &cookie.value);
                }
                ldap_controls_free(serverControls);
            }
            if (code == LDAP_SUCCESS) return cookie.more() ? PageEnd::More : PageEnd::Last;
            cookie.clear();
            if (code == LDAP_NO_SUCH_OBJECT) return PageEnd::NoBase;
            // The rest lies on another server: passed over, as the search
            // references within a result are.
            if (code == LDAP_REFERRAL) return PageEnd::Last;
            if (code == LDAP_ADMINLIMIT_EXCEEDED && pagedRequest && first && entries == 0 &&
                pageSize > 1) {
                // A server that refuses pages larger than its own limit
                // (slapd's size.pr) is asked again for smaller ones, first
                // for the most common limit; the size that works is kept
                // for the connection.
                pageSize = pageSize > kCommonPageLimit ? kCommonPageLimit
                                                       : std::max(1, pageSize / 4);
                continue;
            }
            // Asked for a sizeLimit of our own, the limit is ours.
            if (code == LDAP_SIZELIMIT_EXCEEDED || code == LDAP_ADMINLIMIT_EXCEEDED)
                return sizeLimit == 0 ? PageEnd::Limited : PageEnd::Last;
            throw SourceLost(describe("the server refused a search below \"" + base +
                                      "\": " + serverError(ld, code)));
        }
    }

    // The entry a level is read below: its children are named from it.
    struct Parent {
        const std::string& dn;
        const std::string& fullName;
    };

    // The entry of one search result, or nullopt when it lies in no tree of
    // this source or cannot be named by a full name. values: whether its
    // values are kept (a tree node's few attribute types are not worth it:
    // its values are read in full when asked for). For an entry of the level
    // below parent, a DN whose rest is the parent's, as a server gives it,
    // need not be parsed whole.
    std::optional<EntryRecord> recordOf(LDAP* ld, LDAPMessage* e, bool values = true,
                                        const Parent* parent = nullptr) const {
        ResultReader reader(ld, e);
        if (!reader.ok()) return std::nullopt;
        EntryRecord record;
        record.dn = reader.dn();
        std::optional<std::size_t> depth;
        if (parent) depth = nameBelow(record, *parent);
        if (!depth) depth = nameFromDn(record);
        if (!depth) return std::nullopt;
        return withAttributes(reader, std::move(record), *depth, values);
    }

    // The name and full name of record.dn when it is the first value of its
    // DN and the rest is the parent's DN; its depth below the tree's root
    // (at least 1), else nullopt.
    static std::optional<std::size_t> nameBelow(EntryRecord& record, const Parent& parent) {
        LDAPRDN rdn = nullptr;
        char* rest = nullptr;
        if (ldap_str2rdn(record.dn.c_str(), &rdn, &rest, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS ||
            !rdn)
            return std::nullopt;
        std::unique_ptr<LDAPAVA*, RdnFree> hold(rdn);
        const std::string_view name(rdn[0]->la_value.bv_val, rdn[0]->la_value.bv_len);
        // rest points at the separator after the first RDN.
        if (!rest || *rest != ',' || parent.dn != rest + 1 || name.empty() ||
            name.find('\\') != std::string_view::npos)
            return std::nullopt;
        record.name = name;
        record.fullName = parent.fullName + '\\';
        record.fullName += name;
        return 1;
    }

    // The full name and name of record.dn; answers the entry's depth below
    // its tree's root, or nullopt when it lies in no tree of this source or
    // cannot be named by a full name.
    std::optional<std::size_t> nameFromDn(EntryRecord& record) const {
        const ParsedDn parsed = parseDn(record.dn);
        if (!parsed.ok) return std::nullopt;
        const Tree* tree = nullptr;
        for (const Tree& t : trees_) {
            if (t.keys.size() <= parsed.keys.size() &&
                std::equal(t.keys.rbegin(), t.keys.rend(), parsed.keys.rbegin()))
                tree = &t;
        }
        if (!tree) return std::nullopt;
        std::vector<std::string_view> names{tree->name};
        const std::size_t depth = parsed.keys.size() - tree->keys.size();
        for (std::size_t i = depth; i-- > 0;) {
            if (parsed.values[i].empty() || parsed.values[i].find('\\') != std::string::npos)
                return std::nullopt;
            names.push_back(parsed.values[i]);
        }
        record.fullName = joinFullName(names);
        record.name = std::string(names.back());
        return depth;
    }

    // The class, hasSubordinates and (when values) the values of a named
    // record from its search result.
    std::optional<EntryRecord> withAttributes(ResultReader& reader, EntryRecord record,
                                              std::size_t depth, bool values) const {
        std::vector<ClassId> classes;
        reader.attributes([&](std::string_view name, const berval* list) {
            const std::string type = lowerAscii(name);
            const auto attribute = schema_->attributeByLdapName(type);
            const bool isClass = attribute && *attribute == schema_->objectClassAttribute();
            for (const berval* v = list; v && v->bv_val; ++v) {
                const std::string_view text(v->bv_val, v->bv_len);
                if (type == "hassubordinates") {
                    record.hasSubordinates = lowerAscii(text) == "true";
                    continue;
                }
                if (!attribute) continue;
                if (isClass) {
                    if (const auto cls = schema_->classByLdapName(text)) classes.push_back(*cls);
                }
                if (values) record.values.emplace_back(*attribute, std::string(text));
            }
        });
        if (depth == 0) {
            record.cls = schema_->topClass();
        } else if (!classes.empty()) {
            record.cls = schema_->entryClass(classes);
        } else {
            return std::nullopt;
        }
        return record;
    }

    const Tree* treeNamed(std::string_view name) const {
        const std::string wanted = foldCase(name);
        for (const Tree& tree : trees_)
            if (foldCase(tree.name) == wanted) return &tree;
        return nullptr;
    }

    // The entry read by a base search of dn, or nullopt when it is gone.
    std::optional<EntryRecord> readEntry(LDAP* ld, const std::string& dn) {
        std::optional<EntryRecord> record;
        read(
            ld, dn, LDAP_SCOPE_BASE, "(objectClass=*)", kEntryAttributes,
            [&](LDAP* l, LDAPMessage* e) { record = recordOf(l, e); }, 0, false);
        return record;
    }

    // The child of parentDn whose name is name (case ignored): first through
    // the naming types, then, for an entry named otherwise, the whole level.
    std::optional<EntryRecord> findChild(LDAP* ld, const std::string& parentDn,
                                         std::string_view name) {
        const std::string wanted = foldCase(name);
        std::optional<EntryRecord> found;
        const auto pick = [&](LDAP* l, LDAPMessage* e) {
            if (found) return;
            auto record = recordOf(l, e);
            if (record && foldCase(record->name) == wanted) found = std::move(record);
        };
        read(ld, parentDn, LDAP_SCOPE_ONELEVEL, nameFilter(name), kEntryAttributes, pick);
        if (found) return found;
        read(ld, parentDn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", kEntryAttributes, pick);
        return found;
    }

    std::optional<EntryRecord> resolve(LDAP* ld, std::string_view fullName) {
        const auto names = splitFullName(fullName);
        if (!names) return std::nullopt;
        const Tree* tree = treeNamed(names->front());
        if (!tree) return std::nullopt;
        const std::string key = foldCase(fullName);
        if (const auto it = dnCache_.find(key); it != dnCache_.end()) {
            if (auto record = readEntry(ld, it->second)) return record;
            dnCache_.erase(it);  // moved or gone: look it up again
        }
        if (names->size() == 1) return readEntry(ld, tree->dn);
        std::string parentDn = tree->dn;
        std::optional<EntryRecord> record;
        std::vector<std::string_view> path{names->front()};
        for (std::size_t i = 1; i < names->size(); ++i) {
            path.push_back((*names)[i]);
            const std::string prefix = foldCase(joinFullName(path));
            const auto cached = dnCache_.find(prefix);
            if (cached != dnCache_.end() && i + 1 < names->size()) {
                parentDn = cached->second;
                continue;
            }
            record = findChild(ld, parentDn, (*names)[i]);
            if (!record) return std::nullopt;
            parentDn = record->dn;
            if (dnCache_.size() > kDnCacheSize) dnCache_.clear();
            dnCache_[prefix] = parentDn;
        }
        return record;
    }

    static constexpr std::size_t kDnCacheSize = 100000;

    std::mutex mutex_;
    Url url_;
    SourceOptions options_;
    // Declared before the handle that uses it, so that it outlives it.
    ConnectionWatch watch_{std::chrono::duration_cast<std::chrono::milliseconds>(options_.timeout)};
    LdapPtr ld_;
    bool lostWhileReading_ = false;
    std::optional<std::string> boundAs_;
    std::shared_ptr<const Schema> schema_;
    std::vector<Tree> trees_;
    bool paged_ = false;
    int pageSize_ = kPageSize;
    std::unordered_map<std::string, std::string> dnCache_;  // folded full name to DN
    std::weak_ptr<const FreshEntries> fresh_;               // held by the hits that read them
    LdapPtr spare_;                                         // a search connection no search uses
};

// The hits of a search as the server pages them, each page read when the
// list wants more, on a connection of the search's own. The names are kept
// one after the other in the text of their page: a million hits cost their
// names and four bytes each.
class PagedHitNames final : public HitNames {
public:
    PagedHitNames(std::shared_ptr<LdapSource> source, LdapSource::HitQuery query)
        : source_(std::move(source)), query_(std::move(query)) {}
    ~PagedHitNames() override {
        // A server may hold a search left unread; its connection closes with it.
        if (ld_ && done_) source_->returnSearchConnection(std::move(ld_));
    }

    std::size_t size() const override {
        std::lock_guard lock(mutex_);
        return count_;
    }
    std::string at(std::size_t index) const override {
        std::lock_guard lock(mutex_);
        const auto page =
            std::prev(std::upper_bound(pages_.begin(), pages_.end(), index,
                                       [](std::size_t i, const Page& p) { return i < p.first; }));
        const std::size_t i = index - page->first;
        const std::size_t begin = i == 0 ? 0 : page->ends[i - 1];
        return page->text.substr(begin, page->ends[i] - begin);
    }
    bool complete() const override {
        std::lock_guard lock(mutex_);
        return done_;
    }
    bool limited() const override {
        std::lock_guard lock(mutex_);
        return limited_;
    }
    void readMore() const override {
        std::lock_guard lock(mutex_);
        if (done_) return;
        PipeGuard quiet;
        for (int attempt = 0;; ++attempt) {
            try {
                readPage();
                return;
            } catch (const Dropped& drop) {
                ld_.reset();
                // A connection kept from an earlier search may have gone
                // meanwhile: the first page is asked for once more on a new one.
                if (first_ && attempt == 0) continue;
                done_ = true;
                // The server's paging is bound to the connection: what is
                // left cannot be asked for on another one.
                throw SourceLost(source_->describe(
                    "the connection to the server was lost while reading the search's hits (" +
                    std::string(ldap_err2string(drop.code)) + ")"));
            } catch (...) {
                done_ = true;
                ld_.reset();
                throw;
            }
        }
    }

private:
    struct Page {
        std::size_t first = 0;            // the index of its first name
        std::string text;                 // its names, one after the other
        std::vector<std::uint32_t> ends;  // where each name ends in text
    };

    void readPage() const {
        if (!ld_) ld_ = source_->searchConnection();
        Page page;
        page.first = count_;
        const auto now = std::chrono::steady_clock::now();
        const auto attributes = query_.attributes();
        std::lock_guard lock(source_->mutex_);  // the page size and the schema it reads by
        if (first_) pageSize_ = std::min(source_->pageSize_, kHitPageSize);
        const PageEnd end = source_->readPage(
            ld_.get(), ld_, pageSize_, query_.base, query_.scope, query_.filter, attributes.data(),
            [&](LDAP* l, LDAPMessage* e) {
                auto record = source_->hitRecord(l, e, query_);
                if (!record) return;
                page.text += record->fullName;
                page.ends.push_back(static_cast<std::uint32_t>(page.text.size()));
                if (query_.whole) fresh_->keep(std::move(*record), now);
            },
            cookie_, first_);
        if (query_.whole) source_->publishFresh(fresh_);
        first_ = false;
        limited_ = end == PageEnd::Limited;
        done_ = end != PageEnd::More;
        if (!page.ends.empty()) {
            count_ += page.ends.size();
            page.text.shrink_to_fit();
            pages_.push_back(std::move(page));
        }
    }

    mutable std::mutex mutex_;
    std::shared_ptr<LdapSource> source_;
    LdapSource::HitQuery query_;
    mutable LdapPtr ld_;
    mutable PageCookie cookie_;
    // A page is read while the window waits: smaller than a level's, so
    // that scrolling never stalls for long.
    static constexpr int kHitPageSize = 500;
    mutable int pageSize_ = kHitPageSize;
    mutable bool first_ = true;
    mutable bool done_ = false;
    mutable bool limited_ = false;
    mutable std::vector<Page> pages_;
    mutable std::size_t count_ = 0;
    // The latest hits' entries, for a search read in full: two pages' worth,
    // so that a caller working through the hits it has finds them all.
    const std::shared_ptr<FreshEntries> fresh_ = [] {
        auto fresh = std::make_shared<FreshEntries>();
        fresh->bound = 2 * kHitPageSize;
        return fresh;
    }();
};

SearchHits LdapSource::search(const SourceEntry& context, const SourceQuery& query) {
    HitQuery q = hitQuery(dynamic_cast<const LdapEntry&>(context), query);
    if (!paged()) return listedHits(q);
    auto hits = std::make_shared<PagedHitNames>(shared_from_this(), std::move(q));
    // Enough pages to tell no hit, one and several apart, which is what a
    // caller decides on at once.
    while (!hits->complete() && hits->size() < 2) hits->readMore();
    return {hits, hits->limited()};
}

bool LdapEntry::hasChildren() const {
    if (record_.hasSubordinates) return *record_.hasSubordinates;
    if (schema_->mapped()) {
        // A server without hasSubordinates (Active Directory): containers
        // may hold entries, users and workstations hold none, and no level
        // costs a round trip per child.
        const std::string& name = schema_->objectClass(record_.cls).name;
        return name == "Top" || name == "Country" || name == "Organization" ||
               name == "Organizational Unit";
    }
    return source_->anyBelow(record_.dn);
}

std::vector<std::string> LdapEntry::ownedAddresses(AttributeId backing) const {
    return source_->ownedAddresses(record_.dn, backing);
}

Level LdapEntry::children(std::span<const ClassId> filter) const {
    return source_->level(record_.dn, record_.fullName, filter);
}

const LdapEntry::Values& LdapEntry::allValues() const {
    if (!record_.partial) return record_.values;
    std::lock_guard lock(fullMutex_);
    if (!full_) {
        auto values = source_->valuesOf(record_.dn);
        // What was read for the tree is no whole entry: shown as one, it
        // would say the entry has no values.
        if (!values)
            throw SourceLost("\"" + record_.fullName +
                             "\" is no longer on the server; its values cannot be read");
        full_ = std::move(*values);
    }
    return *full_;
}

}  // namespace

LoadResult loadLdapDirectory(const std::string& location, const SourceOptions& options,
                             bool& limited, std::string* boundAs) {
    try {
        auto source = std::make_shared<LdapSource>(parseUrl(location, options.startTls), options);
        source->open();
        if (boundAs && source->boundAs()) *boundAs = *source->boundAs();
        WholeRead whole = source->readWhole();
        limited = whole.limited;
        return {std::move(whole.directory), {}};
    } catch (const LoadError& bad) {
        return {nullptr, bad};
    } catch (const SourceLost& lost) {
        // The error names the source already; its message need not again.
        std::string_view message = lost.what();
        if (const auto colon = message.find(": ");
            colon != std::string_view::npos && location.starts_with(message.substr(0, colon)))
            message.remove_prefix(colon + 2);
        return {nullptr, {LoadStatus::SourceLost, location, 0, std::string(message)}};
    } catch (const std::invalid_argument& refused) {
        return {nullptr, {LoadStatus::SourceLost, "", 0, refused.what()}};
    }
}

std::shared_ptr<Source> openLdapSource(const std::string& location, const SourceOptions& options) {
    const Url url = parseUrl(location, options.startTls);
    // One source per server, base, bind and settings, shared while anyone
    // holds it; the last one opened stays open, for callers (the client) that
    // open their source anew for every call. The key stays in memory only.
    const std::string key =
        url.server + '\n' + url.baseDn + '\n' + (url.startTls ? "1" : "0") + '\n' +
        bindMethodName(options.credentials.method) + '\n' + options.credentials.bindDn + '\n' +
        options.certificateFile + '\n' + options.keyFile + '\n' + options.credentials.password +
        '\n' + options.caCertificateFile + '\n' + std::to_string(options.timeout.count()) + '\n' +
        options.limits.mapping.value + '\n' + options.treeName;
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<LdapSource>> open;
    static std::shared_ptr<LdapSource> last;
    std::lock_guard lock(mutex);
    if (auto source = open[key].lock()) {
        last = source;
        return source;
    }
    for (auto it = open.begin(); it != open.end();)
        it = it->second.expired() ? open.erase(it) : ++it;
    auto source = std::make_shared<LdapSource>(url, options);
    source->open();
    open[key] = source;
    last = source;
    return source;
}

}  // namespace outside::directory
