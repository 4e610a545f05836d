#include "code_page.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pactools {
namespace {

TEST(CodePage, NamesInTheUsualForms) {
    for (const char* name : {"CP932", "cp932", "932"}) EXPECT_EQ(findCodePage(name)->number, 932u) << name;
    EXPECT_EQ(findCodePage("utf-8")->number, 65001u);
    EXPECT_EQ(findCodePage("CP1258")->number, 1258u);
    for (const char* name : {"SHIFT_JIS", "CP437", "", "CP"}) EXPECT_FALSE(findCodePage(name)) << name;
}

TEST(CodePage, ConvertsExactlyBothWays) {
    const struct {
        const char* page;
        std::string bytes;
        std::string utf8;
    } same[] = {
        {"CP932", "\x95\x5C", "\xE8\xA1\xA8"},                     // 表: its second byte is a backslash
        {"CP932", "\xB1\xDD", "\xEF\xBD\xB1\xEF\xBE\x9D"},         // half-width katakana アン
        {"CP932", "\\~a", "\\~a"},                                 // backslash and tilde stay ASCII
        {"CP932", "\xFA\x40", "\xE2\x85\xB0"},                     // U+2170, not EEEF, which decodes to it too
        {"CP932", "\x81\xE0", "\xE2\x89\x92"},                     // U+2252, not 8790, which decodes to it too
        {"CP932", "\x81\x45", "\xE3\x83\xBB"},                     // U+30FB, the table's default character
        {"CP932", "\xF0\x40\xF9\xFC", "\xEE\x80\x80\xEE\x9D\x97"},  // user-defined: U+E000 and U+E757
        {"CP936", "\xAA\xA1", "\xEE\x80\x80"},                     // user-defined: U+E000
        {"CP949", "\xC9\xA1", "\xEE\x80\x80"},
        {"CP950", "\xFA\x40", "\xEE\x80\x80"},
        {"CP950", "\xF9\xF9", "\xE2\x95\x90"},                     // U+2550, not A2A4, which decodes to it too
        {"CP950", "\xA2\x7E", "\xE2\x95\xAD"},                     // U+256D, not F9FA
        {"CP1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},    // é and the euro sign
        {"CP1251", "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"CP1258", "A\xDE", "A\xCC\x83"},                          // A and a combining tilde, never composed
        {"UTF-8", "\xE8\xA1\xA8", "\xE8\xA1\xA8"},
    };
    for (const auto& c : same) {
        const CodePage page = *findCodePage(c.page);
        std::string utf8;
        ASSERT_TRUE(toUtf8(page, c.bytes, utf8)) << c.page << " " << c.utf8;
        EXPECT_EQ(utf8, c.utf8) << c.page;
        std::string bytes;
        std::uint32_t character = 0;
        ASSERT_TRUE(fromUtf8(page, c.utf8, bytes, character)) << c.page << " " << c.utf8;
        EXPECT_EQ(bytes, c.bytes) << c.page << " " << c.utf8;
    }
    // Other sequences that decode to a character written with the bytes above.
    std::string out;
    for (const auto& [page, bytes, utf8] : {std::tuple{"CP932", "\xEE\xEF", "\xE2\x85\xB0"},
                                            {"CP932", "\x87\x90", "\xE2\x89\x92"},
                                            {"CP950", "\xA2\xA4", "\xE2\x95\x90"},
                                            {"CP950", "\xF9\xFA", "\xE2\x95\xAD"}}) {
        ASSERT_TRUE(toUtf8(*findCodePage(page), bytes, out)) << page;
        EXPECT_EQ(out, utf8) << page;
    }
}

TEST(CodePage, DecodesOnlyWhatThePageDefines) {
    const struct {
        const char* page;
        std::string bytes;
    } refused[] = {
        {"CP932", "\x81"},             // a lead byte at the end
        {"CP932", "ab\x81"},
        {"CP932", "\x81\x20"},         // a trail byte it does not take
        {"CP932", "\x81\xAD"},         // a pair Windows' table fills with its default character
        {"CP932", "\x85\x40"},         // a lead byte with no pair defined
        {"CP932", "\x80"},             // Windows maps it to the C1 control U+0080
        {"CP932", "\xA0"},             // Windows' table has private-use U+F8F0, its strict converter refuses it
        {"CP1255", "\xD9"},
        {"CP1252", "\x81"},            // undefined; Windows maps it to U+0081
        {"CP936", "\xA1\x7F"},
        {"CP949", "\xC9\x41"},
        {"UTF-8", "\xC2\x85"},         // the C1 control U+0085
        {"UTF-8", "\xC0\xAF"},         // overlong
        {"UTF-8", "\xED\xA0\x80"},     // a surrogate
        {"UTF-8", "\xE3\x81"},         // cut short
    };
    std::string out = "x";
    for (const auto& c : refused) {
        EXPECT_FALSE(toUtf8(*findCodePage(c.page), c.bytes, out)) << c.page << " " << c.bytes;
        EXPECT_EQ(out, "") << c.page;
    }
}

TEST(CodePage, NamesWhatItCannotHoldAndTheLookAlikeItHolds) {
    // Characters the code page cannot hold are named, never replaced.
    const struct {
        const char* page;
        std::string utf8;
        std::uint32_t character;
        std::uint32_t instead;  // 0: no look-alike
    } unheld[] = {
        {"CP932", "ok \xF0\x9F\x98\x80", 0x1F600, 0},  // an emoji
        {"CP932", "\xC3\xA9t\xC3\xA9", 0xE9, 0},        // é has no CP932 form
        {"CP932", "\xC2\xA5", 0xA5, 0xFFE5},            // YEN SIGN
        {"CP932", "\xE2\x80\x94", 0x2014, 0x2015},      // EM DASH
        {"CP932", "\xE3\x80\x9C", 0x301C, 0xFF5E},      // WAVE DASH
        {"CP932", "\xE2\x88\x92", 0x2212, 0xFF0D},      // MINUS SIGN
        {"CP932", "\xC2\xB7", 0xB7, 0x30FB},            // MIDDLE DOT
        {"CP932", "\xC2\x80", 0x80, 0},                 // C1 controls, in every page
        {"CP949", "\xE2\x80\x94", 0x2014, 0x2015},
        {"CP936", "\xE3\x83\xBB", 0x30FB, 0xB7},        // KATAKANA MIDDLE DOT
        {"CP1252", "\xD0\x9F", 0x41F, 0},               // Cyrillic П
        {"CP1252", "\xEF\xBF\xA5", 0xFFE5, 0xA5},       // FULLWIDTH YEN SIGN
        {"CP1252", "\xE3\x80\x9C", 0x301C, 0},          // neither the wave dash nor the fullwidth tilde
        {"CP1252", "\xC2\x81", 0x81, 0},
        {"CP1258", "\xC3\x83", 0xC3, 0},                // Ã: only A and a combining tilde
        {"UTF-8", "a\xC2\x9F", 0x9F, 0},
        {"CP1252", "x\xFF", 0xFFFFFFFF, 0},             // not UTF-8 at all
        {"CP932", "\xC3\xA9\xFF", 0xFFFFFFFF, 0},       // not UTF-8, after a character it cannot hold
    };
    for (const auto& c : unheld) {
        const CodePage page = *findCodePage(c.page);
        std::string out;
        std::uint32_t character = 0;
        EXPECT_FALSE(fromUtf8(page, c.utf8, out, character)) << c.page << " " << c.utf8;
        EXPECT_EQ(character, c.character) << c.page << " " << c.utf8;
        const std::optional<std::uint32_t> instead = heldInstead(page, c.character);
        EXPECT_EQ(instead.value_or(0), c.instead) << c.page << " " << c.utf8;
        if (instead) {
            EXPECT_TRUE(holds(page, *instead)) << c.page;
        }
    }
    // Nothing instead of what the page holds.
    for (const auto& [page, character] : {std::pair{"CP932", 0xFF5Eu}, {"CP1252", 0xA5u}, {"UTF-8", 0x301Cu}}) {
        EXPECT_TRUE(holds(*findCodePage(page), character)) << page;
        EXPECT_FALSE(heldInstead(*findCodePage(page), character)) << page;
    }
}

}  // namespace
}  // namespace pactools
