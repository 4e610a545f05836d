// What scntool knows of where a listing and its binary came from.  For each
// listing NAME.txt it writes, scntool records the binary NAME.bin it was
// listed from and the listing as written; for each binary it assembles from
// a listing, the binary's bytes and what they were built from.  Files are
// known again by content hashes, never by times, so a binary that is none
// of these is a new original (a new version of the game), whatever it
// differs in.
//
// The record of DIR/NAME.txt is DIR/.scntool/NAME.record, written
// atomically like every output; no archive member may lie in .scntool.
// A listing without a record was written by hand or elsewhere.
//
// The record's text: a first line "scntool record 1", then
//   source HASH          the binary the listing was listed from (optional)
//   built HASH INPUTS    a binary assembled from the listing, and the hash of
//                        what it was built from (up to kBuiltKept, oldest first)
//   retired HASH         what an earlier listing (as written from an earlier
//                        original) assembles to: listings that still do are
//                        not built again (up to kBuiltKept)
//   base LENGTH          last: the listing as written from the source, its
//                        LENGTH bytes following the line's LF
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"

namespace pactools {

struct BuiltBinary {
    std::string hash;    // of the binary's bytes
    std::string inputs;  // of the listing, translations, code page and tool it was assembled with
};

struct ScenarioRecord {
    std::string source;  // hash of the binary the listing was listed from, "" when unknown
    std::string base;    // the listing as written from that binary ("" when unknown)
    std::vector<BuiltBinary> built;  // oldest first
    std::vector<std::string> retired;  // what listings of earlier originals assemble to, oldest first

    // The binary `hash` is the listing's source or was built from it.
    bool knows(std::string_view hash) const;
    // The newest binary built, or null.
    const BuiltBinary* lastBuilt() const { return built.empty() ? nullptr : &built.back(); }
    // Adds a built binary (dropping the oldest past kBuiltKept).
    void addBuilt(std::string hash, std::string inputs);
    // The record of the listing of the new original `hash`, written as
    // `base`; `retire` (when not empty) is what this record's base listing
    // assembles to, retired with the earlier ones.
    ScenarioRecord relisted(std::string hash, std::string base, const std::string& retire) const;
    bool isRetired(std::string_view hash) const;
};

// Binaries built from one listing that the record keeps: the last few, so
// that a binary left by an interrupted build is still known.
inline constexpr std::size_t kBuiltKept = 8;

// The record of the listing whose path without extension is `stem`.
std::string recordPath(std::string_view stem);

// Reads the record at `path`; `exists` false (and no error) when there is
// none.  A file that is not a record fails with RecordDamaged (`at` its line).
Error readRecord(const std::string& path, ScenarioRecord& record, bool& exists);
// The record's text.
std::string recordText(const ScenarioRecord& record);
// Writes it (the .scntool folder made when missing), all or nothing.
Error writeRecord(const std::string& path, const ScenarioRecord& record);

}  // namespace pactools
