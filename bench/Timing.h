#pragma once

// What the benchmark programs share: the clock, the figures of a set of
// timings (median, mean, 99th percentile by nearest rank) and the ROW line
// that scripts/bench reads.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

namespace tavrik::bench {

using Clock = std::chrono::steady_clock;

inline double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Stats {
    double median = 0, mean = 0, p99 = 0;
};

// The 99th percentile (nearest rank) of values sorted ascending.
inline double percentile99Sorted(const std::vector<double>& sorted) {
    if (sorted.empty()) return 0;
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(std::ceil(0.99 * sorted.size())) - 1)];
}

inline Stats stats(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    s.p99 = percentile99Sorted(v);
    return s;
}

inline void row(const std::string& what, const Stats& s, const std::string& note) {
    std::printf("ROW\t%s\t%.2f\t%.2f\t%.2f\t%s\n", what.c_str(), s.median, s.mean, s.p99, note.c_str());
}

}  // namespace tavrik::bench
