// How long tvn takes from the start of the process to its main window shown
// and running, on a generated directory read through the real directory
// control: the directory is complete before the window shows. Each run is a
// process of its own (the directory is loaded once per process); the first
// run warms the file cache and is not counted.
// Prints one figure line: the median of the counted runs.
// Usage: bench_startup [entries|LDIF-file [runs [target-ms]]]   (default 1000000 3 1000)
// A file given opens its tree $BENCH_STARTUP_TREE (default CorpTree, the demo's).
//        bench_startup --child      (one run; used by the benchmark itself)
#include <sys/wait.h>
#include <unistd.h>

#include <QWidget>
#include <algorithm>
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
using benchtiming::msSince;

namespace {

// One run in this process: prints the milliseconds to the window on stdout.
int child(int argc, char** argv) {
    const auto start = Clock::now();
    double shown = -1;
    // The tree to open, as the benchmark chose it.
    std::string tree = std::string("/tree=KTR:\\\\").append(std::getenv("BENCH_STARTUP_TREE"));
    std::vector<char*> args = {argv[0], tree.data()};
    int count = static_cast<int>(args.size());
    const int rc = tvn::runProgram(count, args.data(), [&](tvn::frmMain& form) {
        shown = msSince(start);
        form.close();
    });
    (void)argc;
    if (shown < 0 || rc != 0) {
        std::fprintf(stderr, "bench_startup: the window never showed (exit %d)\n", rc);
        return 1;
    }
    std::printf("%.1f\n", shown);
    return 0;
}

double runChild(const char* self) {
    int out[2];
    if (pipe(out) != 0) return -1;
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
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::atof(text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argc, argv);
    const bool given = argc > 1 && fs::is_regular_file(argv[1]);
    const std::size_t entries = argc > 1 && !given ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const double target = argc > 3 ? std::atof(argv[3]) : 1000;
    const fs::path folder = fs::temp_directory_path() / "tvn-bench-startup";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::path ldif = folder / "startup.ldif";
    std::string name;
    if (given) {
        ldif = fs::absolute(argv[1]);
        name = "startup " + ldif.filename().string();
        setenv("BENCH_STARTUP_TREE", "CorpTree", 0);
    } else {
        setenv("BENCH_STARTUP_TREE", "Bench", 1);
        name = "startup " + std::to_string(benchdir::writeDirectory(ldif, entries).entries) +
               " entries";
    }
    if (!useDirectoryControl(folder, ldif, "bench_startup")) return 1;
    // tvn also opens the session control of the workstation.
    if (platform::automation::loadServer(QUILLON_LIBRARY).registerServer() != 0) {
        std::fprintf(stderr, "bench_startup: cannot register the session control\n");
        return 1;
    }
    setenv("HOME", folder.c_str(), 1);

    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        const double ms = runChild("/proc/self/exe");
        if (ms < 0) {
            std::fprintf(stderr, "bench_startup: run %d failed\n", run);
            return 1;
        }
        if (run > 0) times.push_back(ms);
    }
    const benchtiming::Stats s = benchtiming::stats(times);
    benchtiming::figure(name.c_str(), s.median, "ms", target);
    fs::remove_all(folder);
    return 0;
}
