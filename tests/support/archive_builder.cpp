#include "archive_builder.h"

namespace testing_support {

std::uint32_t le32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string literalStream(const std::string& bytes) {
    std::string stream;
    for (std::size_t at = 0; at < bytes.size(); at += 8) {
        stream += '\xFF';
        stream += bytes.substr(at, 8);
    }
    // A last group of fewer than eight items is followed by as many zeros as it occupies.
    if (bytes.size() % 8 != 0) stream.append(1 + bytes.size() % 8, '\0');
    return stream;
}

std::string buildArchive(const std::vector<ArchiveEntry>& entries, const std::string& data) {
    std::string pac("PAC", 3);
    pac.append(9, '\0');
    put32(pac, 4, static_cast<std::uint32_t>(entries.size()));
    const std::size_t start = 12 + 76 * entries.size();
    for (const ArchiveEntry& e : entries) {
        std::string entry = e.name.substr(0, 63);
        entry.resize(76, '\0');
        put32(entry, 64, static_cast<std::uint32_t>(start + e.offset));
        put32(entry, 68, e.unpackedSize);
        put32(entry, 72, e.storedSize);
        pac += entry;
    }
    return pac + data;
}

std::string buildArchive(const std::vector<ArchiveMember>& members, std::uint8_t headerByte, std::uint32_t headerWord) {
    std::string pac("PAC", 3);
    pac += static_cast<char>(headerByte);
    pac.append(8, '\0');
    put32(pac, 4, static_cast<std::uint32_t>(members.size()));
    put32(pac, 8, headerWord);
    std::string data;
    const std::size_t start = 12 + 76 * members.size();
    for (const ArchiveMember& member : members) {
        const std::string stream = literalStream(member.bytes);
        std::string entry = member.name.substr(0, 63);
        entry.resize(76, '\0');
        put32(entry, 64, static_cast<std::uint32_t>(start + data.size()));
        put32(entry, 68, static_cast<std::uint32_t>(member.bytes.size()));
        put32(entry, 72, static_cast<std::uint32_t>(stream.size()));
        pac += entry;
        data += stream;
    }
    return pac + data;
}

}  // namespace testing_support
