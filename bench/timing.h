#pragma once
// Timing for the benchmarks: the median of repeated runs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace tavrilo::bench {

// Milliseconds of the median run of `work`; exits when a run reports failure.
inline double MedianMs(int repeat, const std::function<bool()>& work) {
    std::vector<double> times;
    for (int i = 0; i < repeat; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!work()) {
            std::fprintf(stderr, "benchmark: a step failed\n");
            std::exit(1);
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace tavrilo::bench
