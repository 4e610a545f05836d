// What extract makes sure of before it replaces any file: that every member
// of the archive restores (its stored stream gives exactly its size), so a
// member damaged anywhere leaves every file as it was, and that the members
// fit where they go.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "error.h"
#include "pac_archive.h"

namespace pactools {

// The first member (in list order) that does not restore, with its error
// (MemberDamaged, or the reader's), or none.  Members are decoded on every
// core, their bytes going nowhere.  `decoded`, when given, is told of the
// bytes decoded, from any thread.
Error checkMembersRestore(ByteSource& reader, const std::string& pacPath, const PacArchive& archive,
                          unsigned threads, const std::function<void(std::uint64_t)>& decoded = {});

// The most space, beyond what the files they replace hold, that members of
// `sizes` bytes take on one file system while extract writes them over
// files of `replaced` bytes (0 where there is none): what each member adds
// to its file, plus the temporary copies that exist beside the files they
// replace (up to two batches of `batchBytes`, or of the largest member, at
// once).  Every file is counted in whole blocks of 4 KiB.
std::uint64_t extractSpaceNeeded(std::span<const std::uint64_t> sizes, std::span<const std::uint64_t> replaced,
                                 std::uint64_t batchBytes);

}  // namespace pactools
