// One member's stored stream, made from its file: the previous archive's
// stream when the file holds exactly what that stream decodes to, else the
// file compressed with LZSS.  The compression pipeline makes each member's
// stream with it, on a worker thread or, with one thread, on the calling one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "error.h"
#include "member_source.h"
#include "previous_archive.h"

namespace pactools {

// Members are read, and their streams handed on, in pieces of about this
// much.
inline constexpr std::size_t kChunkSize = 1 << 20;

struct MemberStreamEvents {
    // The member is open: its size, and whether its previous stream is kept.
    // Comes before the first block.
    std::function<void(std::uint64_t size, bool reused)> opened;
    // The next piece of the stream (which may be taken); false stops the
    // work (the run is ending).
    std::function<bool(std::vector<std::uint8_t>& block)> emit;
    // Member bytes read so far grew by this much (for progress).
    std::function<void(std::uint64_t bytes)> bytesRead;
};

// Opens the member whose name reads as `text` and takes its size; fails
// with the source's error or MemberTooLarge (more than an entry can record).
Error openMember(MemberSource& source, const std::string& text, std::unique_ptr<MemberFile>& file,
                 std::uint64_t& size);

// Streams `member` (its file found by its text, its previous stream by its
// name's bytes), compressing on `encoderThreads` threads (the stream is the
// same for any number).  On success `storedSize` is the stream's size.
// Fails with the source's error, MemberTooLarge, FileShrank, FileGrew, or
// ChangedWhileRead (the previous archive or the member's file changed
// between the check of a kept stream and its copy);
// `stopped` tells that emit() asked to stop (no error then).
Error streamMember(MemberSource& source, const PacEntry& member, const PreviousArchive* previous,
                   const MemberStreamEvents& events, std::uint64_t& storedSize, bool& stopped,
                   unsigned encoderThreads = 1);

}  // namespace pactools
