// The Unicode names of characters, for messages about characters a code
// page cannot hold ("U+301C WAVE DASH").
#pragma once

#include <cstdint>
#include <string>

namespace pactools {

// The Unicode name of `codePoint` ("WAVE DASH"), or "" when it is not known
// here.  Known: every character the supported code pages hold; the blocks
// Latin-1 Supplement, Latin Extended-A and B, General Punctuation,
// Letterlike Symbols, Arrows, Mathematical Operators, Box Drawing, CJK
// Symbols and Punctuation, and Halfwidth and Fullwidth Forms; every CJK
// unified or compatibility ideograph and every Hangul syllable.  Controls
// have no name.
std::string characterName(std::uint32_t codePoint);

}  // namespace pactools
