// The encoder's match finder: one binary search tree per first byte over
// the 4096-byte ring, kept in an LzssMatchTree record (part of the
// encoder's).  Shared by the encoder and its parallel form, inline so the
// encoder's hot loop stays one piece of code.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "lzss_format.h"

namespace pactools {

struct LzssMatchTree {
    static constexpr int kNil = lzss::kRingSize;  // the empty tree link

    int matchPosition = 0;  // best match found by the last insertion
    int matchLength = 0;
    // Tree links: son[p][0] is the right child of node p (strings that
    // compare greater or equal), son[p][1] the left one; the two sit side by
    // side so a walk picks one without branching.  son[4097 + b][0] is the
    // root of the tree for first byte b.
    std::uint16_t son[lzss::kRingSize + 257][2] = {};
    std::uint16_t dad[lzss::kRingSize + 1] = {};
    // The ring, followed by a copy of its first 17 bytes so that 18-byte
    // comparisons never wrap.  It starts zero-filled: matches may refer to it.
    std::uint8_t textBuf[lzss::kRingSize + lzss::kMaxMatch - 1] = {};
};

}  // namespace pactools

namespace pactools::lzss_tree {

using lzss::kMaxMatch;
using lzss::kRingMask;
using lzss::kRingSize;
using lzss::kThreshold;
constexpr int kNil = LzssMatchTree::kNil;
constexpr int kRoot = kRingSize + 1;  // son[kRoot + b][right] is the root of the tree for first byte b

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Compares the first 18 bytes of two strings whose first bytes agree (both
// lie in the ring with its 17-byte mirror, so 18 bytes may always be read).
// Returns how many agree; `cmp` gets the sign of the first difference, the
// bytes taken as unsigned values.  Eight bytes are compared at a time: the
// lowest set bit of their difference marks the first byte that differs.
inline int compareStrings(const std::uint8_t* key, const std::uint8_t* other, int& cmp) {
    if constexpr (std::endian::native == std::endian::little) {
        for (int at = 1; at < 17; at += 8) {
            const std::uint64_t a = load64(key + at);
            const std::uint64_t b = load64(other + at);
            if (a != b) {
                const int shift = std::countr_zero(a ^ b) & ~7;
                cmp = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
                return at + (shift >> 3);
            }
        }
        cmp = key[17] - other[17];
        return cmp != 0 ? 17 : kMaxMatch;
    } else {
        int i = 1;
        while (i < kMaxMatch && key[i] == other[i]) ++i;
        cmp = i < kMaxMatch ? key[i] - other[i] : 0;
        return i;
    }
}

constexpr int kRight = 0;
constexpr int kLeft = 1;

// Where link son[p][side] sits in the 32 bits holding both links of p.
constexpr int linkShift(int side) {
    return 16 * (std::endian::native == std::endian::little ? side : 1 - side);
}

inline void initTree(LzssMatchTree& e) {
    for (int i = kRoot; i < kRoot + 256; ++i) e.son[i][kRight] = kNil;
    for (int i = 0; i < kRingSize; ++i) e.dad[i] = kNil;
}

// Inserts the string at ring position r into the tree of its first byte and
// leaves the longest match met on the way in matchPosition/matchLength; among
// equal lengths the first node met wins.  A node holding the same 18 bytes
// is replaced by the new one.  Returns how many nodes it compared with.
inline int insertNode(LzssMatchTree& e, int r) {
    const std::uint8_t* key = &e.textBuf[r];
    int p = kRoot + key[0];
    int side = kRight;
    int bestLength = 0;
    int bestPosition = e.matchPosition;
    e.son[r][kRight] = e.son[r][kLeft] = kNil;
    // Both links of a node are loaded together, alongside its string, so the
    // next node is known as soon as the comparison picks a side.
    std::uint32_t links;
    std::memcpy(&links, e.son[p], sizeof links);
    int steps = 0;
    for (;; ++steps) {
        const int next = static_cast<int>((links >> linkShift(side)) & 0xFFFF);
        if (next == kNil) {
            e.son[p][side] = static_cast<std::uint16_t>(r);
            e.dad[r] = static_cast<std::uint16_t>(p);
            e.matchLength = bestLength;
            e.matchPosition = bestPosition;
            return steps;
        }
        p = next;
        std::memcpy(&links, e.son[p], sizeof links);
        int cmp = 0;
        const int i = compareStrings(key, &e.textBuf[p], cmp);
        if (i > bestLength) {
            bestPosition = p;
            bestLength = i;
            if (i >= kMaxMatch) break;
        }
        side = cmp < 0 ? kLeft : kRight;
    }
    e.matchLength = bestLength;
    e.matchPosition = bestPosition;
    // Same 18 bytes: the newer string takes the old node's place.
    e.dad[r] = e.dad[p];
    e.son[r][kLeft] = e.son[p][kLeft];
    e.son[r][kRight] = e.son[p][kRight];
    e.dad[e.son[p][kLeft]] = static_cast<std::uint16_t>(r);
    e.dad[e.son[p][kRight]] = static_cast<std::uint16_t>(r);
    std::uint16_t* link = &e.son[e.dad[p]][e.son[e.dad[p]][kRight] == p ? kRight : kLeft];
    *link = static_cast<std::uint16_t>(r);
    e.dad[p] = kNil;
    return steps + 1;
}

inline void deleteNode(LzssMatchTree& e, int p) {
    if (e.dad[p] == kNil) return;
    int q;
    if (e.son[p][kRight] == kNil) {
        q = e.son[p][kLeft];
    } else if (e.son[p][kLeft] == kNil) {
        q = e.son[p][kRight];
    } else {
        q = e.son[p][kLeft];
        if (e.son[q][kRight] != kNil) {
            do q = e.son[q][kRight];
            while (e.son[q][kRight] != kNil);
            e.son[e.dad[q]][kRight] = e.son[q][kLeft];
            e.dad[e.son[q][kLeft]] = e.dad[q];
            e.son[q][kLeft] = e.son[p][kLeft];
            e.dad[e.son[p][kLeft]] = static_cast<std::uint16_t>(q);
        }
        e.son[q][kRight] = e.son[p][kRight];
        e.dad[e.son[p][kRight]] = static_cast<std::uint16_t>(q);
    }
    e.dad[q] = e.dad[p];
    std::uint16_t* link = &e.son[e.dad[p]][e.son[e.dad[p]][kRight] == p ? kRight : kLeft];
    *link = static_cast<std::uint16_t>(q);
    e.dad[p] = kNil;
}

}  // namespace pactools::lzss_tree
