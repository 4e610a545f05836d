// `pactool archive data.pac`: builds the archive from data.pac.list and the
// member files it names, compressing each member with LZSS.
#pragma once

#include <cstdio>
#include <string>

#include "command_options.h"

namespace pactools {

// Builds the archive at `pacPath`, printing progress and errors on `out`.
// Members are compressed on `options.threads` threads (0: one per core); the
// archive is the same whatever the number.  It replaces an existing archive only
// when complete; returns false after a failure.
bool archiveCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options = {});

}  // namespace pactools
