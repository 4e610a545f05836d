// The list file an extract leaves beside the archive (data.pac.list) is
// also its record of which files in the folder are members.  When a new
// version of the archive is extracted where an earlier one was, the files
// that list names are members, to be replaced; every other file there is
// the team's own (a listing, a PO file, notes) and is never replaced.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "error.h"

namespace pactools {

// Checks, before extract writes anything, the members `names` of the
// archive at `pacPath` against the archive extracted there before.  With
// no list file there is nothing to check.  Otherwise fails with
// NameReplacesOwnFile for the first member whose file exists but that the
// list does not name (names compared as the file system compares them:
// bytes, '\' read as '/'; on Windows by fileKey), or with
// PreviousListUnreadable when the list file cannot be read or is not one.
Error checkPreviousMembers(std::span<const std::string_view> names, const std::string& pacPath);

}  // namespace pactools
