// Checks that every member of an archive restores: its stored stream gives
// exactly its size.  Extract runs it before it replaces any file, so a
// member damaged anywhere in the archive leaves every file as it was.
// Members are decoded on every core, their bytes going nowhere.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "error.h"
#include "pac_archive.h"

namespace pactools {

// The first member (in list order) that does not restore, with its error
// (MemberDamaged, or the reader's), or none.  `decoded`, when given, is told
// of the bytes decoded, from any thread.
Error checkMembersRestore(ArchiveReader& reader, const std::string& pacPath, const PacArchive& archive,
                          unsigned threads, const std::function<void(std::uint64_t)>& decoded = {});

}  // namespace pactools
