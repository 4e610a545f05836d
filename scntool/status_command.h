// scntool --status: how far each scenario is translated, and whether its
// binary is what its listing and translations assemble to.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"

namespace pactools {

// Prints one line per scenario of `paths` (NAME.bin, NAME.txt or NAME.po):
//   scene01: 79 strings: 67 translated, 3 fuzzy, 9 untranslated; scene01.bin up to date
// the strings counted once per distinct text, with the translations of
// `project` (--po) or NAME.po, and the binary "up to date", "not built from
// its translations", "not built from its listing" (no translations) or
// "missing"; then a total line for more than one scenario.  False when a
// listing or PO file could not be read.
bool printStatus(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                 std::FILE* out);

}  // namespace pactools
