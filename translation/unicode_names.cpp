#include "unicode_names.h"

#include <algorithm>
#include <cstdio>

#include "unicode_names_table.h"

namespace pactools {

namespace {

// A Hangul syllable's name, from its jamo as the Unicode Standard gives it
// (section 3.12): "HANGUL SYLLABLE " and the short names of its leading
// consonant, vowel and trailing consonant.
std::string hangulSyllableName(std::uint32_t codePoint) {
    static constexpr const char* kLeading[] = {"G", "GG", "N", "D", "DD", "R", "M", "B", "BB", "S",
                                               "SS", "", "J", "JJ", "C", "K", "T", "P", "H"};
    static constexpr const char* kVowels[] = {"A",  "AE", "YA", "YAE", "EO", "E",  "YEO", "YE", "O",  "WA", "WAE",
                                              "OE", "YO", "U",  "WEO", "WE", "WI", "YU",  "EU", "YI", "I"};
    static constexpr const char* kTrailing[] = {"",   "G",  "GG", "GS", "N", "NJ", "NH", "D", "L", "LG",
                                                "LM", "LB", "LS", "LT", "LP", "LH", "M",  "B", "BS", "S",
                                                "SS", "NG", "J",  "C",  "K", "T",  "P",  "H"};
    const std::uint32_t index = codePoint - 0xAC00;
    return std::string("HANGUL SYLLABLE ") + kLeading[index / (21 * 28)] + kVowels[index / 28 % 21] +
           kTrailing[index % 28];
}

}  // namespace

std::string characterName(std::uint32_t codePoint) {
    if (codePoint >= 0xAC00 && codePoint <= 0xD7A3) return hangulSyllableName(codePoint);
    for (const unicode_names_table::NamedRange& range : unicode_names_table::ranges()) {
        if (codePoint >= range.first && codePoint <= range.last) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(codePoint));
            return std::string(range.prefix) + hex;
        }
    }
    const auto names = unicode_names_table::names();
    const auto found = std::lower_bound(names.begin(), names.end(), codePoint,
                                        [](const unicode_names_table::Name& name, std::uint32_t point) {
                                            return name.codePoint < point;
                                        });
    return found != names.end() && found->codePoint == codePoint ? found->name : "";
}

}  // namespace pactools
