// Content hashes: what scntool's records use to know a file again by its
// bytes, never by its time or name.  SHA-256, so that no archive from a
// stranger can pass a different binary off as one the records know.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pactools {

// The SHA-256 digest of `bytes` as 64 lower-case hexadecimal digits.
std::string contentHash(std::string_view bytes);
inline std::string contentHash(std::span<const std::uint8_t> bytes) {
    return contentHash(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace pactools
