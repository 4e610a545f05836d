#include "lzss_encoder.h"

#include <bit>
#include <cstring>

namespace pactools {

namespace {

using lzss::kMaxMatch;
using lzss::kRingMask;
using lzss::kRingSize;
using lzss::kThreshold;
constexpr int kNil = LzssEncoder::kNil;
constexpr int kRoot = kRingSize + 1;  // son[kRoot + b][right] is the root of the tree for first byte b

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Compares the first 18 bytes of two strings whose first bytes agree (both
// lie in the ring with its 17-byte mirror, so 18 bytes may always be read).
// Returns how many agree; `cmp` gets the sign of the first difference, the
// bytes taken as unsigned values.  Eight bytes are compared at a time: the
// lowest set bit of their difference marks the first byte that differs.
int compareStrings(const std::uint8_t* key, const std::uint8_t* other, int& cmp) {
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

void initTree(LzssEncoder& e) {
    for (int i = kRoot; i < kRoot + 256; ++i) e.son[i][kRight] = kNil;
    for (int i = 0; i < kRingSize; ++i) e.dad[i] = kNil;
}

// Inserts the string at ring position r into the tree of its first byte and
// leaves the longest match met on the way in matchPosition/matchLength; among
// equal lengths the first node met wins.  A node holding the same 18 bytes
// is replaced by the new one.
void insertNode(LzssEncoder& e, int r) {
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
    for (;;) {
        const int next = static_cast<int>((links >> linkShift(side)) & 0xFFFF);
        if (next == kNil) {
            e.son[p][side] = static_cast<std::uint16_t>(r);
            e.dad[r] = static_cast<std::uint16_t>(p);
            e.matchLength = bestLength;
            e.matchPosition = bestPosition;
            return;
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
}

void deleteNode(LzssEncoder& e, int p) {
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

void flushGroup(LzssEncoder& e, std::vector<std::uint8_t>& output) {
    output.insert(output.end(), e.codeBuf, e.codeBuf + e.codeBufPtr);
    e.outCount += static_cast<std::uint64_t>(e.codeBufPtr);
    e.codeBuf[0] = 0;
    e.codeBufPtr = 1;
    e.mask = 1;
}

// Appends the item at the look-ahead's start to the group being built.
void emitItem(LzssEncoder& e, std::vector<std::uint8_t>& output) {
    if (e.matchLength > e.len) e.matchLength = e.len;
    if (e.matchLength <= kThreshold) {
        e.matchLength = 1;
        e.codeBuf[0] |= e.mask;
        e.codeBuf[e.codeBufPtr++] = e.textBuf[e.r];
    } else {
        e.codeBuf[e.codeBufPtr++] = static_cast<std::uint8_t>(e.matchPosition);
        e.codeBuf[e.codeBufPtr++] =
            static_cast<std::uint8_t>(((e.matchPosition >> 4) & 0xF0) | (e.matchLength - (kThreshold + 1)));
    }
    e.mask = static_cast<std::uint8_t>(e.mask << 1);
    if (e.mask == 0) flushGroup(e, output);
    e.lastMatchLength = e.matchLength;
}

}  // namespace

void lzssEncode(LzssEncoder& e, std::span<const std::uint8_t> input, bool final,
                std::vector<std::uint8_t>& output) {
    const std::uint8_t* data = input.data();
    std::size_t n = input.size();

    if (e.phase == LzssEncoder::Phase::Start) {
        e.codeBuf[0] = 0;
        e.mask = 1;
        e.codeBufPtr = 1;
        e.s = 0;
        e.r = lzss::kFirstPosition;
        initTree(e);
        e.outCount = 0;
        e.len = 0;
        e.phase = LzssEncoder::Phase::Fill;
    }
    if (e.phase == LzssEncoder::Phase::Fill) {
        while (e.len < kMaxMatch && n > 0) {
            e.textBuf[e.r + e.len++] = *data++;
            --n;
        }
        if (e.len < kMaxMatch && !final) return;  // wait for more input
        if (e.len == 0) {
            e.phase = LzssEncoder::Phase::Start;
            return;
        }
        // The strings just before the look-ahead (zeros) seed the trees.
        for (int k = 1; k <= kMaxMatch; ++k) insertNode(e, e.r - k);
        insertNode(e, e.r);
        emitItem(e, output);
        e.i = 0;
        e.phase = LzssEncoder::Phase::Slide;
    }
    for (;;) {
        // Slide the window past the item just emitted, taking new bytes.
        while (e.i < e.lastMatchLength && n > 0) {
            const std::uint8_t c = *data++;
            --n;
            deleteNode(e, e.s);
            e.textBuf[e.s] = c;
            if (e.s < kMaxMatch - 1) e.textBuf[e.s + kRingSize] = c;
            e.s = (e.s + 1) & kRingMask;
            e.r = (e.r + 1) & kRingMask;
            insertNode(e, e.r);
            ++e.i;
        }
        if (e.i < e.lastMatchLength && !final) return;  // wait for more input
        // At the end of the input the look-ahead shrinks instead.
        for (; e.i < e.lastMatchLength; ++e.i) {
            deleteNode(e, e.s);
            e.s = (e.s + 1) & kRingMask;
            e.r = (e.r + 1) & kRingMask;
            if (--e.len != 0) insertNode(e, e.r);
        }
        if (e.len <= 0) break;
        emitItem(e, output);
        e.i = 0;
    }
    // End of stream: the last incomplete group, then as many zeros.
    if (e.codeBufPtr > 1) {
        const int groupSize = e.codeBufPtr;
        flushGroup(e, output);
        output.insert(output.end(), static_cast<std::size_t>(groupSize), 0);
        e.outCount += static_cast<std::uint64_t>(groupSize);
    }
    e.phase = LzssEncoder::Phase::Start;
}

std::uint64_t lzssEncodedBound(std::uint64_t size) {
    // A reference takes 2 bytes for at least 3, a literal 1 for 1: the worst
    // case is all literals, plus a flag byte per 8 items and the trailing
    // zeros of an incomplete last group.
    return size + (size + 7) / 8 + 2 * 17;
}

}  // namespace pactools
