// scntool checks every binary it assembles with translations before writing
// it: the listing is parsed again and the binary read back, independently
// of the code that translated and laid it out.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "error.h"
#include "translation.h"

namespace pactools {

// What a string of the binary may be, against the listing's string: null
// when it is as it should be, else why not.  `statement` is the string's
// index in the listing's statements and `line` its line.
using StringRule = std::function<const char*(std::uint32_t statement, std::size_t line,
                                             std::span<const std::uint8_t> listed, std::span<const std::uint8_t> got)>;

// Checks `binary` against the listing it should come from: the same
// statements in the same order, each jump landing on the statement its
// label names (or the end of the stream), every operand other than a
// string's and the flag block unchanged, and each string as `rule` says.
// Fails with TranslatedBinaryWrong, `at` the listing line of the first
// statement that differs and `detail` how.
Error compareWithListing(std::string_view listing, std::span<const std::uint8_t> binary, const StringRule& rule);

// The check of a binary assembled with the strings `replaced`: each
// replaced string holds its translation, every other its listing's bytes.
Error checkTranslatedBinary(std::string_view listing, std::span<const StringReplacement> replaced,
                            std::span<const std::uint8_t> binary);

}  // namespace pactools
