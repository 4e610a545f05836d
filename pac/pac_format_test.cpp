#include "pac_format.h"

#include <gtest/gtest.h>

#include "messages.h"
#include "platform.h"

#include <vector>

namespace pactools {
namespace {

std::vector<std::uint8_t> archiveBytes(const PacHeader& header, const std::vector<PacEntry>& entries,
                                       std::size_t dataSize) {
    std::vector<std::uint8_t> bytes(pacDataStart(entries.size()) + dataSize, 0);
    encodeHeader(header, std::span(bytes).first<kPacHeaderSize>());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        encodeEntry(entries[i], std::span(bytes).subspan(kPacHeaderSize + kPacEntrySize * i).first<kPacEntrySize>());
    }
    return bytes;
}

// Reads header and directory; the message of the first error, or "".
std::string readAll(const std::vector<std::uint8_t>& bytes, PtrVector<PacEntry>& entries) {
    PacHeader header;
    Error error = readPacHeader(std::span(bytes).first(std::min<std::size_t>(bytes.size(), kPacHeaderSize)),
                                bytes.size(), "x.pac", header);
    if (!error) error = readPacDirectory(header, std::span(bytes).subspan(kPacHeaderSize), bytes.size(), "x.pac", entries);
    return messageText(error);
}

TEST(PacFormat, HeaderAndEntriesAreLittleEndianRecords) {
    const PacHeader header{0x1A, 2, 0x7F3};
    const std::vector<PacEntry> entries = {{"a.dat", 164, 5, 7, "a.dat"}, {"dir\\b.bin", 171, 0x01020304, 0, "dir\\b.bin"}};
    const auto bytes = archiveBytes(header, entries, 7);
    ASSERT_EQ(bytes.size(), 12u + 2 * 76 + 7);
    const std::uint8_t expectedHeader[] = {'P', 'A', 'C', 0x1A, 2, 0, 0, 0, 0xF3, 0x07, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(expectedHeader), std::end(expectedHeader), bytes.begin()));
    EXPECT_EQ(bytes[12 + 76 + 64], 171);
    EXPECT_EQ(bytes[12 + 76 + 68], 0x04);
    EXPECT_EQ(bytes[12 + 76 + 71], 0x01);
    EXPECT_EQ(bytes[12 + 5], 0);  // the name field is zero after the name

    PtrVector<PacEntry> decoded;
    ASSERT_EQ(readAll(bytes, decoded), "");
    ASSERT_EQ(decoded.count, 2u);
    EXPECT_EQ(decoded[1].name, "dir\\b.bin");
    EXPECT_EQ(decoded[1].unpackedSize, 0x01020304u);
    EXPECT_EQ(decoded[0].storedSize, 7u);
}

TEST(PacFormat, OnlyTheFirstThreeBytesMarkAnArchive) {
    const std::uint8_t pac[] = {'P', 'A', 'C', 0xEE};
    const std::uint8_t other[] = {'P', 'A', 'K', 0};
    EXPECT_TRUE(isPac(pac));
    EXPECT_FALSE(isPac(other));
    EXPECT_FALSE(isPac(std::span(pac).first(2)));
}

TEST(PacFormat, RefusesDamagedArchives) {
    PtrVector<PacEntry> entries;
    const std::vector<std::uint8_t> shortFile = {'P', 'A', 'C', 0, 0};
    EXPECT_EQ(readAll(shortFile, entries), "x.pac: Not a PAC file...");

    auto bytes = archiveBytes({0, 1, 0}, {{"a", 88, 3, 4, "a"}}, 4);
    bytes[4] = 2;  // claims a second entry that is not there
    EXPECT_NE(readAll(bytes, entries).find("directory"), std::string::npos);

    bytes = archiveBytes({0, 1, 0}, {{"a", 88, 3, 5, "a"}}, 4);  // data one byte past the end
    EXPECT_EQ(readAll(bytes, entries), "x.pac: Damaged PAC file: the data of a runs past the end of the file");

    bytes = archiveBytes({0, 1, 0}, {{"a", 0xFFFFFFF0u, 3, 0x20, "a"}}, 0);  // offset + size beyond 32 bits
    EXPECT_NE(readAll(bytes, entries), "");

    bytes = archiveBytes({0, 1, 0}, {{"a", 88, 0, 0, "a"}}, 0);
    std::fill(bytes.begin() + 12, bytes.begin() + 12 + 64, 'n');  // no NUL in the name field
    EXPECT_EQ(readAll(bytes, entries), "x.pac: Damaged PAC file: entry 1 has a name without NUL");
}

TEST(PacFormat, RefusesNamesThatLeaveTheCurrentDirectory) {
    for (const char* name : {"/etc/passwd", "\\windows\\x", "C:x", "c:\\x", "..", "../a", "a/../../b", "a\\..\\b", "a/..",
                             "", "two\nlines", "cr\r"}) {
        EXPECT_TRUE(isUnsafeMemberName(name)) << name;
    }
    for (const char* name : {"a", "dir/a.bin", "dir\\a.bin", "..a", "a..", "a/.../b", ".hidden", "1:x"}) {
        EXPECT_FALSE(isUnsafeMemberName(name)) << name;
    }
}

TEST(PacFormat, BackslashesSeparateDirectoriesOnThisSystem) {
    EXPECT_EQ(memberFilePath("dir\\a.bin"), platform::kWindows ? "dir\\a.bin" : "dir/a.bin");
}

}  // namespace
}  // namespace pactools
