// The plain codec driven through temporary stdio streams, for comparisons.
#pragma once

#include <string>
#include <vector>

namespace oracle {

// Encodes `input` fed in chunks of the given sizes (the rest in one final
// chunk); no chunk sizes means one call.
std::string encodeBytes(const std::string& input, const std::vector<std::size_t>& chunks = {});
// Decodes `want` bytes of `stream` in requests of the given sizes.
std::string decodeBytes(const std::string& stream, std::size_t want, const std::vector<std::size_t>& requests = {});

}  // namespace oracle
