// Tolvane's directory beside slapd on the same generated directory, both
// measured in this one run:
//   - loading: our LDIF reader (what the directory control loads a file with,
//     median of 3 loads) against slapadd -q of the same entries into a
//     private slapd (mdb; cn indexed for equality and substrings, objectClass
//     for equality), as the time of slapadd / ours;
//   - prefix search: Directory::search for users and workstations, with the
//     full names of the hits, against slapd answering (cn=<prefix>*) on one
//     connection over loopback, DNs only ("1.1"), size limit 100; median of
//     208 runs each, in rounds taken in turns, as the time of slapd / ours.
//     Both sides must find the same entries first, or the figure is not
//     printed.
// Prints one line per figure: name, value, unit, target, "ok" or "over"; the
// times themselves go to standard error. The server lives in a temporary
// folder and is stopped however the run ends (scripts/ldap-demo also stops
// it when this process dies).
// Usage: bench_peer [entries] [--load-only]   (default 1000000; run a Release
// build). --load-only: one load of ours against slapadd -q and no searches,
// for a directory so large that three loads and a server would take long.
#include <ldap.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../directory/generator.h"
#include "../ldapserver.h"
#include "../timing.h"
#include "outside/directory/ldif.h"

namespace fs = std::filesystem;
using benchtiming::Clock;
using benchtiming::msSince;
using outside::directory::Directory;
using outside::directory::EntryId;

namespace {

constexpr int kLoads = 3;
// Each side searches in rounds of runs, taking turns: a run finds its own
// caches warm, and what else the machine does falls on both sides alike.
constexpr int kRounds = 8;
constexpr int kRunsPerRound = 26;
constexpr int kSearches = kRounds * kRunsPerRound;
constexpr int kSizeLimit = 100;
// One prefix with more hits than the limit, one with fewer.
constexpr const char* kPrefixes[] = {"smi", "de-sal-0001"};

// A folder of this run, removed with everything in it when the run ends.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "bench-peer-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The private slapd: made and loaded step by step, so that slapadd is timed
// alone; stopped when this goes, whatever happened before.
class PeerServer {
public:
    explicit PeerServer(fs::path folder) : folder_(std::move(folder)) {}
    ~PeerServer() { stopLdapServer(folder_); }
    PeerServer(const PeerServer&) = delete;
    PeerServer& operator=(const PeerServer&) = delete;

    // The time slapadd -q took to load ldif's entries; nullopt (with the
    // reason on standard error) when the server could not be made.
    std::optional<double> load(const fs::path& ldif) {
        setenv("LDAP_DEMO_LDIF", ldif.c_str(), 1);
        setenv("LDAP_DEMO_INDEX", "cn", 1);
        setenv("LDAP_DEMO_OWNER", std::to_string(getpid()).c_str(), 1);
        if (!ldapDemo(folder_, "prepare") || !ldapDemo(folder_, "load")) return std::nullopt;
        double ms = -1;
        std::ifstream(folder_ / "slapadd-ms") >> ms;
        if (ms < 0) return std::nullopt;
        // The file is as large as the map; what it holds is what it has on disk.
        struct stat file {};
        if (::stat((folder_ / "db1" / "data.mdb").c_str(), &file) == 0)
            std::fprintf(stderr, "bench_peer: slapd's database holds %.0f MiB\n",
                         static_cast<double>(file.st_blocks) * 512 / 1048576.0);
        return ms;
    }

    std::optional<LdapServer> start(const fs::path& ldif) {
        return startSlapd(folder_, ldif, "bench_peer");
    }

    // The DN of the generated tree, the only one.
    std::string suffix() const {
        std::string dn;
        std::getline(std::ifstream(folder_ / "suffixes"), dn);
        return dn;
    }

private:
    fs::path folder_;
};

struct LdapDeleter {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using Connection = std::unique_ptr<LDAP, LdapDeleter>;
struct MessageDeleter {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using Message = std::unique_ptr<LDAPMessage, MessageDeleter>;

Connection connect(const LdapServer& server) {
    LDAP* raw = nullptr;
    if (ldap_initialize(&raw, server.url.c_str()) != LDAP_SUCCESS) return nullptr;
    Connection ld(raw);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    std::string password = server.password();
    berval credentials{static_cast<ber_len_t>(password.size()), password.data()};
    const int rc = ldap_sasl_bind_s(ld.get(), server.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials,
                                    nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        std::fprintf(stderr, "bench_peer: cannot bind to %s: %s\n", server.url.c_str(),
                     ldap_err2string(rc));
        return nullptr;
    }
    return ld;
}

// The DNs slapd answers for filter, at most limit of them (0: no limit);
// nullopt when the search failed.
std::optional<std::vector<std::string>> peerSearch(LDAP* ld, const std::string& base,
                                                   const std::string& filter, int limit) {
    char noAttributes[] = LDAP_NO_ATTRS;
    char* attributes[] = {noAttributes, nullptr};
    LDAPMessage* raw = nullptr;
    const int rc = ldap_search_ext_s(ld, base.c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                                     attributes, 0, nullptr, nullptr, nullptr, limit, &raw);
    Message result(raw);
    if (rc != LDAP_SUCCESS && rc != LDAP_SIZELIMIT_EXCEEDED) {
        std::fprintf(stderr, "bench_peer: slapd's search %s failed: %s\n", filter.c_str(),
                     ldap_err2string(rc));
        return std::nullopt;
    }
    std::vector<std::string> dns;
    for (LDAPMessage* e = ldap_first_entry(ld, result.get()); e; e = ldap_next_entry(ld, e)) {
        char* dn = ldap_get_dn(ld, e);
        if (!dn) continue;
        dns.emplace_back(dn);
        ldap_memfree(dn);
    }
    return dns;
}

// The value of a DN's first component ("SmithA0" of "cn=SmithA0,ou=...").
std::string leafOf(const std::string& dn) {
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS || !parsed ||
        !parsed[0]) {
        if (parsed) ldap_dnfree(parsed);
        return dn;
    }
    const berval& value = parsed[0][0]->la_value;
    std::string leaf(value.bv_val, value.bv_len);
    ldap_dnfree(parsed);
    return leaf;
}

std::vector<std::string> ourSearch(const Directory& dir, const std::string& pattern,
                                   std::size_t limit) {
    outside::directory::SearchQuery query;
    query.pattern = pattern;
    query.classes = {"User", "Workstation"};
    query.context = dir.trees().front();
    query.maxHits = limit;
    std::vector<std::string> names;
    for (const EntryId id : dir.search(query)) names.push_back(dir.fullName(id));
    return names;
}

// Whether both sides find the same entries for prefix, with and without the
// limit; says what differs on standard error.
bool sameHits(const Directory& dir, LDAP* ld, const std::string& base, const std::string& prefix) {
    const std::string filter = "(cn=" + prefix + "*)";
    const auto peerAll = peerSearch(ld, base, filter, 0);
    const auto peerFirst = peerSearch(ld, base, filter, kSizeLimit);
    if (!peerAll || !peerFirst) return false;
    const std::size_t ours = ourSearch(dir, prefix + "*", static_cast<std::size_t>(-1)).size();
    if (ours != peerAll->size()) {
        std::fprintf(stderr, "bench_peer: %s* finds %zu entries here, %zu on slapd\n",
                     prefix.c_str(), ours, peerAll->size());
        return false;
    }
    std::vector<std::string> ourLeaves, peerLeaves;
    for (const std::string& name : ourSearch(dir, prefix + "*", kSizeLimit))
        ourLeaves.push_back(name.substr(name.rfind('\\') + 1));
    for (const std::string& dn : *peerFirst) peerLeaves.push_back(leafOf(dn));
    std::sort(ourLeaves.begin(), ourLeaves.end());
    std::sort(peerLeaves.begin(), peerLeaves.end());
    if (ourLeaves != peerLeaves) {
        std::fprintf(stderr, "bench_peer: the first %d hits of %s* differ between here and slapd\n",
                     kSizeLimit, prefix.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t entries = 1000000;
    bool loadOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--load-only") {
            loadOnly = true;
        } else if (const unsigned long n = std::strtoul(argv[i], nullptr, 10); n > 0) {
            entries = n;
        } else {
            std::fprintf(stderr, "usage: bench_peer [entries] [--load-only]\n");
            return 2;
        }
    }
    const TempFolder folder;
    if (folder.path().empty()) {
        std::perror("bench_peer: cannot make a temporary folder");
        return 1;
    }
    const fs::path ldif = folder.path() / "peer.ldif";
    const benchdir::GeneratedShape shape = benchdir::writeDirectory(ldif, entries);
    std::fprintf(stderr,
                 "bench_peer: %zu entries (%zu users, %zu workstations), %.1f MiB of LDIF\n",
                 shape.entries, shape.users, shape.workstations,
                 static_cast<double>(fs::file_size(ldif)) / 1048576.0);

    std::vector<double> loads;
    std::shared_ptr<const Directory> dir;
    // Ten million entries take more than the default limit of a source.
    outside::directory::LoadLimits limits;
    limits.maxSourceBytes = std::uint64_t{64} << 30;
    for (int i = 0; i < (loadOnly ? 1 : kLoads); ++i) {
        dir.reset();  // one directory in memory at a time
        const auto start = Clock::now();
        auto result = outside::directory::loadLdif(ldif, limits);
        loads.push_back(msSince(start));
        if (!result.ok()) {
            std::fprintf(stderr, "bench_peer: %s\n", result.error.describe().c_str());
            return 1;
        }
        dir = std::move(result.directory);
    }
    const double ourLoad = benchtiming::stats(loads).median;

    if (loadOnly) dir.reset();  // slapadd has the memory to itself
    PeerServer peer(folder.path() / "slapd");
    const auto slapadd = peer.load(ldif);
    if (!slapadd) {
        std::fprintf(stderr, "bench_peer: slapd could not be made from %s\n", ldif.c_str());
        return 1;
    }
    std::fprintf(stderr, "bench_peer: load: ours %.0f ms (median of %d), slapadd -q %.0f ms\n",
                 ourLoad, loadOnly ? 1 : kLoads, *slapadd);
    std::string name = "slapadd -q / our load";
    if (loadOnly) name.append(" ").append(std::to_string(shape.entries));
    benchtiming::figureAtLeast(name.c_str(), *slapadd / ourLoad, "x", 8);
    if (loadOnly) return 0;

    const auto server = peer.start(ldif);
    if (!server) return 1;
    const Connection ld = connect(*server);
    if (!ld) return 1;
    const std::string base = peer.suffix();
    int status = 0;
    for (const std::string prefix : kPrefixes) {
        if (!sameHits(*dir, ld.get(), base, prefix)) {
            status = 1;
            continue;
        }
        const std::string pattern = prefix + "*";
        const std::string filter = "(cn=" + pattern + ")";
        std::vector<double> ours, theirs;
        std::size_t hits = 0;
        bool failed = false;
        for (int round = 0; round < kRounds && !failed; ++round) {
            // The first run of a round warms up and is not counted.
            for (int i = 0; i <= kRunsPerRound; ++i) {
                const auto start = Clock::now();
                hits = ourSearch(*dir, pattern, kSizeLimit).size();
                if (i > 0) ours.push_back(msSince(start));
            }
            for (int i = 0; i <= kRunsPerRound && !failed; ++i) {
                const auto start = Clock::now();
                failed = !peerSearch(ld.get(), base, filter, kSizeLimit);
                if (i > 0) theirs.push_back(msSince(start));
            }
        }
        if (failed) return 1;
        const double ourMedian = benchtiming::stats(ours).median;
        const double theirMedian = benchtiming::stats(theirs).median;
        std::fprintf(stderr,
                     "bench_peer: search %s: %zu hits; ours %.1f us, slapd %.1f us (medians of "
                     "%d)\n",
                     pattern.c_str(), hits, ourMedian * 1000, theirMedian * 1000, kSearches);
        benchtiming::figureAtLeast(("slapd search " + pattern + " / ours").c_str(),
                                   theirMedian / ourMedian, "x", 3);
    }
    return status;
}
