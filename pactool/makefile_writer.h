// The makefile that `pactool extract` writes beside the members.  It takes
// QVXPACTOOL, QVXTOOL, COPY and GAME_DIR from ../makefile.conf and has the
// targets all (the archive), extract, decompile (every .bin member to its
// .txt listing), install, and a pattern rule that assembles a .bin member
// from its listing.
#pragma once

#include <string>
#include <string_view>

#include "pac_format.h"

namespace pactools {

// The makefile's text for the archive at `pacPath` with these members,
// lines ended by `lineEnd`.
std::string makefileText(std::string_view pacPath, const PtrVector<PacEntry>& entries, std::string_view lineEnd);

}  // namespace pactools
