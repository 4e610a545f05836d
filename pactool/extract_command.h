// `pactool extract data.pac`: restores every member into the current
// directory, then writes data.pac.list and the makefile.  A file there that
// the data.pac.list of an earlier extract does not name is never replaced.
#pragma once

#include <cstdio>
#include <string>

#include "command_options.h"

namespace pactools {

// Extracts the archive at `pacPath`, printing progress and errors on `out`.
// The whole archive is checked before any file is written; each output
// appears only when complete.  Returns false after a failure.
bool extractCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options = {});

}  // namespace pactools
