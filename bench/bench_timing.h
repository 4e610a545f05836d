// Timing helpers shared by the benchmark programs.
#pragma once

#include <algorithm>
#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` at least `runs` times and for at least `budget` seconds;
// returns the best time of a run.
template <class Work>
double bestTime(Work work, int runs = 3, double budget = 0) {
    double best = 1e30;
    double spent = 0;
    for (int done = 0; done < runs || spent < budget; ++done) {
        const auto start = Clock::now();
        work();
        const double t = secondsSince(start);
        best = std::min(best, t);
        spent += t;
    }
    return best;
}

}  // namespace bench
