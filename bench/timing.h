// What the benchmarks measure time with: the steady clock and the thread's
// CPU time in milliseconds, and the median and worst of several runs.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace benchtiming {

#ifndef NDEBUG
// Figures of an unoptimised build say nothing about the program's speed.
inline const bool kUnoptimisedNoted = [] {
    std::fputs("bench: this build is not optimised; scripts/bench runs a Release build\n", stderr);
    return true;
}();
#endif

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread, which other work on a busy machine disturbs less
// than the wall clock.
inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Stats {
    double median;
    double worst;
};
inline Stats stats(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

// One figure as bench/run reads it: name, value, unit, target and whether
// the value meets it. For figure the target is an upper bound (a time, a
// size); for figureAtLeast a lower bound (how many times faster than a peer).
inline void printFigure(const char* name, double value, const char* unit, const char* bound,
                        double target, bool met) {
    std::printf("%-34s %10.2f %-6s %s %-10g %s\n", name, value, unit, bound, target,
                met ? "ok" : "over");
    std::fflush(stdout);
}
inline void figure(const char* name, double value, const char* unit, double target) {
    printFigure(name, value, unit, "<=", target, value <= target);
}
inline void figureAtLeast(const char* name, double value, const char* unit, double target) {
    printFigure(name, value, unit, ">=", target, value >= target);
}

}  // namespace benchtiming
