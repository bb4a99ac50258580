// Speed of tvn on live servers, each figure beside ldapsearch -E pr=1000
// (a process, paging 1,000 entries at a time) asking the same server the
// same in the same run:
//   - a level of 100,000 workstations on slapd, read and shown in tvn's
//     remote-action tree through the real directory control, against
//     ldapsearch for that level with the attribute types the control asks
//     for (the class and hasSubordinates);
//   - "*" typed in tvn's window on a slapd of 1,000,000 entries: the first
//     rows of the result list, the longest the window stalls while the list
//     is scrolled to its end (reading further pages), and how much memory
//     the whole list took; against ldapsearch's first entry and its whole
//     answer for the same filter;
//   - where Samba's domain controller is installed and Active Directory's
//     ports are free: the level of workstations on it (no hasSubordinates),
//     against ldapsearch -ZZ for that level.
// Usage: bench_server [star entries] [--level N] [--samba-level N]
//                     [--no-samba] [--only level|star|samba]
//   (defaults 1000000, 100000, 10000; run a Release build)
// The servers stay made in <tmp>/tvn-bench-server for the next run, which
// then spares loading them; they stop when the benchmark ends.
#include <unistd.h>

#include <QApplication>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../directory/generator.h"
#include "../directorycontrol.h"
#include "../ldapserver.h"
#include "../timing.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/keyedtree.h"
#include "platform/registry/store.h"

namespace fs = std::filesystem;
using benchtiming::Clock;
using benchtiming::figure;
using benchtiming::msSince;
using benchtiming::stats;
using benchtiming::Stats;

namespace {

constexpr int kRuns = 3;
constexpr const char* kControlKey = "Software\\KDDirLib\\KDDirCtrl";
const QString kLevelKey = "KTR:\\\\Bench\\Level\\Hosts";
const QString kParentKey = "KTR:\\\\Bench\\Level";

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "bench_server: %s\n", why.c_str());
    std::exit(1);
}

// A command's run: how long until it printed its first line starting with
// "dn:", how long in all, and how many such lines; nullopt when it failed.
struct Peer {
    double firstMs = 0;
    double allMs = 0;
    std::size_t entries = 0;
};
std::optional<Peer> timedPeer(const std::string& command) {
    const auto start = Clock::now();
    FILE* out = popen(command.c_str(), "r");
    if (!out) return std::nullopt;
    Peer peer;
    char buffer[8192];
    bool lineStart = true;
    while (std::fgets(buffer, sizeof buffer, out)) {
        if (lineStart && std::string_view(buffer).starts_with("dn:")) {
            if (peer.entries++ == 0) peer.firstMs = msSince(start);
        }
        const std::size_t n = std::strlen(buffer);
        lineStart = n > 0 && buffer[n - 1] == '\n';
    }
    if (pclose(out) != 0) return std::nullopt;
    peer.allMs = msSince(start);
    return peer;
}

long rssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// What the control reads: a server's URL and account, for Active Directory
// StartTLS with its CA and the tree's name.
struct Target {
    std::string url;
    std::string bindDn;
    std::string password;
    std::string caFile;
    std::string treeName;
    std::string passwordFile;

    void use() const {
        platform::registry::Store store;
        store.setValue(kControlKey, "BindDN", bindDn);
        store.setValue(kControlKey, "BindPassword", password);
        if (caFile.empty()) {
            store.deleteValue(kControlKey, "StartTLS");
            store.deleteValue(kControlKey, "CACertificateFile");
        } else {
            store.setValue(kControlKey, "StartTLS", "1");
            store.setValue(kControlKey, "CACertificateFile", caFile);
        }
        if (treeName.empty())
            store.deleteValue(kControlKey, "TreeName");
        else
            store.setValue(kControlKey, "TreeName", treeName);
        setenv("KDDIR_SOURCE", url.c_str(), 1);
    }
    std::string ldapsearch() const {
        std::string command = "ldapsearch -x -LLL -o ldif-wrap=no -E pr=1000/noprompt -H " +
                              shellQuoted(url) + " -D " + shellQuoted(bindDn) + " -y " +
                              shellQuoted(passwordFile);
        if (!caFile.empty())
            command = "LDAPTLS_CACERT=" + shellQuoted(caFile) + " " + command + " -ZZ";
        return command;
    }
};

Target slapdTarget(const LdapServer& server) {
    return {server.url, server.bindDn, server.password(), {}, {}, server.passwordFile};
}

// tvn's main window on the target's server, with the controls it reads
// through as it starts them.
std::unique_ptr<tvn::frmMain> window(const Target& target) {
    target.use();
    auto form = std::make_unique<tvn::frmMain>(
        platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath()));
    form->treeName = "Bench";
    const auto control = [](const char* filter) {
        auto ctrl = std::make_unique<tvn::KDDirCtrl>(
            platform::automation::createObject(tvn::KDDirCtrl::kProgId));
        ctrl->setClassFilter(filter);
        return ctrl;
    };
    form->KDDirRCTree =
        control("Country, Organization, Organizational Unit, User, Alias, Workstation");
    form->KDDirUser = control("Country, Organization, Organizational Unit");
    form->KDDirUser->onSearchCompleted(
        [f = form.get()](const platform::automation::Variant& results) {
            f->KDDirUser_SearchCompleted(results);
        });
    form->KDDirWSAddress = control("User");
    tvn::BuildKTRLayoutList(*form);
    form->resize(900, 700);
    form->show();
    QApplication::processEvents();
    return form;
}

// ---- A level read and shown in the tree ----

// Median ms of the level expanded and painted in tvn's tree (the tree made
// anew each run, its parent expanded first, so that only the level is timed).
double levelShown(tvn::frmMain& form, std::size_t children, const char* label) {
    std::vector<double> shown;
    for (int run = 0; run <= kRuns; ++run) {
        form.KDDirRCTree->OpenEntry(kParentKey);  // a connection made anew is not timed
        tvn::BrowseStartRC(form);
        QApplication::processEvents();
        QTreeWidgetItem* parent = form.TreeViewRC->node(kParentKey);
        if (!parent) fail(std::string(label) + ": the tree shows no " + kParentKey.toStdString());
        parent->setExpanded(true);
        QApplication::processEvents();
        QTreeWidgetItem* node = form.TreeViewRC->node(kLevelKey);
        if (!node) fail(std::string(label) + ": the tree shows no " + kLevelKey.toStdString());
        form.TreeViewRC->scrollToItem(node);
        QApplication::processEvents();
        const auto start = Clock::now();
        node->setExpanded(true);
        QApplication::processEvents();
        const double ms = msSince(start);
        if (static_cast<std::size_t>(node->childCount()) != children)
            fail(std::string(label) + ": the level shows " + std::to_string(node->childCount()) +
                 " children, not " + std::to_string(children));
        if (run > 0) shown.push_back(ms);  // the first warms server and connection
    }
    const Stats s = stats(shown);
    std::printf("%s: expanded and painted %8.1f ms [%.1f]\n", label, s.median, s.worst);
    return s.median;
}

double peerLevel(const Target& target, const std::string& base, const std::string& filter,
                 const std::string& attributes, std::size_t children, const char* label) {
    const std::string command = target.ldapsearch() + " -b " + shellQuoted(base) + " -s one " +
                                shellQuoted(filter) + " " + attributes;
    std::vector<double> times;
    for (int run = 0; run <= kRuns; ++run) {
        const auto peer = timedPeer(command);
        if (!peer) fail(std::string("ldapsearch of the level failed: ") + command);
        if (peer->entries != children)
            fail(std::string(label) + ": ldapsearch found " + std::to_string(peer->entries) +
                 " entries in the level");
        if (run > 0) times.push_back(peer->allMs);
    }
    const Stats s = stats(times);
    std::printf("%s: %8.1f ms [%.1f], %zu entries (a process)\n", label, s.median, s.worst,
                children);
    return s.median;
}

void printRatio(const char* name, double ours, double peer, double target) {
    figure(name, ours / peer, "x", target);
}

void slapdLevel(const fs::path& folder, std::size_t children) {
    std::printf("\n== a level of %zu workstations on slapd\n", children);
    const fs::path ldif = folder / ("level-" + std::to_string(children) + ".ldif");
    if (!fs::exists(ldif)) benchdir::writeLevel(ldif, children, benchdir::LevelForm::Ktr);
    const auto start = Clock::now();
    const auto server =
        startSlapd(folder / ("slapd-level-" + std::to_string(children)), ldif, "bench_server");
    if (!server) std::exit(1);
    std::printf("slapd ready in %.0f ms\n", msSince(start));
    const Target target = slapdTarget(*server);
    double ours = 0;
    {
        auto form = window(target);
        ours = levelShown(*form, children, "tvn (slapd)");
    }
    const double peer =
        peerLevel(target, "ou=Hosts,o=Level,dc=Bench", "(objectClass=*)",
                  "objectClass hasSubordinates", children, "ldapsearch -E pr=1000 (slapd)");
    const std::string k = std::to_string(children / 1000) + "k";
    figure(("slapd level " + k + " (tvn)").c_str(), ours, "ms", 1000);
    figure(("slapd level " + k + " (ldapsearch)").c_str(), peer, "ms", 1000);
    printRatio(("slapd level " + k + " tvn/ldapsearch").c_str(), ours, peer, 1.5);
    stopLdapServer(folder / ("slapd-level-" + std::to_string(children)));
}

// ---- "*" on a large server ----

void slapdStar(const fs::path& folder, std::size_t entries) {
    std::printf("\n== \"*\" on slapd of %zu entries\n", entries);
    const fs::path ldif = folder / ("star-" + std::to_string(entries) + ".ldif");
    const fs::path serverDir = folder / ("slapd-star-" + std::to_string(entries));
    if (!fs::exists(ldif)) {
        const auto shape = benchdir::writeDirectory(ldif, entries, benchdir::Flavour::Ktr);
        std::printf("%zu entries: %zu users, %zu workstations\n", shape.entries, shape.users,
                    shape.workstations);
    }
    auto start = Clock::now();
    const auto server = startSlapd(serverDir, ldif, "bench_server");
    if (!server) std::exit(1);
    std::printf("slapd ready in %.0f ms (slapadd -q took %s ms when made)\n", msSince(start),
                firstLine(serverDir / "slapadd-ms").c_str());
    const Target target = slapdTarget(*server);

    double first = 0, longest = 0, all = 0;
    long grown = 0;
    int rows = 0, firstRows = 0;
    {
        auto form = window(target);
        form->currentContext = "KTR:\\\\Bench";
        form->KDDirUser->OpenEntry("KTR:\\\\Bench");  // the connection is made before
        QApplication::processEvents();
        const long before = rssKiB();
        form->resultListFlag = false;
        form->ImageCombo1->setEditText("*");
        start = Clock::now();
        form->cmdRC_Click();
        QApplication::processEvents();
        first = msSince(start);
        platform::forms::KeyedListView& list = *form->lstMultiple;
        firstRows = list.count();
        if (firstRows < 2) fail("the list shows " + std::to_string(firstRows) + " rows");
        // Scrolled to its end, again and again, as fast as the list lets one.
        std::vector<double> steps;
        while (true) {
            const int had = list.count();
            const auto step = Clock::now();
            list.scrollToBottom();
            QApplication::processEvents();
            steps.push_back(msSince(step));
            longest = std::max(longest, steps.back());
            if (list.count() == had && !list.model()->canFetchMore({})) break;
        }
        all = msSince(start);
        std::sort(steps.begin(), steps.end());
        std::printf("%zu scrolls to the end: median %.1f ms, 99th percentile %.1f ms\n",
                    steps.size(), steps[steps.size() / 2], steps[steps.size() * 99 / 100]);
        rows = list.count();
        grown = rssKiB() - before;
        if (!form->statusText().isEmpty())
            std::printf("the status bar says: %s\n", form->statusText().toStdString().c_str());
    }
    std::printf(
        "tvn: first %d rows in %.1f ms; all %d rows in %.1f ms; the longest stall while "
        "scrolling %.1f ms; memory grew by %.1f MiB\n",
        firstRows, first, rows, all, longest, static_cast<double>(grown) / 1024.0);

    const auto peer = timedPeer(
        target.ldapsearch() + " -b dc=Bench -s sub " +
        shellQuoted("(|(objectClass=ktrUser)(objectClass=ktrWorkstation))") + " objectClass");
    if (!peer) fail("ldapsearch of the whole tree failed");
    std::printf("ldapsearch -E pr=1000: first entry in %.1f ms, all %zu in %.1f ms (a process)\n",
                peer->firstMs, peer->entries, peer->allMs);
    if (peer->entries != static_cast<std::size_t>(rows))
        fail("tvn listed " + std::to_string(rows) + " hits, ldapsearch found " +
             std::to_string(peer->entries));

    const std::string m = entries >= 1000000 ? std::to_string(entries / 1000000) + "M"
                                             : std::to_string(entries / 1000) + "k";
    figure(("slapd * " + m + " first rows (tvn)").c_str(), first, "ms", 1000);
    figure(("slapd * " + m + " first (ldapsearch)").c_str(), peer->firstMs, "ms", 1000);
    figure(("slapd * " + m + " longest stall").c_str(), longest, "ms", 200);
    figure(("slapd * " + m + " memory growth").c_str(), static_cast<double>(grown) / 1024.0, "MiB",
           200);
    stopLdapServer(serverDir);
}

// ---- Samba's domain controller ----

void sambaLevel(const fs::path& folder, std::size_t children) {
    std::printf("\n== a level of %zu computers on Samba's domain controller\n", children);
    const fs::path ldif = folder / ("level-ad-" + std::to_string(children) + ".ldif");
    const fs::path server = folder / ("ad-" + std::to_string(children));
    if (!fs::exists(ldif))
        benchdir::writeLevel(ldif, children, benchdir::LevelForm::ActiveDirectory);
    const SambaServer samba(server, ldif, "bench_server");
    Target target;
    target.url = samba.url;
    target.bindDn = samba.bindDn;
    target.password = samba.password;
    target.passwordFile = samba.passwordFile;
    target.caFile = samba.caFile;
    target.treeName = "Bench";
    double ours = 0;
    {
        auto form = window(target);
        ours = levelShown(*form, children, "tvn (samba)");
    }
    // The tree's classes through the activedirectory mapping, as the control
    // asks for them.
    const std::string filter =
        "(|(objectClass=computer)(|(objectClass=user)(objectClass=inetOrgPerson))"
        "(|(objectClass=organizationalUnit)(objectClass=container)(objectClass=builtinDomain)))";
    const double peer =
        peerLevel(target, "OU=Hosts,OU=Level,DC=corptree,DC=test", filter,
                  "objectClass hasSubordinates", children, "ldapsearch -E pr=1000 -ZZ (samba)");
    const std::string k = std::to_string(children / 1000) + "k";
    printRatio(("samba level " + k + " tvn/ldapsearch").c_str(), ours, peer, 1.5);
}

bool sambaUsable() {
    return std::system("command -v samba >/dev/null && command -v ldbadd >/dev/null") == 0 &&
           std::system(
               "! ss -Hltn 2>/dev/null | awk '{print $4}' | "
               "grep -Eq ':(389|636|3268|3269)$'") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t starEntries = 1000000, levelChildren = 100000, sambaChildren = 10000;
    bool level = true, star = true, samba = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--level" && i + 1 < argc) {
            levelChildren = static_cast<std::size_t>(std::atol(argv[++i]));
        } else if (arg == "--samba-level" && i + 1 < argc) {
            sambaChildren = static_cast<std::size_t>(std::atol(argv[++i]));
        } else if (arg == "--no-samba") {
            samba = false;
        } else if (arg == "--only" && i + 1 < argc) {
            const std::string part = argv[++i];
            level = part == "level";
            star = part == "star";
            samba = part == "samba";
            if (!level && !star && !samba) fail("--only takes level, star or samba");
        } else if (const long n = std::atol(argv[i]); n > 0) {
            starEntries = static_cast<std::size_t>(n);
        } else {
            std::fprintf(stderr,
                         "usage: bench_server [star entries] [--level N] [--samba-level N] "
                         "[--no-samba] [--only level|star|samba]\n");
            return 2;
        }
    }
    if (levelChildren == 0 || sambaChildren == 0) fail("a level needs children");
    // slapd, slapadd and samba live in sbin, which a user's PATH may lack.
    setenv("PATH",
           (std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin") + ":/usr/sbin:/sbin")
               .c_str(),
           1);
    // The servers end with this process, even when it is interrupted.
    const std::string self = std::to_string(getpid());
    setenv("LDAP_DEMO_OWNER", self.c_str(), 1);
    setenv("AD_DEMO_OWNER", self.c_str(), 1);
    for (const char* setting :
         {"LDAP_DEMO_INDEX", "LDAP_DEMO_SIZELIMIT", "LDAP_DEMO_TLS", "LDAP_DEMO_SCHEMA"})
        unsetenv(setting);
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-server";
    fs::create_directories(folder);
    const fs::path registryLdif = folder / "registry.ldif";
    if (!fs::exists(registryLdif)) benchdir::writeLevel(registryLdif, 1, benchdir::LevelForm::Ktr);
    if (!useDirectoryControl(folder, registryLdif, "bench_server")) return 1;
    QApplication app(argc, argv);
    if (level) slapdLevel(folder, levelChildren);
    if (star) slapdStar(folder, starEntries);
    if (samba) {
        if (!sambaUsable())
            std::printf(
                "samba skipped: Samba is not installed or a port of 389, 636, 3268 "
                "and 3269 is taken\n");
        else
            sambaLevel(folder, sambaChildren);
    }
    return 0;
}
