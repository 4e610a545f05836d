// Assembling listings into binary scenarios: one listing at a time (scntool
// NAME.txt, NAME.po), or every scenario of a game at once (scntool --build,
// as make does before it builds the archive).  A listing is never assembled
// over a binary that is neither the one it was listed from nor one built
// from it: that binary is a new original, to be listed again first.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "converter.h"

namespace pactools {

// Assembles the listing `txtPath` into its binary, with `translations` when
// given.  Every translation that cannot be written is told; then, and on
// any other failure, nothing is written.
bool assembleListing(const std::string& txtPath, const Translations* translations, std::FILE* out);

// Brings the binary of each scenario of `paths` (NAME.bin or NAME.txt) up
// to date with its listing and translations (those of `project`, or
// NAME.po): a binary is assembled again only when its listing, its
// translations, the code page or scntool changed since it was built, or
// when it is not the binary last built.  A scenario without a listing is
// left as it is, unless it has translations (it must be listed first).
// Every scenario is checked, and every problem told, before anything is
// written; with any problem nothing is.
bool buildScenarios(const std::vector<std::string>& paths, const ConvertOptions& options, const Translations* project,
                    std::FILE* out);

}  // namespace pactools
