// `pactool list data.pac` and `pactool test data.pac`: look inside an
// archive without writing anything.
#pragma once

#include <cstdio>
#include <string>

#include "command_options.h"

namespace pactools {

// One line per member (unpacked size, stored size, stored size as a share of
// the unpacked size, name), then a total line.
bool listCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options = {});

// Decodes every member without writing it, checking that each gives exactly
// its unpacked size from no more than its stored size: one line per member
// and a summary.  False when any member (or the archive) is damaged.
bool testCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options = {});

}  // namespace pactools
