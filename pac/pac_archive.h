// Opening an archive for reading: the header and the whole directory are
// read and checked (see readPacHeader and readPacDirectory) before anyone
// looks at a member.  Shared by extract, list and test; the bytes come from
// a reader, so the fuzzers run this same code on memory.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "error.h"
#include "file_io.h"
#include "lzss_stream_end.h"
#include "member_restore.h"
#include "pac_format.h"

namespace pactools {

// A member's stored bytes, read in order from its offset, with the walk
// that finds where its stream ends fed as they go (lzss_stream_end.h),
// unless `walking` is false.
struct StoredBytes {
    StoredBytes(ByteSource& archive, const PacEntry& member, bool walking = true);
    // Reads the next stored bytes (as ByteSource::readAt).
    Error read(std::span<std::uint8_t> buffer, std::size_t& got);
    // How many stored bytes were read so far.
    std::uint64_t done() const { return offset - entry.offset; }

    ByteSource& reader;
    const PacEntry& entry;
    std::uint64_t offset;
    bool walks;
    LzssStreamEnd walk;
};

struct PacArchive {
    std::string path;  // as messages name it
    ByteSource* reader = nullptr;
    std::uint64_t size = 0;
    PacHeader header;
    PtrVector<PacEntry> entries;
};

// Reads and checks the header and directory of the archive `reader` holds.
Error openPacArchive(ByteSource& reader, const std::string& path, PacArchive& archive);

// The members' total size unpacked.
std::uint64_t unpackedBytes(const PacArchive& archive);

// Restores member `entry` of an open archive, handing its bytes to `write`;
// a damaged member's error names the archive.
Error restoreArchiveMember(PacArchive& archive, const PacEntry& entry, const RestoredWriter& write,
                           RestoreBuffers& buffers);
// The same through a reader of the archive named `archivePath` in
// messages.  `streamEnd`, when given, gets the stored size the member's stream takes
// by its items (see lzss_stream_end.h), which a hand-made archive may
// exceed.
Error restoreArchiveMember(ByteSource& reader, const std::string& archivePath, const PacEntry& entry,
                           const RestoredWriter& write, RestoreBuffers& buffers, std::uint64_t* streamEnd = nullptr);

// For each entry, the first other entry whose stored bytes overlap its own
// (its index), or -1: pactool never writes such archives.
std::vector<long long> overlappingEntries(const PacArchive& archive);

}  // namespace pactools
