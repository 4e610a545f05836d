// scntool --status: the release gate.  How far each scenario is translated,
// whether its binary is what its listing and translations assemble to, and
// every problem that would ship: scenarios not listed, new originals not
// listed again, translations that cannot be written, control bytes that
// differ, a code page in which no string decodes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"

namespace pactools {

// Prints one line per scenario of `paths` (NAME.bin, NAME.txt or NAME.po):
//   scene01: 79 strings: 67 translated, 3 fuzzy, 9 untranslated; scene01.bin up to date
// (the strings counted once per distinct text, with the translations of
// `project` (--po) or NAME.po, and the binary "up to date", "not built from
// its translations", "not built from its listing", "missing" or "cannot be
// built"), or what keeps it from being counted ("no listing: make
// decompile"); every problem in full; the project PO file's entries as
// the gettext tools count them; a total line for more than one scenario;
// and whether the game is ready to ship.  True (ready) only when every
// scenario is listed from its current original and its binary up to date,
// and, where translations are used, every string is translated.
// `missingPo` names a project PO file given but not there (a problem, and
// every string counts as untranslated).
bool printStatus(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                 std::FILE* out, const std::string& missingPo = {});

}  // namespace pactools
