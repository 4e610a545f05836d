// The faults of pactool's commands: extract's checks, archive's inputs and the makefile.  Each is told in
// words by pactool_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class PactoolFault : std::uint16_t {
    CannotOpenList,        // the archive command's list file
    CannotCreateMember,    // an extracted member's file
    CannotCreateMakefile,  // a "makefile" that is not a regular file
    ListNamesInOtherCodePage,  // `name` the list's code page, `other` --code-page's (empty: none given)
    NameTooLong,
    TooManyMembers,
    StoredOverlap,     // warning; `name` and `other` the members
    StoredPastStream,  // warning; `name`, `at` the bytes after its stream
    NamesSuggestCodePage,  // note; `name` the code pages the names read in
    NoSpaceForMembers,     // `at` the members' bytes, `of` the free bytes
    // The makefile.
    MakefileUnsafeMember,   // `name`
    MakefileTargetMember,   // `name`, `detail` the makefile's targets
    MakefileUnsafeArchive,  // `file`
    MakefileArchiveNotInCodePage,  // `file`: a path the system's code page cannot hold
    MakefileNotAScenario,   // note; `name` a .bin member, `other` the member named like its listing
    MakefileMemberNotInCodePage,  // `name`: a member name the system's code page cannot hold
    // Install.
    InstallNoGameDir,   // no folder given and GAME_DIR empty or not set
    InstallNotAFolder,  // `file` the folder, `detail` "GAME_DIR" when makefile.conf named it; `system`
};

const FaultDomain& faultDomain(PactoolFault);

}  // namespace pactools
