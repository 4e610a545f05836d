// The list file an extract leaves beside the archive (data.pac.list) is
// also its record of which files in the folder are members.  When a new
// version of the archive is extracted where an earlier one was, the files
// that list names are members, to be replaced; every other file there is
// the team's own (a listing, a PO file, notes) and is never replaced.  The
// list files in the working folder count too, so an archive renamed
// (game-v2.pac, without a list of its own) is no way around it.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "error.h"

namespace pactools {

// Whether the file of member `index` already holds exactly that member's
// bytes: writing it then replaces nothing.
using HoldsMember = std::function<bool(std::size_t index)>;

// Checks, before extract writes anything, the members `names` of the
// archive at `pacPath` against the archives extracted there before: the
// archive's own list file and every list file in the working folder (a
// file NAME.list that reads as one), but those that one of these lists
// names as a member (a list file that came out of an archive may name
// anything).  With no list there is nothing to check.  Otherwise fails
// with NameReplacesOwnFile for the first member (`names`: their texts)
// whose file exists, that no trusted list names (files compared as the file
// system compares them: bytes, '\' read as '/'; on Windows by fileKey) and
// that does not already hold the member (`holds`: an extract cut short
// leaves such files); or with PreviousListUnreadable when the archive's own
// list file cannot be read or is not one.
Error checkPreviousMembers(std::span<const std::string_view> names, const std::string& pacPath,
                           const HoldsMember& holds);

}  // namespace pactools
