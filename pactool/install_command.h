// `pactool install data.pac [FOLDER]`: copies the archive into the game's
// folder, the last step of the edit cycle (`make install`).  pactool does
// the copy rather than the shell: cmd.exe's copy reads '+', ',' and a
// leading '/' in a name as its own syntax, and no shell can be handed a
// folder with blanks from makefile.conf unquoted.  The makefile gives the
// folder through the environment (GAME_DIR, exported from makefile.conf),
// so no shell reads it at all.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace pactools {

// Copies the file `pacPath` (a PAC archive) into `folder` under its own file
// name, replacing a file of that name there only once the copy is complete.
// Without a folder it is the environment's GAME_DIR, as the makefile sets it
// from ../makefile.conf (blanks at its end dropped: make keeps those).
// Prints what it did or why not on `out`; false after a failure.
bool installCommand(const std::string& pacPath, const std::optional<std::string>& folder, std::FILE* out);

}  // namespace pactools
