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
// literals only (groups of a 0xFF flag byte and eight bytes, the last one
// filled out with zeros).
std::string buildArchive(const std::vector<ArchiveMember>& members, std::uint8_t headerByte = 0,
                         std::uint32_t headerWord = 0);

// The stream buildArchive stores for `bytes`.
std::string literalStream(const std::string& bytes);

// A directory entry as an archive may hold it, shared or not.
struct ArchiveEntry {
    std::string name;
    std::uint32_t offset = 0;  // from the start of `data` below
    std::uint32_t unpackedSize = 0;
    std::uint32_t storedSize = 0;
};

// A PAC archive with these entries, then `data` right after the directory:
// for layouts pactool never writes (streams that overlap, that hold more
// than their stream).
std::string buildArchive(const std::vector<ArchiveEntry>& entries, const std::string& data);

}  // namespace testing_support
