// Restores one member from its stored LZSS stream: reads no more than the
// member's stored size and stops at exactly its unpacked size.  Knows nothing
// of files: bytes come from a reader and go to a writer, so extraction,
// checking an archive and the fuzzers all run this same loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "error.h"
#include "lzss_decoder.h"
#include "pac_format.h"

namespace pactools {

// Reads up to buffer.size() stored bytes into `got` (0 at the end).
using StoredReader = std::function<Error(std::span<std::uint8_t> buffer, std::size_t& got)>;
// Takes decoded bytes; false when they could not be written.
using RestoredWriter = std::function<bool(std::span<const std::uint8_t> bytes)>;

// Working memory for restoring members, reused from one member to the next.
// Kept small: every worker thread has its own, and each fresh page costs a
// fault, which weighs more than the extra calls of smaller steps.  Decoded
// bytes go out in steps large enough to pass an output file's buffer.
struct RestoreBuffers {
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(64 * 1024);
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(256 * 1024);
    std::unique_ptr<LzssDecoder> decoder = std::make_unique<LzssDecoder>();
};

// The calling thread's own buffers, kept from one member to the next (the
// workers of extract, test and archive each restore many members).
RestoreBuffers& threadRestoreBuffers();

// Restores `entry`.  Fails with the reader's error, with WriteFailed (no
// file: the writer knows why) when the writer refused bytes, or with
// MemberDamaged (its name, and the bytes given of its size) when the stream
// gives fewer bytes than the member's size.  `produced` counts the bytes
// handed to the writer.
Error restoreMember(const PacEntry& entry, const StoredReader& read, const RestoredWriter& write,
                    RestoreBuffers& buffers, std::uint64_t* produced = nullptr);

}  // namespace pactools
