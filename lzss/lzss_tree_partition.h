// Shares the encoder's 256 match trees (one per first byte) among threads.
//
// Each thread replays the whole input and at every position asks whether
// that position's tree is its own.  The processor guesses the answer from
// the answers before, so the cost of a share is its trees' work plus a
// penalty each time the answer changes from one position to the next.  A
// good share therefore balances the work and keeps together the bytes that
// follow one another in the input (the letters of a text, the opcodes of
// machine code), so that a thread's positions come in runs.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace pactools {

// How often each byte follows each other byte: entry [a * 256 + b] counts
// a followed by b.
struct BytePairs {
    std::vector<std::uint32_t> counts = std::vector<std::uint32_t>(256 * 256, 0);
};

void countBytePairs(std::span<const std::uint8_t> bytes, BytePairs& pairs);

// The part (0 to parts - 1) of each byte's tree, given the work each tree
// takes: parts within a few percent of an even share where the work allows
// (a tree is never split), and among such shares one where few neighbouring
// bytes fall in different parts.
std::array<std::uint16_t, 256> partitionTrees(const std::array<std::uint64_t, 256>& work, const BytePairs& pairs,
                                              unsigned parts);

}  // namespace pactools
