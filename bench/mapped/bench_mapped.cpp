// Speed of directories read through a mapping, each beside the same entries
// in our own classes, measured in one run:
//   - loading the standard export of a generated directory (no schema entry)
//     against the ktr file of the same entries;
//   - a level of 10,000 workstations in one unit read and shown in tvn's
//     remote-action tree through the real directory control, on a private
//     slapd with Debian's standard schemas against one with the ktr schema;
//   - where Samba's domain controller is installed and Active Directory's
//     ports are free: the same level of 10,000 computers in one OU, against
//     ldapsearch -E pr=1000 -ZZ for that level, and the parse of the
//     server's subschema with the activedirectory mapping.
// Usage: bench_mapped [entries] [--no-ad] [--only load|slapd|samba]
//   (default 100000 entries and every part; run a Release build)
// The slapd and Samba folders stay in <tmp>/tvn-bench-mapped for the next
// run, which then spares making them.
#include <unistd.h>
#include <QApplication>
#include <QByteArray>
#include <QTreeWidgetItem>
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
#include "../directorycontrol.h"
#include "../ldapserver.h"
#include "../timing.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/frmMain.h"
#include "outside/directory/ldif.h"
#include "outside/directory/mapping.h"
#include "outside/directory/schema.h"
#include "platform/automation/create.h"
#include "platform/forms/keyedtree.h"
#include "platform/registry/store.h"

namespace fs = std::filesystem;
namespace dir = outside::directory;
using benchtiming::Clock;
using benchtiming::figure;
using benchtiming::msSince;
using benchtiming::stats;
using benchtiming::Stats;

namespace {

constexpr int kRuns = 5;
constexpr std::size_t kLevel = 10000;
constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";
// The level's full name in the tree, on every server (Samba's tree is
// named Bench through TreeName).
const QString kLevelKey = "KTR:\\\\Bench\\Level\\Hosts";
const QString kParentKey = "KTR:\\\\Bench\\Level";

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "bench_mapped: %s\n", why.c_str());
    std::exit(1);
}

// ---- 1. Loading the standard export against the ktr file ----

void loadFigures(std::size_t entries, const fs::path& folder) {
    const fs::path ktr = folder / "load-ktr.ldif";
    const fs::path standard = folder / "load-standard.ldif";
    const auto shape = benchdir::writeDirectory(ktr, entries, benchdir::Flavour::Ktr);
    benchdir::writeDirectory(standard, entries, benchdir::Flavour::Standard);
    std::printf(
        "== loading %zu entries (%zu users, %zu workstations): ktr %.1f MiB, standard %.1f MiB"
        " of LDIF\n",
        shape.entries, shape.users, shape.workstations,
        static_cast<double>(fs::file_size(ktr)) / 1048576.0,
        static_cast<double>(fs::file_size(standard)) / 1048576.0);
    std::vector<double> ktrMs, standardMs;
    std::size_t ktrSize = 0, standardSize = 0;
    std::string mappingName;
    // Alternating, so that both see the same disturbance on a busy machine.
    for (int run = 0; run < kRuns; ++run) {
        for (const bool mapped : {false, true}) {
            const auto start = Clock::now();
            const auto result = dir::loadLdif(mapped ? standard : ktr);
            const double ms = msSince(start);
            if (!result.ok()) fail("cannot load: " + result.error.describe());
            (mapped ? standardMs : ktrMs).push_back(ms);
            (mapped ? standardSize : ktrSize) = result.directory->size();
            if (mapped && run == 0) {
                // The export must read as the same users and workstations,
                // or the two loads measure different things.
                const dir::Directory& d = *result.directory;
                mappingName = d.schema().mappingName();
                std::size_t users = 0, workstations = 0;
                for (dir::EntryId id = 0; id < d.size(); ++id) {
                    users += d.className(id) == "User";
                    workstations += d.className(id) == "Workstation";
                }
                if (users != shape.users || workstations != shape.workstations)
                    fail("the standard export reads as " + std::to_string(users) + " users and " +
                         std::to_string(workstations) + " workstations, not " +
                         std::to_string(shape.users) + " and " +
                         std::to_string(shape.workstations));
            }
        }
    }
    if (standardSize != ktrSize)
        fail("the standard export holds " + std::to_string(standardSize) +
             " entries, the ktr file " + std::to_string(ktrSize));
    const Stats k = stats(ktrMs), s = stats(standardMs);
    std::printf(
        "ktr file:                       %8.1f ms  [%.1f]\n"
        "standard export (mapping %s): %8.1f ms  [%.1f]\n",
        k.median, k.worst, mappingName.c_str(), s.median, s.worst);
    figure(("load standard/ktr " + std::to_string(entries)).c_str(), s.median / k.median, "x", 1.0);
}

// ---- 2. and 3. A level read and shown through the directory control ----

// What the server the control reads is: its URL and account, and for
// Active Directory StartTLS, the CA and the tree's name.
struct Target {
    std::string url;
    std::string bindDn;
    std::string password;
    std::string caFile;  // empty: no TLS
    std::string treeName;
};

void pointControlAt(const Target& target) {
    platform::registry::Store store;
    store.setValue(kControlKey, "BindDN", target.bindDn);
    store.setValue(kControlKey, "BindPassword", target.password);
    if (target.caFile.empty()) {
        store.deleteValue(kControlKey, "StartTLS");
        store.deleteValue(kControlKey, "CACertificateFile");
    } else {
        store.setValue(kControlKey, "StartTLS", "1");
        store.setValue(kControlKey, "CACertificateFile", target.caFile);
    }
    if (target.treeName.empty())
        store.deleteValue(kControlKey, "TreeName");
    else
        store.setValue(kControlKey, "TreeName", target.treeName);
    setenv("KDDIR_SOURCE", target.url.c_str(), 1);
}

// tvn's window on one server, its level opened as bench_browser opens one:
// the tree anew, the parent expanded, then the level's node expanded and
// painted. Several of them take turns run by run, so that all see the same
// disturbance on a busy machine; each points the control at its server
// before its run.
class LevelBench {
public:
    LevelBench(Target target, std::string label)
        : target_(std::move(target)), label_(std::move(label)) {
        pointControlAt(target_);
        form_ = std::make_unique<tvn::frmMain>(
            platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath()));
        form_->treeName = "Bench";
        form_->KDDirRCTree = std::make_unique<tvn::KDDirCtrl>(
            platform::automation::createObject(tvn::KDDirCtrl::kProgId));
        form_->KDDirRCTree->setClassFilter(
            "Country, Organization, Organizational Unit, User, Alias, Workstation");
        form_->KDDirUser = std::make_unique<tvn::KDDirCtrl>(
            platform::automation::createObject(tvn::KDDirCtrl::kProgId));
        form_->KDDirUser->setClassFilter("Country, Organization, Organizational Unit");
        tvn::BuildKTRLayoutList(*form_);
        form_->show();
        QApplication::processEvents();
    }

    // One run; a first one (counted false) warms the server and the
    // connection.
    void run(bool counted) {
        pointControlAt(target_);
        // The server's root, so that a connection made anew is not timed.
        form_->KDDirRCTree->OpenEntry(kParentKey);
        auto start = Clock::now();
        int entries = 0;
        for (const tvn::KDDirEntry& entry : form_->KDDirRCTree->OpenEntry(kLevelKey).SubEntries()) {
            entry.EntryPath();
            entry.EntryName();
            entry.LayoutName();
            entry.hasSubEntries();
            ++entries;
        }
        const double readMs = msSince(start);

        tvn::BrowseStartRC(*form_);
        QApplication::processEvents();
        QTreeWidgetItem* parent = form_->TreeViewRC->node(kParentKey);
        if (!parent) fail(label_ + ": the tree shows no " + kParentKey.toStdString());
        parent->setExpanded(true);
        QApplication::processEvents();
        QTreeWidgetItem* node = form_->TreeViewRC->node(kLevelKey);
        if (!node) fail(label_ + ": the tree shows no " + kLevelKey.toStdString());
        form_->TreeViewRC->scrollToItem(node);
        QApplication::processEvents();
        start = Clock::now();
        node->setExpanded(true);
        QApplication::processEvents();
        const double shownMs = msSince(start);
        children_ = node->childCount();
        if (children_ != static_cast<int>(kLevel) || entries != static_cast<int>(kLevel))
            fail(label_ + ": the level shows " + std::to_string(children_) +
                 " children and reads " + std::to_string(entries) + ", not " +
                 std::to_string(kLevel));
        if (!counted) return;
        read_.push_back(readMs);
        shown_.push_back(shownMs);
    }

    // The level expanded and painted, median of the counted runs.
    double shown() const { return stats(shown_).median; }

    void print() const {
        const Stats r = stats(read_), e = stats(shown_);
        std::printf(
            "%s: %d children (median of %zu runs, worst in brackets)\n"
            "  the level's reads alone:      %8.1f ms  [%.1f]\n"
            "  expanded and painted:         %8.1f ms  [%.1f]\n",
            label_.c_str(), children_, shown_.size(), r.median, r.worst, e.median, e.worst);
    }

private:
    Target target_;
    std::string label_;
    std::unique_ptr<tvn::frmMain> form_;
    std::vector<double> read_, shown_;
    int children_ = 0;
};

// The runs of several benches taken in turns.
void takeTurns(const std::vector<LevelBench*>& benches) {
    for (int run = 0; run <= kRuns; ++run)
        for (LevelBench* bench : benches) bench->run(run > 0);
    for (const LevelBench* bench : benches) bench->print();
}

void slapdFigures(const fs::path& folder) {
    std::printf("\n== a level of %zu workstations on slapd\n", kLevel);
    const fs::path ktrLdif = folder / "level-ktr.ldif";
    const fs::path standardLdif = folder / "level-standard.ldif";
    benchdir::writeLevel(ktrLdif, kLevel, benchdir::LevelForm::Ktr);
    benchdir::writeLevel(standardLdif, kLevel, benchdir::LevelForm::Standard);
    std::optional<LdapServer> servers[2];
    for (const bool standard : {false, true}) {
        setenv("LDAP_DEMO_SCHEMA", standard ? "standard" : "ktr", 1);
        const auto start = Clock::now();
        servers[standard] = startSlapd(folder / (standard ? "slapd-standard" : "slapd-ktr"),
                                       standard ? standardLdif : ktrLdif, "bench_mapped");
        if (!servers[standard]) std::exit(1);
        std::printf("slapd (%s) ready in %.0f ms\n", standard ? "standard" : "ktr", msSince(start));
    }
    unsetenv("LDAP_DEMO_SCHEMA");
    {
        const LdapServer& ktr = *servers[0];
        const LdapServer& standard = *servers[1];
        LevelBench ktrBench({ktr.url, ktr.bindDn, ktr.password(), {}, {}}, "slapd (ktr)");
        LevelBench standardBench({standard.url, standard.bindDn, standard.password(), {}, {}},
                                 "slapd (standard)");
        takeTurns({&ktrBench, &standardBench});
        figure("slapd level 10k standard/ktr", standardBench.shown() / ktrBench.shown(), "x", 1.2);
    }
    for (const bool standard : {false, true})
        stopLdapServer(folder / (standard ? "slapd-standard" : "slapd-ktr"));
}

// ---- 3. Samba's domain controller ----

// Values of the attribute type in LDIF text (unwrapped), base64 decoded.
std::vector<std::string> ldifValues(const std::string& text, std::string_view type) {
    std::vector<std::string> values;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (line.size() <= type.size() + 1 || line.substr(0, type.size()) != type) continue;
        const std::string_view rest = line.substr(type.size());
        if (rest.substr(0, 3) == ":: ") {
            values.push_back(
                QByteArray::fromBase64(QByteArray(rest.data() + 3, rest.size() - 3)).toStdString());
        } else if (rest.substr(0, 2) == ": ") {
            values.emplace_back(rest.substr(2));
        }
    }
    return values;
}

// Whether anything listens on one of Active Directory's fixed ports.
bool adPortsFree() {
    const auto listening = output("ss -Hltn 2>/dev/null");
    if (!listening) return false;
    std::size_t at = 0;
    while (at < listening->size()) {
        std::size_t end = listening->find('\n', at);
        if (end == std::string::npos) end = listening->size();
        const std::string line = listening->substr(at, end - at);
        at = end + 1;
        // State, Recv-Q, Send-Q, then the local address and port.
        std::size_t field = 0, pos = 0;
        std::string local;
        while (pos < line.size() && field < 4) {
            const std::size_t start = line.find_first_not_of(" \t", pos);
            if (start == std::string::npos) break;
            pos = line.find_first_of(" \t", start);
            if (pos == std::string::npos) pos = line.size();
            if (++field == 4) local = line.substr(start, pos - start);
        }
        const std::string port = local.substr(local.rfind(':') + 1);
        if (port == "389" || port == "636" || port == "3268" || port == "3269") return false;
    }
    return true;
}

void sambaFigures(const fs::path& folder) {
    std::printf("\n== a level of %zu computers on Samba's domain controller\n", kLevel);
    const fs::path ldif = folder / "level-ad.ldif";
    const fs::path server = folder / "ad";
    benchdir::writeLevel(ldif, kLevel, benchdir::LevelForm::ActiveDirectory);
    const SambaServer samba(server, ldif, "bench_mapped");
    Target target;
    target.url = samba.url;
    target.bindDn = samba.bindDn;
    target.password = samba.password;
    target.caFile = samba.caFile;
    target.treeName = "Bench";
    LevelBench ours(target, "samba (activedirectory)");

    // ldapsearch for the same level, with the filter and attribute types the
    // control asks for: the tree's classes through the activedirectory
    // mapping, every user attribute and hasSubordinates.
    const std::string base = "OU=Hosts,OU=Level,DC=corptree,DC=test";
    const std::string filter =
        "(|(objectClass=computer)(|(objectClass=user)(objectClass=inetOrgPerson))"
        "(|(objectClass=organizationalUnit)(objectClass=container)(objectClass=builtinDomain)))";
    const std::string ldapsearch = "LDAPTLS_CACERT=" + shellQuoted(target.caFile) +
                                   " ldapsearch -x -LLL -ZZ -o ldif-wrap=no -H " +
                                   shellQuoted(samba.url) + " -D " + shellQuoted(target.bindDn) + " -y " +
                                   shellQuoted((server / "bind-password").string());
    const std::string level = ldapsearch + " -E pr=1000/noprompt -b " + shellQuoted(base) +
                              " -s one " + shellQuoted(filter) + " '*' hasSubordinates";
    std::vector<double> theirs;
    std::size_t found = 0;
    // In turns with the control's runs.
    for (int run = 0; run <= kRuns; ++run) {
        ours.run(run > 0);
        auto start = Clock::now();
        const auto out = output(level);
        const double ms = msSince(start);
        if (!out) fail("ldapsearch of the level failed");
        found = 0;
        for (std::size_t at = out->find("dn: "); at != std::string::npos;
             at = out->find("\ndn: ", at + 1))
            ++found;
        if (run > 0) theirs.push_back(ms);
    }
    if (found != kLevel)
        fail("ldapsearch found " + std::to_string(found) + " entries in the level");
    ours.print();
    const Stats t = stats(theirs);
    std::printf("ldapsearch -E pr=1000 -ZZ:      %8.1f ms  [%.1f], %zu entries (a process)\n",
                t.median, t.worst, found);

    // The subschema the control reads on opening the server.
    const auto schema =
        output(ldapsearch + " -b CN=Aggregate,CN=Schema,CN=Configuration," +
               "DC=corptree,DC=test -s base '(objectClass=*)' attributeTypes objectClasses");
    if (!schema) fail("ldapsearch of the subschema failed");
    const std::vector<std::string> types = ldifValues(*schema, "attributeTypes");
    const std::vector<std::string> classes = ldifValues(*schema, "objectClasses");
    const std::vector<std::string_view> typeViews(types.begin(), types.end());
    const std::vector<std::string_view> classViews(classes.begin(), classes.end());
    const auto mapping = dir::builtinMapping("activedirectory");
    std::vector<double> parse;
    for (int run = 0; run < 4 * kRuns; ++run) {
        const auto start = Clock::now();
        const dir::Schema parsed = dir::Schema::parse(typeViews, classViews, mapping);
        parse.push_back(msSince(start));
        if (!parsed.mapped()) fail("the subschema was not read through the mapping");
    }
    const Stats p = stats(parse);
    std::printf("Schema::parse of %zu attribute types and %zu classes: %.1f ms [%.1f]\n",
                types.size(), classes.size(), p.median, p.worst);

    figure("samba level 10k (control)", ours.shown(), "ms", 500);
    figure("samba level 10k (ldapsearch)", t.median, "ms", 500);
    figure("samba subschema parse", p.median, "ms", 100);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t entries = 100000;
    bool load = true, slapd = true, ad = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-ad") {
            ad = false;
        } else if (arg == "--only" && i + 1 < argc &&
                   (std::string_view(argv[i + 1]) == "load" ||
                    std::string_view(argv[i + 1]) == "slapd" ||
                    std::string_view(argv[i + 1]) == "samba")) {
            const std::string_view part = argv[++i];
            load = part == "load";
            slapd = part == "slapd";
            ad = part == "samba";
        } else if (const long n = std::atol(argv[i]); n > 0) {
            entries = static_cast<std::size_t>(n);
        } else {
            std::fprintf(stderr,
                         "usage: bench_mapped [entries] [--no-ad] [--only load|slapd|samba]\n");
            return 2;
        }
    }
    // slapd, slapadd and samba live in sbin, which a user's PATH may lack.
    setenv("PATH",
           (std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin") + ":/usr/sbin:/sbin")
               .c_str(),
           1);
    // The servers end with this process, even when it is interrupted, and
    // both slapd servers have the same settings.
    const std::string self = std::to_string(getpid());
    setenv("LDAP_DEMO_OWNER", self.c_str(), 1);
    setenv("AD_DEMO_OWNER", self.c_str(), 1);
    for (const char* setting : {"LDAP_DEMO_INDEX", "LDAP_DEMO_SIZELIMIT", "LDAP_DEMO_TLS"})
        unsetenv(setting);
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-mapped";
    fs::create_directories(folder);
    if (load) loadFigures(entries, folder);
    if (!slapd && !ad) return 0;

    // The control is registered once; its source is the server of each part.
    if (!useDirectoryControl(folder, folder / "level-ktr.ldif", "bench_mapped")) return 1;
    QApplication app(argc, argv);
    if (slapd) slapdFigures(folder);
    if (!ad) return 0;
    if (!output("command -v samba >/dev/null && command -v ldbadd >/dev/null")) {
        std::printf("samba skipped: Samba's domain controller is not installed\n");
        return 0;
    }
    const fs::path adFolder = folder / "ad";
    const bool oursRuns = adDemo(adFolder, folder / "level-ad.ldif", "status");
    if (!oursRuns && !adPortsFree()) {
        std::printf("samba skipped: a port of 389, 636, 3268 and 3269 is taken\n");
        return 0;
    }
    sambaFigures(folder);
    return 0;
}
