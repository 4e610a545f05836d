// The upper-case forms of characters, as Windows' file systems compare
// names: generated from the Unicode Character Database by
// scripts/generate_upper_case_table.py into upper_case_table.cpp.
#pragma once

#include <cstdint>
#include <span>

namespace pactools::upper_case_table {

struct Pair {
    std::uint16_t character;
    std::uint16_t upper;
};

// Sorted by character; a character not listed is its own upper case.
std::span<const Pair> pairs();

}  // namespace pactools::upper_case_table
