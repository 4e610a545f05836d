// The faults of the archive core: PAC archives, list files and member names.  Each is told in
// words by pac_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class PacFault : std::uint16_t {
    ChangedWhileRead,      // `file` the previous archive, `name` the member
    // The archive command: `file` is the list file or archive, `name` a member.
    ListEmpty,
    ListInvalid,
    ListHeaderWordTooLarge,
    ListOutOfMemory,
    MemberTooLarge,
    ArchiveTooLarge,
    // Names refused before writing: `file` the source, `detail` the verb
    // ("extract"/"archive"), `name` the member, `at` its 1-based number.
    NameEmpty,
    NameUnsafe,
    NameNotAFile,
    NameMisreadByWindows,
    NameIsArchive,
    NameIsList,
    NameIsMakefile,
    NameCollides,  // `other`: the earlier member's name
    NameMayBeShortName,  // `other`: the member whose short 8.3 name it may be
    NameSameFile,        // `other`: the member whose existing file it is too
    NameIsRecord,  // a name inside scntool's record folder
    NameLikeTemporary,  // a name of the form of the tools' temporary files
    NameNotInCodePage,      // `name` the bytes, `other` the code page, `at` the entry's number
    NameTextNotInCodePage,  // a list file's name: `name` its text, `other` the code page, `at` the character
    NameReplacesOwnFile,  // `other`: the list file of the archive extracted there before
    PreviousListUnreadable,  // `file` that list file, `detail` why
    // Reading an archive: `file` the archive.
    NotPac,
    DirectoryPastEnd,  // `at`: the entry count
    DirectoryShort,
    EntryWithoutNul,   // `at`: the entry's number
    DataPastEnd,       // `name`
    MemberDamaged,     // `name`, `at` bytes given of `of`
};

const FaultDomain& faultDomain(PacFault);

}  // namespace pactools
