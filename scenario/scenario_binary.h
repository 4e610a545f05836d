// The binary scenario file: a 16-byte header (reserved word, flags value,
// flag data length in 32-bit words, statement stream length in bytes; all
// little-endian), the flag data, then the statement stream, each statement
// an opcode (2 bytes) and an operand (4 bytes), followed for PushB by the
// operand's count of string bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "scenario.h"

namespace pactools {

inline constexpr std::size_t kScenarioHeaderSize = 16;

// Loads a binary scenario into two empty lists: the flag block first, then
// the statements, and one label per distinct jump target, in the order the
// targets are first referenced.  Refuses (naming `fileName` and the file
// offset) a file shorter than its header, flag data or a statement running
// past the end of the file, a PushB whose string holds no NUL, and the flag
// block's opcode in the stream.
Error readBinary(std::span<const std::uint8_t> file, std::string_view fileName, StatementList& statements,
                 LabelList& labels);

// Saves the model.  The header's code size is the total size of the
// statements; the flag block, if any, must come first and hold a multiple
// of 4 bytes.  Fails with ScenarioEmpty for an empty list.
Error writeBinary(const StatementList& statements, std::vector<std::uint8_t>& file);

}  // namespace pactools
