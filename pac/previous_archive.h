// The archive the archive command is about to replace.  A member's stored
// stream is fixed by its bytes, so a listed member whose file holds exactly
// what its stored stream decodes to keeps that stream instead of being
// compressed again.  The check is exact (it decodes and compares every
// byte), and whatever is wrong with the previous file only means that less
// of it is kept; only a previous archive (or member file) that changes
// between the check of a stream and its copy fails the command
// (ChangedWhileRead, member_stream.h), since no checked bytes remain.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "member_restore.h"
#include "member_source.h"
#include "pac_archive.h"

namespace pactools {

struct PreviousArchive {
    std::string path;  // as messages name it
    // The file, opened once and read by every worker at once; null when
    // there is nothing to read.
    std::unique_ptr<ByteSource> reader;
    // The entries whose streams lie within the file, by exact name (the
    // first of a name).
    std::unordered_map<std::string, PacEntry> entries;
};

// Loads the archive at `path` when it is a readable PAC archive; false (and
// nothing to reuse) otherwise.
bool loadPreviousArchive(const std::string& path, PreviousArchive& previous);

// The same for the archive `reader` reads (a file, or memory in tests and
// fuzzers), named `path` in messages; `previous` keeps the reader.
bool loadPreviousArchive(std::unique_ptr<ByteSource> reader, const std::string& path, PreviousArchive& previous);

// True when `entry`'s stored stream is exactly the stream of `file`'s
// content (at its start, `size` bytes long): it decodes to exactly those
// bytes, and its stored size is exactly what its items take (with the zeros
// that fill out a last group; nothing after).  Reads no further than the
// stored size.  Every stored byte read is handed to `stored` (when given),
// in order; `bytesRead` counts the member's bytes as they are compared.
bool holdsSameContent(ByteSource& reader, const PacEntry& entry, MemberFile& file, std::uint64_t size,
                      RestoreBuffers& buffers, const std::function<void(std::uint64_t)>& bytesRead,
                      const std::function<void(std::span<const std::uint8_t>)>& stored = {});

}  // namespace pactools
