// How long tvn takes from the exec of its process to its main window shown
// and running, on a generated directory read through the real directory
// control: the directory is complete before the window shows. Each run is a
// process of its own. The parent reads the monotonic clock right before it
// forks and execs a run; the run reports the same clock's time at the first
// show. The first run reads the file cold of any snapshot and writes one (its
// time is printed, not counted); the counted runs are warm: the snapshot is
// there and the file cache holds it. A run with snapshots turned off shows
// what parsing the file costs. Everything, the cache folder included, lives
// in the benchmark's own temporary folder.
// Prints one figure line: the median of the counted runs.
// Usage: bench_startup [entries|LDIF-file [runs [target-ms]]] [--no-parse]
//   (default 1000000 3 1000); --no-parse leaves out the run that parses the
//   file without a snapshot (at ten million entries it costs half a minute).
// A file given opens its tree $BENCH_STARTUP_TREE (default CorpTree, the demo's).
//        bench_startup --child      (one run; used by the benchmark itself)
#include <sys/wait.h>
#include <unistd.h>

#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../directory/generator.h"
#include "../directorycontrol.h"
#include "../timing.h"
#include "app/shell/Program.h"
#include "app/shell/frmMain.h"

namespace fs = std::filesystem;
using benchtiming::Clock;

namespace {

// One run in this process: prints the monotonic clock's time (ns) at the
// first show of the window on stdout.
int child(char* program) {
    Clock::time_point shown{};
    // The tree to open, as the benchmark chose it.
    std::string tree = std::string("/tree=KTR:\\\\").append(std::getenv("BENCH_STARTUP_TREE"));
    std::vector<char*> args = {program, tree.data()};
    int count = static_cast<int>(args.size());
    const int rc = tvn::runProgram(count, args.data(), [&](tvn::frmMain& form) {
        shown = Clock::now();
        form.close();
    });
    if (shown == Clock::time_point{} || rc != 0) {
        std::fprintf(stderr, "bench_startup: the window never showed (exit %d)\n", rc);
        return 1;
    }
    std::printf("%lld\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(shown.time_since_epoch())
                        .count()));
    return 0;
}

// One run as a process of its own: the milliseconds from just before its
// exec to its window shown, or -1 when it failed.
double runChild(const char* self) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(self, self, "--child", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
    const Clock::time_point shown{std::chrono::nanoseconds(std::atoll(text.c_str()))};
    return std::chrono::duration<double, std::milli>(shown - start).count();
}

// A file written a moment ago is not snapshotted (it may change again
// within the file system's clock tick); the benchmark's file is dated back.
void dateBack(const fs::path& file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argv[0]);
    std::vector<const char*> args;
    bool parse = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-parse") == 0)
            parse = false;
        else
            args.push_back(argv[i]);
    }
    const std::size_t count = args.size();
    const bool given = count > 0 && fs::is_regular_file(args[0]);
    const std::size_t entries = count > 0 && !given ? std::strtoul(args[0], nullptr, 10) : 1000000;
    const int runs = count > 1 ? std::max(1, std::atoi(args[1])) : 3;
    const double target = count > 2 ? std::atof(args[2]) : 1000;
    // A folder of this run's own: two runs at once must not clear each other's.
    std::string pattern = (fs::temp_directory_path() / "tvn-bench-startup-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("bench_startup: cannot create a temporary folder");
        return 1;
    }
    const fs::path folder = pattern;
    const fs::path ldif = folder / "startup.ldif";
    std::string name;
    if (given) {
        // A copy, so that it can be dated back.
        fs::copy_file(args[0], ldif);
        name = "startup " + fs::path(args[0]).filename().string();
        setenv("BENCH_STARTUP_TREE", "CorpTree", 0);
    } else {
        setenv("BENCH_STARTUP_TREE", "Bench", 1);
        name = "startup " + std::to_string(benchdir::writeDirectory(ldif, entries).entries) +
               " entries";
    }
    dateBack(ldif);
    if (!useDirectoryControl(folder, ldif, "bench_startup")) return 1;
    // tvn also opens the session control of the workstation.
    if (platform::automation::loadServer(QUILLON_LIBRARY).registerServer() != 0) {
        std::fprintf(stderr, "bench_startup: cannot register the session control\n");
        return 1;
    }
    setenv("HOME", folder.c_str(), 1);
    const fs::path cache = std::getenv("XDG_CACHE_HOME");

    const auto failed = [](const char* run) {
        std::fprintf(stderr, "bench_startup: the %s run failed\n", run);
        return 1;
    };
    // Parsing only, for comparison; then the first run, which writes the snapshot.
    double parsed = -1;
    if (parse) {
        setenv("KDDIR_SNAPSHOT", "0", 1);
        parsed = runChild("/proc/self/exe");
        unsetenv("KDDIR_SNAPSHOT");
        if (parsed < 0) return failed("parsing");
    }
    const double first = runChild("/proc/self/exe");
    if (first < 0) return failed("first");
    if (!fs::exists(cache / "tolvane" / "directory") ||
        fs::is_empty(cache / "tolvane" / "directory")) {
        std::fprintf(stderr, "bench_startup: the first run wrote no snapshot\n");
        return 1;
    }
    if (parse) std::printf("%s: without a snapshot %.0f ms\n", name.c_str(), parsed);
    std::printf("%s: first run, writing the snapshot, %.0f ms\n", name.c_str(), first);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double ms = runChild("/proc/self/exe");
        if (ms < 0) return failed("counted");
        times.push_back(ms);
    }
    const benchtiming::Stats s = benchtiming::stats(times);
    benchtiming::figure(name.c_str(), s.median, "ms", target);
    fs::remove_all(folder);
    return 0;
}
