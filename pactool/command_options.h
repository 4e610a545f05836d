// What pactool's options ask of its commands.
#pragma once

#include "name_reading.h"
#include "worker_threads.h"

namespace pactools {

struct CommandOptions {
    unsigned threads = 0;     // workers (0: one per core; 1: no worker beyond the main thread)
    bool quiet = false;       // no Compressing/Extracting lines; errors still print
    bool recompress = false;  // archive: compress every member, reusing nothing
    NameReading names = {};   // --code-page: the code page member names are in
};

}  // namespace pactools
