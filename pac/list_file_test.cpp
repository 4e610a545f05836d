#include "list_file.h"

#include <gtest/gtest.h>

#include "messages.h"

namespace pactools {
namespace {

TEST(ListFile, NamesTheArchiveWithListAppended) {
    EXPECT_EQ(listFileName("data.pac"), "data.pac.list");
    EXPECT_EQ(listFileName("dir/x"), "dir/x.list");
}

TEST(ListFile, ReadsHeaderValuesLeniently) {
    struct Case {
        const char* line;
        std::uint8_t byte;
        std::uint32_t word;
    };
    for (const Case& c : {Case{"1A 7F3", 0x1A, 0x7F3}, Case{"1FF 0", 0xFF, 0}, Case{"  0x1a\t0X7f3 trailing", 0x1A, 0x7F3},
                          Case{"0 FFFFFFFF", 0, 0xFFFFFFFF}}) {
        PtrVector<std::string> names;
        PacHeader header;
        ASSERT_FALSE(readList(std::string(c.line) + "\n", names, header)) << c.line;
        EXPECT_EQ(header.headerByte, c.byte) << c.line;
        EXPECT_EQ(header.headerWord, c.word) << c.line;
        EXPECT_EQ(names.count, 0u);
    }
}

TEST(ListFile, TakesEveryFurtherLineAsAName) {
    PtrVector<std::string> names;
    ptrVectorInit(names, 32, 32);
    PacHeader header;
    const std::string longName(600, 'n');  // lines of any length stay one name
    ASSERT_FALSE(readList("1 2\r\na.dat\r\n\r\n dir\\b.bin \n" + longName + "\nlast", names, header));
    ASSERT_EQ(names.count, 5u);
    EXPECT_EQ(names[0], "a.dat");
    EXPECT_EQ(names[1], "");
    EXPECT_EQ(names[2], " dir\\b.bin ");
    EXPECT_EQ(names[3], longName);
    EXPECT_EQ(names[4], "last");
}

TEST(ListFile, ReportsAMissingOrBadFirstLine) {
    PtrVector<std::string> names;
    PacHeader header;
    EXPECT_EQ(messageText(readList("", names, header)), "Unexpected EOF in list file...");
    for (const char* text : {"1A\nname\n", "\n", "zz 1\n", "1,2\n"}) {
        EXPECT_EQ(messageText(readList(text, names, header)), "Invalid list file") << text;
    }
}

TEST(ListFile, WritesTheCanonicalForm) {
    PtrVector<PacEntry> entries;
    ptrVectorPush(entries, std::make_unique<PacEntry>(PacEntry{"a.dat", 0, 0, 0, "a.dat"}));
    ptrVectorPush(entries, std::make_unique<PacEntry>(PacEntry{"", 0, 0, 0, ""}));
    EXPECT_EQ(listText({0xFF, 2, 0x7F3}, entries, "\n"), "FF 7F3\na.dat\n\n");
    EXPECT_EQ(listText({0, 0, 0}, {}, "\r\n"), "0 0\r\n");
}

}  // namespace
}  // namespace pactools
