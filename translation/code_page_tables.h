// The legacy code pages' tables: which byte sequences decode, to what, and
// which sequence a character is written with where several decode to it.
// scripts/generate_code_page_tables.py writes them into code_page_tables.cpp
// from Windows' own code page tables; code_page.cpp converts with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pactools::code_page_tables {

// The trail bytes a lead byte takes, first to last, and where their code
// points start in the page's `points`.  `last` is 0 for a byte that leads
// nothing (no trail byte is 0).
struct LeadRow {
    std::uint8_t first = 0;
    std::uint8_t last = 0;
    std::uint32_t offset = 0;
};

// A character written with `bytes` (lead << 8 | trail), not with the highest
// sequence that decodes to it.
struct Preferred {
    std::uint16_t character;
    std::uint16_t bytes;
};

// One code page.  Bytes 0x00-0x7F are ASCII in every page.  Code point 0
// stands for "undefined" everywhere below.
struct Table {
    unsigned number;                    // Windows' code page number
    const std::uint16_t* high;          // 128 entries: bytes 0x80-0xFF alone
    std::span<const LeadRow> leads;     // 128 rows for bytes 0x80-0xFF; empty for single-byte pages
    std::span<const std::uint16_t> points;
    std::span<const Preferred> preferred;  // sorted by character
};

inline constexpr std::size_t kTableCount = 13;
extern const Table kTables[kTableCount];

}  // namespace pactools::code_page_tables
