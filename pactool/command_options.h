// What pactool's options ask of its commands.
#pragma once

#include <algorithm>
#include <thread>

namespace pactools {

// A thread count as the options give it, with 0 meaning every core.
inline unsigned workerThreads(unsigned threads) {
    return threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
}

struct CommandOptions {
    unsigned threads = 0;     // workers (0: one per core; 1: no worker beyond the main thread)
    bool quiet = false;       // no Compressing/Extracting lines; errors still print
    bool recompress = false;  // archive: compress every member, reusing nothing
};

}  // namespace pactools
