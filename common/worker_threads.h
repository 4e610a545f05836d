// How many threads a thread count asks for.
#pragma once

#include <algorithm>
#include <thread>

namespace pactools {

// The threads to use for a thread count as the options give it: 0 means
// every core, and no more threads than cores are used (more could only wait
// for one).
inline unsigned workerThreads(unsigned threads) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return threads != 0 ? std::min(threads, cores) : cores;
}

}  // namespace pactools
