// Speed and memory of the directory data at 100k and 1M entries: loading an
// LDIF file, bytes held per entry, full-name lookups and name searches, and
// writing and reading the snapshot that later processes load instead.
// Usage: bench_directory [entries...] [--keep DIR]   (default 100000 1000000)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../timing.h"
#include "generator.h"
#include "outside/directory/ldif.h"
#include "outside/directory/snapshot.h"

namespace fs = std::filesystem;
using benchtiming::Clock;
using benchtiming::msSince;
using outside::directory::Directory;
using outside::directory::EntryId;
using outside::directory::Scope;
using outside::directory::SearchQuery;

namespace {

// Live heap bytes (malloc and operator new alike), so libldap's transient
// allocations count only if they are kept.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// The resident high-water mark, which clearPeak sets back to what is resident now.
std::size_t peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
    return 0;
}
bool clearPeak() {
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return static_cast<bool>(refs);
}

struct Timing {
    double median;
    double worst;
    std::size_t hits;
};

Timing timeSearch(const Directory& dir, const SearchQuery& query, int runs) {
    std::vector<double> times;
    std::size_t hits = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        hits = dir.search(query).size();
        times.push_back(msSince(start));
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back(), hits};
}

// The same directory written to a snapshot and read back from it, as the
// next process that loads the file does: time, and peak memory against
// what the read directory keeps.
void snapshot(const fs::path& file, const Directory& parsed, std::size_t entries) {
    namespace dir = outside::directory;
    const fs::path snapshotFile = file.parent_path() / (file.filename().string() + ".snap");
    const std::string source = fs::canonical(file).string();
    const dir::SourceStamp stamp = *dir::stampOf(file);
    auto start = Clock::now();
    if (!dir::writeSnapshot(snapshotFile, source, stamp, parsed)) {
        std::printf("snapshot: cannot be written to %s\n", snapshotFile.c_str());
        std::exit(1);
    }
    std::printf("snapshot: %.1f MiB written in %.0f ms\n", fs::file_size(snapshotFile) / 1048576.0,
                msSince(start));

    malloc_trim(0);
    const std::size_t rssBefore = residentBytes();
    const bool peakKnown = clearPeak();
    start = Clock::now();
    const auto restored = dir::readSnapshot(snapshotFile, source, stamp);
    const double readMs = msSince(start);
    if (!restored || restored->size() != parsed.size()) {
        std::printf("snapshot: not read back\n");
        std::exit(1);
    }
    const std::string size = std::to_string(entries);
    std::printf("snapshot: read in %.0f ms, held by the directory %.0f B/entry\n", readMs,
                static_cast<double>(restored->memoryUsage()) / static_cast<double>(entries));
    if (peakKnown) {
        const double kept = static_cast<double>(residentBytes() - rssBefore);
        const double peak = static_cast<double>(peakResidentBytes() - rssBefore);
        benchtiming::figure(("snapshot peak/kept " + size).c_str(), peak / kept, "x", 1.15);
    }
    fs::remove(snapshotFile);
}

void run(std::size_t wanted, const fs::path& folder) {
    const fs::path file = folder / ("bench-" + std::to_string(wanted) + ".ldif");
    auto start = Clock::now();
    const benchdir::GeneratedShape shape = benchdir::writeDirectory(file, wanted);
    std::printf(
        "\n== %zu entries (%zu users, %zu workstations in %zu units), %.1f MiB of LDIF, "
        "written in %.0f ms\n",
        shape.entries, shape.users, shape.workstations, shape.units,
        fs::file_size(file) / 1048576.0, msSince(start));

    malloc_trim(0);
    const std::size_t heapBefore = heapInUse();
    const std::size_t rssBefore = residentBytes();
    const bool peakKnown = clearPeak();
    start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    // Ten million entries take more than the default limit of a source.
    outside::directory::LoadLimits limits;
    limits.maxSourceBytes = std::uint64_t{64} << 30;
    const auto result = outside::directory::loadLdif(file, limits);
    const double loadMs = msSince(start);
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (!result.ok()) {
        std::printf("load failed: %s\n", result.error.describe().c_str());
        std::exit(1);
    }
    const Directory& dir = *result.directory;
    const double n = static_cast<double>(dir.size());
    std::printf("load:   %.0f ms, %.0f entries/s (target >= 200000); CPU %.0f ms, %.0f entries/s\n",
                loadMs, n / (loadMs / 1000), cpuMs, n / (cpuMs / 1000));
    std::printf(
        "memory: heap +%.0f B/entry, RSS +%.0f B/entry, held by the directory %.0f "
        "B/entry (target <= 1024)\n",
        (heapInUse() - heapBefore) / n, (residentBytes() - rssBefore) / n, dir.memoryUsage() / n);
    if (peakKnown) {
        const double kept = static_cast<double>(residentBytes() - rssBefore);
        const double peak = static_cast<double>(peakResidentBytes() - rssBefore);
        std::printf(
            "load peak: %.0f MiB resident at most, %.0f MiB kept: %.2f x (target <= 1.15)\n",
            peak / 1048576, kept / 1048576, peak / kept);
        const std::string size = std::to_string(shape.entries);
        benchtiming::figure(("load peak/kept " + size).c_str(), peak / kept, "x", 1.15);
    }
    benchtiming::figure(("load kept/entry " + std::to_string(shape.entries)).c_str(),
                        static_cast<double>(residentBytes() - rssBefore) / n, "B", 250);
    // A site of ten million entries, read on this machine's two cores.
    if (shape.entries >= 10000000)
        benchtiming::figure(("load " + std::to_string(shape.entries)).c_str(), loadMs, "ms", 35000);

    const EntryId root = dir.trees().front();
    // A unit and a leaf deep in the last country, spelt in upper case.
    const EntryId lastUnit = dir.children(dir.children(dir.children(root)[3])[9])[24];
    std::vector<std::string> names = {dir.fullName(lastUnit)};
    if (dir.hasChildren(lastUnit)) names.push_back(dir.fullName(dir.children(lastUnit).back()));
    for (std::string& name : names) {
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    start = Clock::now();
    constexpr int kLookups = 100000;
    std::size_t found = 0;
    for (int i = 0; i < kLookups; ++i)
        found += dir.find(names[i % names.size()]) != outside::directory::kNoEntry;
    std::printf("lookup: %.2f us per full name (%zu of %d found)\n",
                msSince(start) * 1000 / kLookups, found, kLookups);

    struct Case {
        const char* label;
        std::string pattern;
        std::vector<std::string> classes;
        Scope scope;
        EntryId context;
        std::size_t maxHits;
    };
    const EntryId unit = dir.children(dir.children(dir.children(root)[0])[0])[0];
    const std::vector<Case> cases = {
        {"prefix 'smi*', users+workstations, whole tree, <=100",
         "smi*",
         {"User", "Workstation"},
         Scope::Subtree,
         root,
         100},
        {"prefix 'Wiśniewski*', users, whole tree, <=100",
         "Wiśniewski*",
         {"User"},
         Scope::Subtree,
         root,
         100},
        {"prefix 'de-sal-0001*', whole tree, <=100",
         "de-sal-0001*",
         {"Workstation"},
         Scope::Subtree,
         root,
         100},
        {"prefix 'schmidtA1*', users, whole tree, unlimited",
         "schmidtA1*",
         {"User"},
         Scope::Subtree,
         root,
         static_cast<std::size_t>(-1)},
        {"prefix 'm*', users, whole tree, <=100", "m*", {"User"}, Scope::Subtree, root, 100},
        {"'*' (everything), whole tree, <=100", "*", {}, Scope::Subtree, root, 100},
        {"prefix 'zz*' (no hits), whole tree", "zz*", {"User"}, Scope::Subtree, root, 100},
        {"'*' workstations, one unit, one level",
         "*",
         {"Workstation"},
         Scope::OneLevel,
         unit,
         static_cast<std::size_t>(-1)},
    };
    double slowestPrefix = 0;
    for (const Case& c : cases) {
        SearchQuery query;
        query.pattern = c.pattern;
        query.classes = c.classes;
        query.scope = c.scope;
        query.context = c.context;
        query.maxHits = c.maxHits;
        const Timing t = timeSearch(dir, query, 21);
        std::printf("search: %-56s %6zu hits  median %.3f ms  worst %.3f ms\n", c.label, t.hits,
                    t.median, t.worst);
        if (c.pattern.size() > 1 && c.pattern.back() == '*')
            slowestPrefix = std::max(slowestPrefix, t.median);
    }
    benchtiming::figure(("search prefix slowest " + std::to_string(shape.entries)).c_str(),
                        slowestPrefix, "ms", 1);
    snapshot(file, dir, shape.entries);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    fs::path keep;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            sizes.push_back(std::stoul(arg));
        }
    }
    if (sizes.empty()) sizes = {100000, 1000000};
    fs::path folder = keep;
    if (folder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "bench-directory-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        folder = pattern;
    }
    fs::create_directories(folder);
    for (std::size_t size : sizes) run(size, folder);
    if (keep.empty()) fs::remove_all(folder);
    return 0;
}
