// Speed of tvn's workstation database on a generated directory of 100,000
// workstations, read through the real directory control as tvn reads it:
//   - makeDB below the tree root: the search, one entry and its addresses per
//     workstation, the new file written, made durable and put in place;
//   - the worst lookup: StartRemoteAction for a user with two addresses that
//     no workstation has, so that the whole file is read and searched for
//     both (the directory entry, the file, the list items); and the search
//     of the file alone for one key.
// Usage: bench_lookup [runs]   (default 5; run a Release build)
#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "../directory/generator.h"
#include "../directorycontrol.h"
#include "../timing.h"
#include "app/actions/RemoteActions.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/UserWorkstations.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/forms/keyedlistview.h"

namespace fs = std::filesystem;
namespace pa = platform::automation;
using benchtiming::Clock;
using benchtiming::msSince;
using benchtiming::stats;
using benchtiming::Stats;
using benchtiming::threadCpuMs;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-lookup";
    fs::create_directories(folder);
    const fs::path ldif = folder / "lookup.ldif";
    // 1,000 units of 200 leaves, every second one a workstation.
    const benchdir::GeneratedShape shape = benchdir::writeDirectory(ldif, 201045);
    std::ofstream(ldif, std::ios::app)
        << "dn: cn=Probe,dc=Bench\nobjectClass: top\nobjectClass: ktrUser\ncn: Probe\n"
           "surname: Probe\nnetworkAddress: IPX 0000FFFF:FFFFFFFFFFFF:4003\n"
           "networkAddress: TCP 192.0.2.1\n\n";
    if (!useDirectoryControl(folder, ldif, "bench_lookup")) return 1;

    QApplication app(argc, argv);
    tvn::frmMain form(platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath()));
    form.treeName = "Bench";
    form.dbDirectory = QString::fromStdString(folder.string()).replace('/', '\\');
    form.options.buildContext = "KTR:\\\\Bench";
    auto control = [](const QString& filter) {
        auto binding = std::make_unique<tvn::KDDirCtrl>(pa::createObject(tvn::KDDirCtrl::kProgId));
        binding->setClassFilter(filter);
        return binding;
    };
    auto start = Clock::now();
    form.KDDirWSdb = control("Workstation");
    form.KDDirWSdb->onSearchCompleted(
        [&](const pa::Variant& results) { form.KDDirWSdb_SearchCompleted(results); });
    form.KDDirWSAddress = control("User");
    form.KDDirWSAddress->OpenEntry("KTR:\\\\Bench");
    std::printf("generated %zu entries, %zu workstations; directory loaded in %.0f ms\n",
                shape.entries, shape.workstations, msSince(start));

    std::vector<double> builds;
    for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        tvn::makeDB(form);
        builds.push_back(msSince(start));
    }
    const fs::path file = folder / "Bench.lst";
    const Stats b = stats(builds);
    std::printf(
        "\n== makeDB, %zu workstations (%s; %.1f MB)\n"
        "build:                 median %8.0f ms  worst %.0f ms   (target 3000 ms)\n",
        shape.workstations, form.statusText().toUtf8().constData(),
        static_cast<double>(fs::file_size(file)) / 1e6, b.median, b.worst);

    form.cmbServerlist->setCurrentText("FS1");
    std::vector<double> lookups, lookupsCpu, scans;
    for (int run = 0; run < runs * 4; ++run) {
        start = Clock::now();
        const double cpu = threadCpuMs();
        tvn::RemoteActions::StartRemoteAction(form, "KTR:\\\\Bench\\Probe");
        lookups.push_back(msSince(start));
        lookupsCpu.push_back(threadCpuMs() - cpu);
        const std::string contents = tvn::readDatabase(form);
        start = Clock::now();
        const bool found =
            tvn::WorkstationDatabase::findWorkstation(contents, "192.0.2.1").has_value();
        scans.push_back(msSince(start));
        if (found || form.lstMultiple->count() != 2) {
            std::fprintf(stderr, "bench_lookup: the probe's addresses were found\n");
            return 1;
        }
    }
    const Stats l = stats(lookups), c = stats(lookupsCpu), s = stats(scans);
    std::printf(
        "\n== the worst lookup: a user with two addresses that no workstation has\n"
        "StartRemoteAction:       median %6.1f ms  worst %.1f ms   (target 20 ms)\n"
        "  its CPU time:          median %6.1f ms  worst %.1f ms\n"
        "one key, file in memory: median %6.1f ms  worst %.1f ms\n",
        l.median, l.worst, c.median, c.worst, s.median, s.worst);
    fs::remove_all(folder);
    return 0;
}
