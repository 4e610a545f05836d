// Archives and little-endian fields built byte by byte, for tests that need
// archives pactool itself would never write (hostile names, damage).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

std::uint32_t le32(const std::string& bytes, std::size_t at);
void put32(std::string& bytes, std::size_t at, std::uint32_t value);

struct ArchiveMember {
    std::string name;   // at most 63 bytes
    std::string bytes;  // the member's content
};

// A PAC archive of `members` in order, each stored as an LZSS stream of
// literals only (groups of a 0xFF flag byte and eight bytes).
std::string buildArchive(const std::vector<ArchiveMember>& members, std::uint8_t headerByte = 0,
                         std::uint32_t headerWord = 0);

}  // namespace testing_support
