// How many threads a thread count asks for.
#pragma once

#include <algorithm>
#include <thread>

namespace pactools {

// A thread count as the options give it, with 0 meaning every core.
inline unsigned workerThreads(unsigned threads) {
    return threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace pactools
