// Speed of tvn's remote-action tree and attribute view on a generated
// directory, read through the real directory control as tvn reads it:
//   - expanding a container of 10,000 and of 100,000 children (read, build,
//     sort, and the view's first paint of the level);
//   - opening the same level again, which must read nothing (the calls that
//     reach the directory control are counted);
//   - getKTRinfo for an object with 20 checked attributes.
// With --ldap the same directory is served by a private slapd
// (scripts/ldap-demo) and read through the control's LDAP source; a name
// search of 100 hits is then timed beside ldapsearch -z 100 with the filter
// the control sends.
// Usage: bench_browser [runs] [--ldap]   (default 5; run a Release build)
#include <QApplication>
#include <QTreeWidgetItem>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../directorycontrol.h"
#include "../ldapserver.h"
#include "../timing.h"
#include "app/browser/AttributeView.h"
#include "app/browser/treeExp.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/automation/forwarder.h"
#include "platform/forms/keyedlist.h"
#include "platform/forms/keyedtree.h"

namespace fs = std::filesystem;
namespace pa = platform::automation;
using benchtiming::Clock;
using benchtiming::msSince;
using benchtiming::stats;
using benchtiming::Stats;
using benchtiming::threadCpuMs;
using platform::forms::KeyedList;
using platform::forms::KeyedTree;

namespace {

constexpr int kUserFields = 22;

// A user layout of kUserFields fields (cn, surname and f1..f20), containers,
// workstations; two organizations of 10k and 100k children in shuffled
// name order, one child in ten a unit holding one workstation.
void writeDirectory(const fs::path& file) {
    std::ofstream out(file);
    out << "version: 1\n\ndn: cn=Subschema\nobjectClass: top\nobjectClass: subschema\n"
           "attributeTypes: ( 2.5.4.0 NAME 'objectClass' )\n"
           "attributeTypes: ( 0.9.2342.19200300.100.1.25 NAME 'dc' )\n"
           "attributeTypes: ( 2.5.4.10 NAME 'o' X-KTR-NAME 'Organization Name' )\n"
           "attributeTypes: ( 2.5.4.11 NAME 'ou' X-KTR-NAME 'Organizational Unit Name' )\n"
           "attributeTypes: ( 2.5.4.3 NAME 'cn' X-KTR-NAME 'CN' )\n"
           "attributeTypes: ( 2.5.4.4 NAME 'surname' X-KTR-NAME 'Surname' )\n";
    std::string fields;
    for (int f = 1; f <= kUserFields - 2; ++f) {
        out << "attributeTypes: ( 1.3.6.1.4.1.99999.9." << f << " NAME 'f" << f
            << "' X-KTR-NAME 'Field " << f << "' )\n";
        fields += (f > 1 ? " $ f" : "f") + std::to_string(f);
    }
    out << "objectClasses: ( 2.5.6.0 NAME 'top' ABSTRACT MUST objectClass )\n"
           "objectClasses: ( 2.5.6.4 NAME 'organization' SUP top STRUCTURAL MUST o "
           "X-KTR-NAME 'Organization' )\n"
           "objectClasses: ( 2.5.6.5 NAME 'organizationalUnit' SUP top STRUCTURAL MUST ou "
           "X-KTR-NAME 'Organizational Unit' )\n"
           "objectClasses: ( 1.3.6.1.4.1.99999.2.1 NAME 'ktrUser' SUP top STRUCTURAL MUST "
           "( cn $ surname ) MAY ( "
        << fields
        << " ) X-KTR-NAME 'User' )\n"
           "objectClasses: ( 1.3.6.1.4.1.99999.2.2 NAME 'ktrWorkstation' SUP top STRUCTURAL "
           "MUST cn X-KTR-NAME 'Workstation' )\n\n"
           "dn: dc=Bench\nobjectClass: top\ndc: Bench\n\n";

    std::mt19937 random(42);
    for (const auto& [org, count] : {std::pair<const char*, int>{"Small", 10000},
                                     std::pair<const char*, int>{"Large", 100000}}) {
        out << "dn: o=" << org << ",dc=Bench\nobjectClass: organization\no: " << org << "\n\n";
        std::vector<int> order(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), random);
        for (int n : order) {
            const std::string parent = std::string("o=") + org + ",dc=Bench";
            if (n % 10 == 0) {
                out << "dn: ou=Unit" << n << "," << parent
                    << "\nobjectClass: organizationalUnit\nou: Unit" << n << "\n\n"
                    << "dn: cn=WS" << n << ",ou=Unit" << n << "," << parent
                    << "\nobjectClass: ktrWorkstation\ncn: WS" << n << "\n\n";
            } else {
                // Mixed case, so that the sort has to fold it.
                out << "dn: cn=" << (n % 3 ? "user" : "User") << n << "," << parent
                    << "\nobjectClass: ktrUser\ncn: User" << n << "\nsurname: S" << n << "\n\n";
            }
        }
    }
    out << "dn: cn=Probe,o=Small,dc=Bench\nobjectClass: ktrUser\ncn: Probe\nsurname: Probe\n";
    for (int f = 1; f <= kUserFields - 2; ++f) {
        out << "f" << f << ": value " << f << "\n";
        if (f % 5 == 0) out << "f" << f << ": second value " << f << "\n";
    }
    out << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool ldap = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--ldap")
            ldap = true;
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-browser";
    fs::create_directories(folder);
    const fs::path ldif = folder / "browser.ldif";
    writeDirectory(ldif);
    if (!useDirectoryControl(folder, ldif, "bench_browser")) return 1;
    std::optional<LdapServer> server;
    if (ldap) {
        const auto started = Clock::now();
        server = startLdapServer(folder / "ldap", ldif, "bench_browser");
        if (!server) return 1;
        std::printf("slapd with the directory ready in %.0f ms (made once, then reused)\n",
                    msSince(started));
    }

    QApplication app(argc, argv);
    tvn::frmMain form(platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath()));
    form.treeName = "Bench";
    auto start = Clock::now();
    long directoryCalls = 0;
    auto control = [&](const QString& filter) {
        auto watched = pa::make<pa::Forwarder>(
            pa::createObject(tvn::KDDirCtrl::kProgId),
            [&](pa::DispId, pa::CallKind, const pa::Args&) { ++directoryCalls; });
        auto binding = std::make_unique<tvn::KDDirCtrl>(watched);
        binding->setClassFilter(filter);
        return binding;
    };
    form.KDDirRCTree =
        control("Country, Organization, Organizational Unit, User, Alias, Workstation");
    form.KDDirUser = control("Country, Organization, Organizational Unit");
    tvn::BuildKTRLayoutList(form);
    std::printf("directory loaded and attribute lists built in %.0f ms\n", msSince(start));
    form.show();
    QApplication::processEvents();
    start = Clock::now();
    tvn::BrowseStartRC(form);
    QApplication::processEvents();
    std::printf("the tree's root level read and shown in %.0f ms\n", msSince(start));

    for (const char* org : {"Small", "Large"}) {
        const QString key = QString("KTR:\\\\Bench\\") + org;
        std::vector<double> read, expand, expandCpu, paint, reopen;
        long reopenCalls = 0;
        int children = 0;
        for (int run = 0; run < runs; ++run) {
            tvn::BrowseStartRC(form);
            QApplication::processEvents();
            start = Clock::now();
            for (const tvn::KDDirEntry& entry : form.KDDirRCTree->OpenEntry(key).SubEntries()) {
                entry.EntryPath();
                entry.EntryName();
                entry.LayoutName();
                entry.hasSubEntries();
            }
            read.push_back(msSince(start));

            QTreeWidgetItem* node = form.TreeViewRC->node(key);
            form.TreeViewRC->scrollToItem(node);
            start = Clock::now();
            const double cpu = threadCpuMs();
            node->setExpanded(true);
            expand.push_back(msSince(start));
            expandCpu.push_back(threadCpuMs() - cpu);
            start = Clock::now();
            QApplication::processEvents();
            paint.push_back(msSince(start));
            children = node->childCount();

            node->setExpanded(false);
            QApplication::processEvents();
            const long before = directoryCalls;
            start = Clock::now();
            node->setExpanded(true);
            reopen.push_back(msSince(start));
            reopenCalls += directoryCalls - before;
        }
        const Stats d = stats(read), e = stats(expand), c = stats(expandCpu), p = stats(paint),
                    r = stats(reopen);
        std::printf(
            "\n== %s: %d children (median of %d runs, worst in brackets)\n"
            "the level's reads alone:        %8.1f ms  [%.1f]\n"
            "expand (read, build, sort):     %8.1f ms  [%.1f]\n"
            "  of it on this thread's CPU:   %8.1f ms  [%.1f]\n"
            "first paint of the level:       %8.1f ms  [%.1f]\n"
            "expand and paint:               %8.1f ms\n"
            "open again:                     %8.3f ms  [%.3f], %ld calls to the directory\n",
            org, children, runs, d.median, d.worst, e.median, e.worst, c.median, c.worst, p.median,
            p.worst, e.median + p.median, r.median, r.worst, reopenCalls);
    }

    const QString probe = "KTR:\\\\Bench\\Small\\Probe";
    KeyedList* users = form.lstKTRInfoSelect[0];
    int checked = 0;
    for (int row = 0; row < users->count(); ++row) {
        const QString field = users->itemAt(row)->text(0);
        const bool wanted = field.startsWith("Field ");
        KeyedList::setChecked(users->itemAt(row), wanted);
        checked += wanted;
    }
    std::vector<double> info;
    for (int run = 0; run < 1000; ++run) {
        start = Clock::now();
        tvn::getKTRinfo(form, probe);
        info.push_back(msSince(start));
    }
    const Stats i = stats(info);
    std::printf(
        "\n== getKTRinfo: %d checked attributes, %d rows (1000 runs)\n"
        "fill the view:                  %8.3f ms  [%.3f]\n",
        checked, form.lvwKTRinfo->count(), i.median, i.worst);

    if (server) {
        // The control's search and ldapsearch with the same filter, base and
        // limit: 100 hits (User123, User1231 to 1239, User12301 to 12399 but
        // for the units' tens).
        const std::string pattern = "User123";
        std::string names;
        for (const char* type : {"cn", "ou", "o", "c", "l", "dc", "uid"})
            names += std::string("(") + type + "=" + pattern + "*)";
        const std::string filter =
            "(&(|" + names + ")(|(objectClass=ktrUser)(objectClass=ktrWorkstation)))";
        const std::string command = "ldapsearch -x -LLL -H '" + server->url + "' -D '" +
                                    server->bindDn + "' -y '" + server->passwordFile +
                                    "' -b o=Large,dc=Bench -s sub -z 100 '" + filter +
                                    "' objectClass >/dev/null";
        std::vector<double> ours, theirs;
        std::size_t hits = 0;
        form.KDDirUser->onSearchCompleted([&](const pa::Variant& results) {
            hits = results.isArray() ? results.array().size() : 0;
        });
        for (int run = 0; run < runs; ++run) {
            QString context = "KTR:\\\\Bench\\Large";
            start = Clock::now();
            form.KDDirUser->StartSearch(QString::fromStdString(pattern) + "*", "User, Workstation",
                                        tvn::KDDirCtrl::kScopeSubtree, context);
            ours.push_back(msSince(start));
            start = Clock::now();
            if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ldapsearch failed\n");
            theirs.push_back(msSince(start));
        }
        const Stats o = stats(ours), t = stats(theirs);
        std::printf(
            "\n== name search %s* below Large: %zu hits (median of %d runs)\n"
            "the control's StartSearch:      %8.1f ms  [%.1f]\n"
            "ldapsearch -z 100 (a process):  %8.1f ms  [%.1f]\n",
            pattern.c_str(), hits, runs, o.median, o.worst, t.median, t.worst);
        stopLdapServer(folder / "ldap");
        return 0;  // the server's folder stays for the next run
    }
    fs::remove_all(folder);
    return 0;
}
