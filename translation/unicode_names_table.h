// The character names unicode_names.cpp looks up, generated from the Unicode
// Character Database by scripts/generate_unicode_names.py into
// unicode_names_table.cpp.
#pragma once

#include <cstdint>
#include <span>

namespace pactools::unicode_names_table {

// Characters first to last, each named `prefix` and its code point in
// hexadecimal ("CJK UNIFIED IDEOGRAPH-" 4E00).
struct NamedRange {
    std::uint32_t first;
    std::uint32_t last;
    const char* prefix;
};

struct Name {
    std::uint32_t codePoint;
    const char* name;
};

std::span<const NamedRange> ranges();
// Sorted by code point.
std::span<const Name> names();

}  // namespace pactools::unicode_names_table
