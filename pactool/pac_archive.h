// Opening an archive for reading: the header and the whole directory are
// read and checked (see readPacHeader and readPacDirectory) before anyone
// looks at a member.  Shared by extract, list and test.
#pragma once

#include <cstdio>
#include <string>

#include "file_io.h"
#include "member_restore.h"
#include "pac_format.h"

namespace pactools {

struct PacArchive {
    std::string path;
    InputFile file;
    std::uint64_t size = 0;
    PacHeader header;
    PtrVector<PacEntry> entries;
};

// Opens and checks the archive at `path`, printing one message on `out`
// when it can't: "Can't open PATH", a read error, "PATH: Not a PAC file...",
// or what is damaged or unsafe.
bool openPacArchive(const std::string& path, std::FILE* out, PacArchive& archive);

// Restores member `entry` of an open archive, handing its bytes to `write`.
RestoreResult restoreArchiveMember(PacArchive& archive, const PacEntry& entry, const RestoredWriter& write,
                                   RestoreBuffers& buffers);

// "ARCHIVE: member NAME is damaged: its data gives N of its M bytes".
std::string damagedMemberMessage(const PacArchive& archive, const PacEntry& entry, const RestoreResult& result);

}  // namespace pactools
