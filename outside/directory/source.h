// One directory as the directory control and the client read it, wherever
// its data lives: an LDIF file loaded whole (through the process-wide cache)
// or a live LDAP server read a level at a time. Both answer the same calls
// with the same names, classes and values; the callers never learn which one
// they talk to, except that a server may cut a result short at its size limit.
//
// Entries are snapshots: what was read stays readable when the source changes
// or goes away. Calls that must reach the source again (the entries below, a
// search) throw SourceLost when it cannot be read.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "outside/directory/bindmethod.h"
#include "outside/directory/directory.h"
#include "outside/directory/load.h"

namespace outside::directory {

// The source cannot be reached or read any more (a file gone, a server
// down). The text says why, and never carries credentials.
class SourceLost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SourceEntry;
using EntryPtr = std::shared_ptr<const SourceEntry>;

// Entries of one level, in directory order. limited: a server limit cut the
// list short, and entries holds what it let through.
struct Level {
    std::vector<EntryPtr> entries;
    bool limited = false;
};

class SourceEntry {
public:
    virtual ~SourceEntry() = default;
    virtual const std::shared_ptr<const Schema>& schema() const = 0;
    virtual std::string fullName() const = 0;
    virtual std::string name() const = 0;
    virtual ClassId classId() const = 0;
    // The values of one attribute, in stored order.
    virtual std::vector<std::string> values(AttributeId attribute) const = 0;
    // True when anything lies below, whatever its class.
    virtual bool hasChildren() const = 0;
    // The children whose class is one of filter (every child when it is empty).
    virtual Level children(std::span<const ClassId> filter) const = 0;
};

struct SourceQuery {
    // As SearchQuery::pattern: "*" for any run of characters, case ignored.
    std::string_view pattern = "*";
    std::vector<ClassId> classes;  // empty: every class
    Scope scope = Scope::Subtree;
};

// The full names of a search's hits. A source may build each name only when
// it is read: a prefix as short as "*" may match every entry of a large
// directory. `at` is called with 0 <= index < size().
//
// A server's hits may come page by page: size() then counts the names read
// so far, and readMore() reads the next page, so that a list shows its first
// rows at once and reads on as it is scrolled. Names read stay where they
// are; a page only adds.
class HitNames {
public:
    virtual ~HitNames() = default;
    virtual std::size_t size() const = 0;
    virtual std::string at(std::size_t index) const = 0;
    // True when every hit has been read.
    virtual bool complete() const { return true; }
    // Reads the next page, if any. Throws SourceLost when the source cannot
    // be read any more; the names read until then stay, and the list is then
    // complete (nothing more will come).
    virtual void readMore() const {}
    // A server limit cut the hits short (known once the last page is read).
    virtual bool limited() const { return false; }
};

// Hit names that were read whole, as a server sends them; keep is what the
// source read with them and keeps while the names are in use.
class ListedHitNames final : public HitNames {
public:
    explicit ListedHitNames(std::vector<std::string> names,
                            std::shared_ptr<const void> keep = nullptr)
        : names_(std::move(names)), keep_(std::move(keep)) {}
    std::size_t size() const override { return names_.size(); }
    std::string at(std::size_t index) const override { return names_[index]; }

private:
    std::vector<std::string> names_;
    std::shared_ptr<const void> keep_;
};

struct SearchHits {
    std::shared_ptr<const HitNames> names;  // never null
    // A server limit cut the hits short; for hits read page by page, as far
    // as the pages read so far tell (names->limited() tells later).
    bool limited = false;
};

class Source {
public:
    virtual ~Source() = default;
    virtual std::shared_ptr<const Schema> schema() = 0;
    // The tree names, in the order of the source.
    virtual std::vector<std::string> trees() = 0;
    // The source's spelling of a tree name given in any case; nullopt when
    // there is no such tree.
    std::optional<std::string> findTree(std::string_view name);
    // The entry of a full name (case ignored); nullptr when there is none.
    virtual EntryPtr find(std::string_view fullName) = 0;
    // The entries below context whose names fit the pattern.
    virtual SearchHits search(const SourceEntry& context, const SourceQuery& query) = 0;
    // Who a server saw at the bind, for a person (boundIdentity in
    // connection.h); nullopt for a file.
    virtual std::optional<std::string> boundAs() { return std::nullopt; }
};

// How a server is bound: simple with a DN and password (both empty for an
// anonymous bind), or SASL GSSAPI or EXTERNAL, which use neither.
struct Credentials {
    std::string bindDn;
    std::string password;
    BindMethod method = BindMethod::Simple;
};

struct SourceOptions {
    LoadLimits limits;  // for LDIF files
    Credentials credentials;
    bool startTls = false;
    // A CA certificate (PEM) that the server's certificate may chain to, in
    // addition to the system's trusted ones.
    std::string caCertificateFile;
    // A TLS client certificate and its key (PEM), for SASL EXTERNAL; empty:
    // libldap's own configuration (TLS_CERT, TLS_KEY) decides.
    std::string certificateFile;
    std::string keyFile;
    std::chrono::seconds timeout{10};
    // The name of a server's one tree, when the first value of its DN is not
    // the name to use (a tree rooted at DC=corp,DC=example).
    std::string treeName;
};

// A value as a list shows it: text as it is; bytes that are no printable
// UTF-8 text (a SID, a GUID, a photo) as hexadecimal digits, or as base64
// when they are long.
std::string displayValue(std::string_view value);

// True for ldap:// and ldaps:// locations.
bool isLdapLocation(std::string_view location);

// The source at a location: an LDIF file path or an LDAP URL
// (ldap[s]://host[:port][/base DN][?starttls]). Sources of one server and
// bind share one connection per process. Throws SourceLost when the source
// cannot be read, std::invalid_argument for a URL that cannot be used (one
// that carries credentials, a malformed one).
std::shared_ptr<Source> openSource(const std::string& location, const SourceOptions& options);

// Reads every entry of an LDAP server into one Directory, by the rules of
// an LDIF file (for kddir-check). limited tells that a size limit of the
// server cut the read short.
// boundAs, when given, receives the identity the server saw (whoAmI in
// connection.h; "" for anonymous, unchanged when the server does not say).
LoadResult loadLdapDirectory(const std::string& location, const SourceOptions& options,
                             bool& limited, std::string* boundAs = nullptr);

}  // namespace outside::directory
