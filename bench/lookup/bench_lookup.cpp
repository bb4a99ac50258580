// Speed of tvn's workstation database, each figure beside its peer in the
// same run, through the real directory control as tvn reads it:
//   - makeDB of a generated directory of 100,000 workstations from the file
//     (the search, one entry and its addresses per workstation, the new file
//     written, made durable and put in place), unattended (all at once) and
//     from the shown window (in slices, with the longest time the window
//     went without handling its events);
//   - the same from a private slapd holding the same directory, against
//     ldapsearch -E pr=1000 reading the same workstations with their
//     addresses (a process, as the peer of a build);
//   - the worst lookup in a database of 1,000,000 workstations:
//     StartRemoteAction for a user with two addresses that no workstation
//     has, its index already built (the file unchanged since); how long the
//     first lookup took, which reads and indexes the file; and the lookup of
//     both keys through the index against reading the file line by line, as
//     every lookup did before it had an index.
// Prints one line per figure: name, value, unit, target, "ok" or "over"; the
// rest goes to standard error. The slapd part runs where slapd, slapadd and
// ldapsearch are installed; its server stops when this process ends.
// Usage: bench_lookup [--only file|server] [runs] [workstations] [database lines]
//   (default: both parts, 5 100000 1000000; run a Release build)
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "app/actions/RemoteActions.h"
#include "app/lookup/DatabaseIndex.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/UserWorkstations.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/Paths.h"
#include "app/shell/frmMain.h"
#include "platform/automation/create.h"
#include "platform/forms/keyedlistview.h"

namespace fs = std::filesystem;
namespace pa = platform::automation;
using benchtiming::Clock;
using benchtiming::figure;
using benchtiming::figureAtLeast;
using benchtiming::msSince;
using benchtiming::stats;
using benchtiming::Stats;

namespace {

// The probe's addresses, which no workstation of the directory or of the
// large database has.
constexpr const char* kProbeKeys[] = {"FFFFFFFFFFFF", "192.0.2.1"};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "bench_lookup: %s\n", why.c_str());
    std::exit(1);
}

// 100000 as "100k", 1000000 as "1M".
std::string shortCount(std::size_t n) {
    return n >= 1000000 && n % 1000000 == 0 ? std::to_string(n / 1000000) + "M"
                                            : std::to_string(n / 1000) + "k";
}

std::size_t linesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<std::size_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// A folder of this run, removed with everything in it when the run ends.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tvn-bench-lookup-XXXXXX").string();
        if (!mkdtemp(pattern.data())) fail("cannot make a temporary folder");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The main window on the directory that KDDIR_SOURCE names now, with the
// database folder and the build context of the tree.
class Window {
public:
    explicit Window(const fs::path& folder)
        : form_(platform::forms::Services::qt("Tolvane", QApplication::applicationDirPath())) {
        form_.treeName = "Bench";
        form_.dbDirectory = QString::fromStdString(folder.string()).replace('/', '\\');
        auto control = [](const QString& filter) {
            auto binding =
                std::make_unique<tvn::KDDirCtrl>(pa::createObject(tvn::KDDirCtrl::kProgId));
            binding->setClassFilter(filter);
            return binding;
        };
        form_.KDDirWSdb = control("Workstation");
        form_.KDDirWSdb->onSearchCompleted(
            [this](const pa::Variant& results) { form_.KDDirWSdb_SearchCompleted(results); });
        form_.KDDirWSAddress = control("User");
        form_.KDDirWSAddress->OpenEntry("KTR:\\\\Bench");
        form_.cmbServerlist->setCurrentText("FS1");
    }

    tvn::frmMain& form() { return form_; }

    // One unattended build of the tree (the window is not shown): all at once.
    double build(std::size_t workstations) {
        form_.hide();
        form_.options.buildContext = "KTR:\\\\Bench";
        const auto start = Clock::now();
        const double cpu = benchtiming::threadCpuMs();
        tvn::makeDB(form_);
        const double ms = msSince(start);
        cpuMs_.push_back(benchtiming::threadCpuMs() - cpu);
        check(workstations);
        return ms;
    }
    // The CPU time of this thread in the unattended builds, which a busy
    // machine disturbs less than the time they took.
    Stats buildCpu() const { return stats(cpuMs_); }

    struct Shown {
        double ms;
        double longestStall;
    };
    // One build from the Build button of the shown window, in slices; the
    // longest time between two turns of the event loop is its stall.
    Shown buildShown(std::size_t workstations) {
        form_.options.buildContext = "KTR:\\\\Bench";
        form_.show();
        QApplication::processEvents();
        QElapsedTimer sinceTurn;
        double longest = 0;
        QTimer turns;
        turns.setInterval(0);
        QObject::connect(&turns, &QTimer::timeout, [&] {
            longest = std::max(longest, static_cast<double>(sinceTurn.nsecsElapsed()) / 1e6);
            sinceTurn.restart();
        });
        turns.start();
        const auto start = Clock::now();
        sinceTurn.start();
        form_.cmdBuildWSdb_Click();
        longest = std::max(longest, static_cast<double>(sinceTurn.nsecsElapsed()) / 1e6);
        sinceTurn.restart();
        while (form_.databaseBuild) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = msSince(start);
        turns.stop();
        form_.hide();
        check(workstations);
        return {ms, longest};
    }

private:
    void check(std::size_t workstations) {
        const QString expected = QString("Found: %1 Workstation(s)").arg(workstations);
        if (form_.statusText() != expected)
            fail("the build said \"" + form_.statusText().toStdString() + "\"");
        const fs::path file = tvn::localPath(tvn::databaseFileName(form_));
        if (linesOf(file) != workstations) fail("the database does not list every workstation");
    }

    tvn::frmMain form_;
    std::vector<double> cpuMs_;
};

struct BuildFigures {
    Stats unattended;
    Stats unattendedCpu;
    Stats shown;
    double longestStall = 0;
};

BuildFigures buildFigures(Window& window, std::size_t workstations, int runs) {
    std::vector<double> builds, shownBuilds;
    BuildFigures out;
    for (int run = 0; run < runs; ++run) {
        builds.push_back(window.build(workstations));
        const Window::Shown shown = window.buildShown(workstations);
        shownBuilds.push_back(shown.ms);
        out.longestStall = std::max(out.longestStall, shown.longestStall);
    }
    out.unattended = stats(builds);
    out.unattendedCpu = window.buildCpu();
    out.shown = stats(shownBuilds);
    return out;
}

void printBuild(const char* where, const BuildFigures& f) {
    std::fprintf(stderr,
                 "makeDB from %s: unattended median %.0f ms [worst %.0f] (its CPU time %.0f ms), "
                 "from the window median %.0f ms [worst %.0f], longest stall %.0f ms\n",
                 where, f.unattended.median, f.unattended.worst, f.unattendedCpu.median,
                 f.shown.median, f.shown.worst, f.longestStall);
}

// A database of `lines` workstations as a build writes them: every second one
// with an IPX and a TCP address, the others with a TCP address only.
void writeLargeDatabase(const fs::path& file, std::size_t lines) {
    std::ofstream out(file, std::ios::binary);
    std::string chunk;
    char name[96], ipx[64], tcp[32];
    for (std::size_t n = 0; n < lines; ++n) {
        std::snprintf(name, sizeof name, "KTR:\\\\Bench\\DE\\Org%02zu\\Unit%03zu\\WS-%07zu", n % 10,
                      n / 1000 % 1000, n);
        std::snprintf(ipx, sizeof ipx, "IPX 0000%04zX:00C0%08zX:4003", n / 250 % 0xFFFF, n);
        std::snprintf(tcp, sizeof tcp, "TCP 10.%zu.%zu.%zu", n >> 16 & 0xFF, n >> 8 & 0xFF,
                      n & 0xFF);
        chunk += n % 2 ? tvn::WorkstationDatabase::formatRecord(name, tcp, "")
                       : tvn::WorkstationDatabase::formatRecord(name, ipx, tcp);
        if (chunk.size() > (1 << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
}

void lookupFigures(Window& window, const fs::path& folder, std::size_t lines, int runs) {
    tvn::frmMain& form = window.form();
    const fs::path file = folder / "Bench.lst";
    auto start = Clock::now();
    writeLargeDatabase(file, lines);
    std::fprintf(stderr, "wrote a database of %zu workstations (%.0f MB) in %.0f ms\n", lines,
                 static_cast<double>(fs::file_size(file)) / 1e6, msSince(start));

    auto lookup = [&] {
        const auto begin = Clock::now();
        tvn::RemoteActions::StartRemoteAction(form, "KTR:\\\\Bench\\Probe");
        const double ms = msSince(begin);
        if (form.lstMultiple->count() != 2 ||
            !form.lstMultiple->textAt(0).startsWith("Workstation not in database: "))
            fail("the probe's addresses were found, or the lookup failed: " +
                 form.statusText().toStdString());
        return ms;
    };
    const double first = lookup();
    std::vector<double> lookups;
    for (int run = 0; run < runs * 4; ++run) lookups.push_back(lookup());
    const Stats l = stats(lookups);

    // Both keys, through the index and line by line, in turns.
    std::vector<double> indexed, byLines;
    for (int run = 0; run < runs * 2; ++run) {
        start = Clock::now();
        const auto index = tvn::readIndexedDatabase(form);
        bool found = false;
        for (const char* key : kProbeKeys) found = found || index->findWorkstation(key);
        indexed.push_back(msSince(start));
        start = Clock::now();
        const std::string contents = tvn::readDatabase(form);
        for (const char* key : kProbeKeys)
            found = found || tvn::WorkstationDatabase::findWorkstation(contents, key);
        byLines.push_back(msSince(start));
        if (found) fail("a probe key was found in the database");
    }
    const Stats i = stats(indexed), b = stats(byLines);
    std::fprintf(stderr,
                 "lookup in %zu workstations: StartRemoteAction median %.2f ms [worst %.2f], "
                 "the first (reads and indexes the file) %.0f ms; both keys through the index "
                 "%.3f ms [%.3f], line by line %.1f ms [%.1f]\n",
                 lines, l.median, l.worst, first, i.median, i.worst, b.median, b.worst);
    const std::string size = shortCount(lines);
    figure(("db lookup " + size + " worst case").c_str(), l.worst, "ms", 20);
    figure(("db lookup " + size + " first use").c_str(), first, "ms", 1500);
    figureAtLeast(("db lookup " + size + " line by line / index").c_str(), b.median / i.median, "x",
                  10);
}

// The workstations below the tree with their addresses, as ldapsearch reads
// them page by page; returns the median time and checks the count.
Stats ldapsearchFigures(const LdapServer& server, const fs::path& slapdFolder,
                        std::size_t workstations, int runs) {
    std::string suffix;
    std::getline(std::ifstream(slapdFolder / "suffixes"), suffix);
    const std::string command = "ldapsearch -x -LLL -o ldif-wrap=no -H " + shellQuoted(server.url) +
                                " -D " + shellQuoted(server.bindDn) + " -y " +
                                shellQuoted(server.passwordFile) + " -E pr=1000/noprompt -b " +
                                shellQuoted(suffix) +
                                " '(objectClass=ktrWorkstation)' cn rjNetworkAddress";
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const auto out = output(command);
        times.push_back(msSince(start));
        if (!out) fail("ldapsearch failed");
        // "dn: " or, for a name that is not ASCII, "dn:: " and base64.
        std::size_t found = out->starts_with("dn:") ? 1 : 0;
        for (std::size_t at = out->find("\ndn:"); at != std::string::npos;
             at = out->find("\ndn:", at + 1))
            ++found;
        if (found != workstations)
            fail("ldapsearch found " + std::to_string(found) + " workstations");
    }
    return stats(times);
}

}  // namespace

int main(int argc, char** argv) {
    bool fileFigures = true, serverFigures = true;
    std::vector<long> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--only" && i + 1 < argc &&
            (std::string(argv[i + 1]) == "file" || std::string(argv[i + 1]) == "server")) {
            fileFigures = std::string(argv[++i]) == "file";
            serverFigures = !fileFigures;
        } else if (const long n = std::atol(argv[i]); n > 0 && numbers.size() < 3) {
            numbers.push_back(n);
        } else {
            std::fprintf(stderr,
                         "usage: bench_lookup [--only file|server] [runs] [workstations] "
                         "[database lines]\n");
            return 2;
        }
    }
    const int runs = numbers.size() > 0 ? static_cast<int>(numbers[0]) : 5;
    const std::size_t workstations =
        numbers.size() > 1 ? static_cast<std::size_t>(std::max(1000L, numbers[1])) : 100000;
    const std::size_t lines =
        numbers.size() > 2 ? static_cast<std::size_t>(std::max(1000L, numbers[2])) : 1000000;

    const TempFolder temp;
    const fs::path folder = temp.path();
    const fs::path ldif = folder / "lookup.ldif";
    // 1,000 units of leaves, every second one a workstation.
    const benchdir::GeneratedShape shape = benchdir::writeDirectory(ldif, workstations * 2 + 1045);
    std::ofstream(ldif, std::ios::app)
        << "dn: cn=Probe,dc=Bench\nobjectClass: top\nobjectClass: ktrUser\ncn: Probe\n"
           "surname: Probe\nnetworkAddress: IPX 0000FFFF:"
        << kProbeKeys[0] << ":4003\nnetworkAddress: TCP " << kProbeKeys[1] << "\n\n";
    if (!useDirectoryControl(folder, ldif, "bench_lookup")) return 1;

    QApplication app(argc, argv);
    const std::string count = shortCount(shape.workstations);
    std::fprintf(stderr, "generated %zu entries, %zu workstations\n", shape.entries,
                 shape.workstations);
    if (fileFigures) {
        Window window(folder);
        const BuildFigures file = buildFigures(window, shape.workstations, runs);
        printBuild("the file", file);
        figure(("db build " + count + " file").c_str(), file.unattended.median, "ms", 1000);
        figure(("db build " + count + " file, window").c_str(), file.shown.median, "ms", 1000);
        figure(("db build " + count + " file stall").c_str(), file.longestStall, "ms", 200);
        lookupFigures(window, folder, lines, runs);
    }
    if (!serverFigures) return 0;

    // slapd and slapadd live in sbin, which a user's PATH may lack.
    setenv("PATH", (std::string(getenv("PATH") ? getenv("PATH") : "") + ":/usr/sbin:/sbin").c_str(),
           1);
    if (!output("command -v slapd >/dev/null && command -v slapadd >/dev/null && "
                "command -v ldapsearch >/dev/null")) {
        std::fprintf(stderr, "bench_lookup: slapd skipped: slapd or ldap-utils not installed\n");
        return 0;
    }
    const fs::path slapdFolder = folder / "slapd";
    // The naming types indexed, as a site indexes the names its clients
    // look entries up by.
    unsetenv("LDAP_DEMO_INDEX");
    setenv("LDAP_DEMO_OWNER", std::to_string(getpid()).c_str(), 1);
    auto start = Clock::now();
    const auto server = startLdapServer(slapdFolder, ldif, "bench_lookup");
    if (!server) return 1;
    std::fprintf(stderr, "slapd made and started in %.0f ms\n", msSince(start));
    struct Stop {
        fs::path folder;
        ~Stop() { stopLdapServer(folder); }
    } stop{slapdFolder};
    const int serverRuns = std::max(1, runs / 2);
    Window window(folder);
    const BuildFigures fromServer = buildFigures(window, shape.workstations, serverRuns);
    printBuild("slapd", fromServer);
    const Stats peer = ldapsearchFigures(*server, slapdFolder, shape.workstations, serverRuns);
    std::fprintf(stderr, "ldapsearch -E pr=1000 of the same workstations: median %.0f ms [%.0f]\n",
                 peer.median, peer.worst);
    figure(("db build " + count + " slapd").c_str(), fromServer.unattended.median, "ms", 5000);
    figure(("db build " + count + " slapd (ldapsearch)").c_str(), peer.median, "ms", 5000);
    figure(("db build " + count + " slapd, window").c_str(), fromServer.shown.median, "ms", 5000);
    figure(("db build " + count + " slapd stall").c_str(), fromServer.longestStall, "ms", 200);
    return 0;
}
