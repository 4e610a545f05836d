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

#include "lzss_decoder.h"
#include "pac_format.h"

namespace pactools {

// Reads up to buffer.size() stored bytes; returns how many (0 at the end), or
// -1 with `error` set.
using StoredReader = std::function<std::int64_t(std::span<std::uint8_t> buffer, std::string& error)>;
// Takes decoded bytes; false when they could not be written.
using RestoredWriter = std::function<bool(std::span<const std::uint8_t> bytes)>;

enum class RestoreStatus {
    Ok,
    ReadFailed,   // the reader reported an error (in `error`)
    WriteFailed,  // the writer refused bytes
    Short,        // the stream gave fewer bytes than the member's size
};

struct RestoreResult {
    RestoreStatus status = RestoreStatus::Ok;
    std::uint64_t produced = 0;  // decoded bytes handed to the writer
    std::string error;
};

// Working memory for restoring members, reused from one member to the next.
struct RestoreBuffers {
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(1 << 20);
    std::vector<std::uint8_t> output = std::vector<std::uint8_t>(1 << 20);
    std::unique_ptr<LzssDecoder> decoder = std::make_unique<LzssDecoder>();
};

RestoreResult restoreMember(const PacEntry& entry, const StoredReader& read, const RestoredWriter& write,
                            RestoreBuffers& buffers);

}  // namespace pactools
