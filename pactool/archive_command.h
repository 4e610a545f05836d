// `pactool archive data.pac`: builds the archive from data.pac.list and the
// member files it names, compressing each member with LZSS.
#pragma once

#include <cstdio>
#include <string>

namespace pactools {

// Builds the archive at `pacPath`, printing progress and errors on `out`.
// The archive is replaced only when complete; returns false after a failure.
bool archiveCommand(const std::string& pacPath, std::FILE* out);

}  // namespace pactools
