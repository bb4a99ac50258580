// What the benchmarks measure time with: the steady clock in milliseconds,
// and the median and worst of several runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace benchtiming {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double median;
    double worst;
};
inline Stats stats(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

}  // namespace benchtiming
