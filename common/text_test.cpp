#include "text.h"

#include <gtest/gtest.h>

#include <vector>

namespace pactools {
namespace {

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    LineReader reader(text);
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    return lines;
}

TEST(LineReader, EndsLinesAtLfCrLfOrALoneCr) {
    EXPECT_EQ(linesOf("a\nb\r\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(linesOf("x\ry\nz\n"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_EQ(linesOf("old\rmac\r\rend"), (std::vector<std::string>{"old", "mac", "", "end"}));
    EXPECT_EQ(linesOf("\r\n\r\n"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(withoutByteOrderMark("\xEF\xBB\xBFx"), "x");
    EXPECT_EQ(withoutByteOrderMark("\xEF\xBBx"), "\xEF\xBBx");
    EXPECT_TRUE(linesOf("").empty());
    EXPECT_EQ(linesOf("\n"), (std::vector<std::string>{""}));
    const std::string longLine(5000, 'q');
    EXPECT_EQ(linesOf(longLine + "\r\n"), (std::vector<std::string>{longLine}));
}

TEST(TextScanner, ReadsHexLikeTheFormatsDo) {
    std::uint32_t v = 0;
    for (const char* text : {"1f", "1F", "\t0x1F", " 0X1f", "+1F", "001F"}) {
        TextScanner s(text);
        ASSERT_TRUE(s.hex(v)) << text;
        EXPECT_EQ(v, 0x1Fu) << text;
    }
    TextScanner neg("-1");
    ASSERT_TRUE(neg.hex(v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    TextScanner huge("123456789ABCDEF0123");  // beyond 64 bits: saturates
    ASSERT_TRUE(huge.hex(v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(huge.tooLarge);
    TextScanner big("1FFFFFFFF");
    ASSERT_TRUE(big.hex(v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(big.tooLarge);
    TextScanner fits("0x00000000FFFFFFFF");  // leading zeros do not count
    ASSERT_TRUE(fits.hex(v));
    EXPECT_FALSE(fits.tooLarge);
    TextScanner zeroX("0xg");  // a prefix without digits is the number 0
    ASSERT_TRUE(zeroX.hex(v));
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(zeroX.position, 1u);
    TextScanner none("  g");
    EXPECT_FALSE(none.hex(v));
    EXPECT_EQ(none.position, 0u);  // nothing taken on failure
}

TEST(Text, ShowsControlCharactersEscaped) {
    EXPECT_EQ(shown("a\x1B[2Jb\tc\x7F\xC4"), "a\\x1B[2Jb\\x09c\\x7F\xC4");
    // C1 controls written as UTF-8 are escaped; other bytes (a legacy code
    // page's lead bytes, UTF-8 letters) stay.
    EXPECT_EQ(shown("\xC2\x9B" "2J \xC2\x85\xC2\xA0\xC3\xA9\x81\x9B\xC2"), "\\xC2\\x9B" "2J \\xC2\\x85\xC2\xA0\xC3\xA9\x81\x9B\xC2");
    EXPECT_EQ(shown("dir\\x.bin"), "dir\\x.bin");
    // Format characters that reorder or hide text, written in UTF-8: the
    // right-to-left override would show invoice\u202Efdp.exe as invoiceexe.pdf.
    const struct {
        const char* name;
        const char* shown;
    } formats[] = {
        {"invoice\xE2\x80\xAE" "fdp.exe", "invoice\\xE2\\x80\\xAE" "fdp.exe"},
        {"a\xE2\x80\x8B" "b\xE2\x80\x8F", "a\\xE2\\x80\\x8B" "b\\xE2\\x80\\x8F"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\xE2\\x81\\xA6x\\xE2\\x81\\xA9"},
        {"\xE2\x80\xA8\xE2\x80\xA9\xEF\xBB\xBF", "\\xE2\\x80\\xA8\\xE2\\x80\\xA9\\xEF\\xBB\\xBF"},
        // Arabic letter mark, a soft hyphen, a variation selector, a tag.
        {"a\xD8\x9C\xC2\xAD\xEF\xB8\x8F\xF3\xA0\x81\x81", "a\\xD8\\x9C\\xC2\\xAD\\xEF\\xB8\\x8F\\xF3\\xA0\\x81\\x81"},
        // Their neighbours stay: U+200A, U+2010, U+202F, U+205F, U+FEFE, U+00AE.
        {"\xE2\x80\x8A\xE2\x80\x90\xE2\x80\xAF\xE2\x81\x9F\xEF\xBB\xBE\xC2\xAE",
         "\xE2\x80\x8A\xE2\x80\x90\xE2\x80\xAF\xE2\x81\x9F\xEF\xBB\xBE\xC2\xAE"},
    };
    for (const auto& c : formats) EXPECT_EQ(shown(c.name), c.shown) << c.shown;
}

TEST(Text, FoldsAsciiCaseOnly) {
    EXPECT_TRUE(equalsIgnoreCase("PushB", "pushb"));
    EXPECT_FALSE(equalsIgnoreCase("PushB", "push"));
    EXPECT_TRUE(startsWithIgnoreCase("CJMP label", "cjmp"));
    EXPECT_TRUE(endsWithIgnoreCase("SCENE.BIN", ".bin"));
    EXPECT_FALSE(endsWithIgnoreCase("bin", ".bin"));
    EXPECT_FALSE(equalsIgnoreCase("\xC4", "\xE4"));  // bytes above ASCII are left alone
    EXPECT_EQ(hexText(0x1A4), "1A4");
    EXPECT_EQ(hexText(0), "0");
}

}  // namespace
}  // namespace pactools
