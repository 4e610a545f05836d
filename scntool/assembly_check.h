// scntool checks every binary it assembles with translations before writing
// it: the listing is parsed again and the binary read back, independently
// of the code that translated and laid it out.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "error.h"
#include "translation.h"

namespace pactools {

// Checks `binary` against the listing it was assembled from with the
// strings `replaced`: the same statements in the same order, each jump
// landing on the statement its label named (or the end of the stream),
// each replaced string holding its translation and every other string its
// listing's bytes, every other operand and the flag block unchanged.  Fails
// with TranslatedBinaryWrong, `at` the listing line of the first statement
// that differs and `detail` how.
Error checkTranslatedBinary(std::string_view listing, std::span<const StringReplacement> replaced,
                            std::span<const std::uint8_t> binary);

}  // namespace pactools
