#include "unicode_names.h"

#include <gtest/gtest.h>

namespace pactools {
namespace {

TEST(UnicodeNames, NamesCharactersFromTheTableAndByRule) {
    const struct {
        std::uint32_t codePoint;
        const char* name;
    } cases[] = {
        {0x0041, "LATIN CAPITAL LETTER A"},
        {0x00A5, "YEN SIGN"},
        {0x0233, "LATIN SMALL LETTER Y WITH MACRON"},        // Latin Extended-B, held by no code page
        {0x2014, "EM DASH"},
        {0x2170, "SMALL ROMAN NUMERAL ONE"},
        {0x21E8, "RIGHTWARDS WHITE ARROW"},
        {0x2550, "BOX DRAWINGS DOUBLE HORIZONTAL"},
        {0x301C, "WAVE DASH"},
        {0x30FB, "KATAKANA MIDDLE DOT"},
        {0x05BA, "HEBREW POINT HOLAM HASER FOR VAV"},       // CP1255 only
        {0xFF5E, "FULLWIDTH TILDE"},
        {0xFFEE, "HALFWIDTH WHITE CIRCLE"},                  // the last of its block
        {0x4E00, "CJK UNIFIED IDEOGRAPH-4E00"},
        {0x3400, "CJK UNIFIED IDEOGRAPH-3400"},
        {0x20B9F, "CJK UNIFIED IDEOGRAPH-20B9F"},
        {0xF929, "CJK COMPATIBILITY IDEOGRAPH-F929"},
        {0xAC00, "HANGUL SYLLABLE GA"},
        {0xAC01, "HANGUL SYLLABLE GAG"},
        {0xB82F, "HANGUL SYLLABLE RYEOLB"},
        {0xC544, "HANGUL SYLLABLE A"},                       // no leading consonant
        {0xD7A3, "HANGUL SYLLABLE HIH"},
        // Unknown here, or no name at all.
        {0x0085, ""},                                        // a control
        {0xE000, ""},                                        // private use
        {0xFA6E, ""},                                        // unassigned, between compatibility ideographs
        {0xD7A4, ""},                                        // just after the Hangul syllables
        {0x1F600, ""},                                       // an emoji: outside the table
        {0x110000, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(characterName(c.codePoint), c.name) << std::hex << c.codePoint;
}

}  // namespace
}  // namespace pactools
