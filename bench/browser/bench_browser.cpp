// Speed of tvn's remote-action tree and attribute view on a generated
// directory, read through the real directory control as tvn reads it:
//   - expanding a container of 10,000 and of 100,000 children (read, build,
//     sort, and the view's first paint of the level);
//   - opening the same level again, which must read nothing (the calls that
//     reach the directory control are counted);
//   - getKTRinfo for an object with 20 checked attributes.
// Usage: bench_browser [runs]   (default 5; run a Release build)
#include <QApplication>
#include <QTreeWidgetItem>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../directorycontrol.h"
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
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-browser";
    fs::create_directories(folder);
    const fs::path ldif = folder / "browser.ldif";
    writeDirectory(ldif);
    if (!useDirectoryControl(folder, ldif, "bench_browser")) return 1;

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
    fs::remove_all(folder);
    return 0;
}
