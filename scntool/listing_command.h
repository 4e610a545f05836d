// Listing a binary scenario (NAME.bin into NAME.txt), as `make decompile`
// does for every scenario of an archive, with the record of where each
// listing came from.
#pragma once

#include <cstdio>
#include <string>

#include "translation_source.h"

namespace pactools {

// Lists the binary scenario `binPath` into `txtPath`.  A listing there with
// a record stays when the binary is the one it was listed from or one built
// from it; for any other binary (a new original) it is listed again, and a
// listing that holds edits of its own is first kept as NAME.txt.edited
// (the first such name that is free).  A listing without a record stays
// when it assembles to the binary (with `translations` or without) and is
// not replaced when it does not assemble.  Warns when a new listing would
// not assemble back to the same binary.  Prints progress, notes and errors
// on `out`; false when it failed.
bool listBinary(const std::string& binPath, const std::string& txtPath, const Translations* translations,
                std::FILE* out);

// The name the listing `txtPath` is kept under when a new original replaces
// it: NAME.txt.edited, or NAME.txt.edited-2, -3 ... when that is taken.
std::string editedListingName(const std::string& txtPath);

}  // namespace pactools
