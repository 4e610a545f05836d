#include "code_page.h"

#include <gtest/gtest.h>

namespace pactools {
namespace {

TEST(CodePage, NamesInTheUsualForms) {
    for (const char* name : {"CP932", "cp932", "932"}) EXPECT_EQ(findCodePage(name)->number, 932u) << name;
    EXPECT_EQ(findCodePage("utf-8")->number, 65001u);
    EXPECT_EQ(findCodePage("CP1258")->number, 1258u);
    for (const char* name : {"SHIFT_JIS", "CP437", "", "CP"}) EXPECT_FALSE(findCodePage(name)) << name;
}

TEST(CodePage, ConvertsStrictlyBothWays) {
    const struct {
        const char* page;
        std::string bytes;
        std::string utf8;
    } same[] = {
        {"CP932", "\x95\x5C", "\xE8\xA1\xA8"},                 // 表: its second byte is a backslash
        {"CP932", "\xB1\xDD", "\xEF\xBD\xB1\xEF\xBE\x9D"},     // half-width katakana アン
        {"CP932", "\\~a", "\\~a"},                             // backslash and tilde stay ASCII
        {"CP1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},  // é and the euro sign
        {"CP1251", "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"UTF-8", "\xE8\xA1\xA8", "\xE8\xA1\xA8"},
    };
    for (const auto& c : same) {
        const CodePage page = *findCodePage(c.page);
        std::string utf8;
        ASSERT_TRUE(toUtf8(page, c.bytes, utf8)) << c.page;
        EXPECT_EQ(utf8, c.utf8) << c.page;
        std::string bytes;
        std::uint32_t character = 0;
        ASSERT_TRUE(fromUtf8(page, c.utf8, bytes, character)) << c.page;
        EXPECT_EQ(bytes, c.bytes) << c.page;
    }
    std::string out;
    for (const auto& [page, bytes] : {std::pair{"CP932", "\x81"}, {"CP932", "\xA0\xFF"}, {"CP1252", "\x81"}, {"UTF-8", "\xC0\xAF"}}) {
        EXPECT_FALSE(toUtf8(*findCodePage(page), bytes, out)) << page;
    }
    // Characters the code page cannot hold are named, never replaced.
    const struct {
        const char* page;
        std::string utf8;
        std::uint32_t character;
    } unmappable[] = {
        {"CP932", "ok \xF0\x9F\x98\x80", 0x1F600},  // an emoji
        {"CP932", "\xC3\xA9t\xC3\xA9", 0xE9},        // é has no CP932 form
        {"CP1252", "\xD0\x9F", 0x41F},               // Cyrillic П
        {"CP1252", "x\xFF", 0xFFFFFFFF},             // not UTF-8 at all
    };
    for (const auto& c : unmappable) {
        std::uint32_t character = 0;
        EXPECT_FALSE(fromUtf8(*findCodePage(c.page), c.utf8, out, character)) << c.page;
        EXPECT_EQ(character, c.character) << c.page;
    }
}

}  // namespace
}  // namespace pactools
