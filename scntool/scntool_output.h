// What every scntool command shares when it reads an input and writes an
// output: the "Processing" line, the messages after a failed step, and
// outputs that are replaced only when their bytes change.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"

namespace pactools {

inline constexpr const char* kTool = "scntool";
inline constexpr const char* kReadingFailed = "An error occured while reading the scenario file\n";
inline constexpr const char* kWritingFailed = "An error occured while writing the scenario file\n";

inline std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
inline std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Opens `path` and reads it whole, with "Processing: PATH" once it is open.
bool readInput(const std::string& path, std::vector<std::uint8_t>& bytes, std::FILE* out);

// Writes `bytes` as the whole of the file `path`.  When it already holds
// exactly them, it is left untouched, its time included (so make and
// pactool see nothing changed), and no temporary file is made; otherwise
// the bytes replace it, and the new file takes the modification time of
// `timeOf` when one is named.  Nothing is left behind when it fails.
bool writeOutput(const std::string& path, std::span<const std::uint8_t> bytes, std::FILE* out,
                 const std::string& timeOf = {});

}  // namespace pactools
