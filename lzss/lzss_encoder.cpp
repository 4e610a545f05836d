#include "lzss_encoder.h"

#include <cstring>

#include "lzss_match_tree.h"

namespace pactools {

namespace {

using namespace lzss_tree;

void flushGroup(LzssEncoder& e, std::vector<std::uint8_t>& output) {
    output.insert(output.end(), e.codeBuf, e.codeBuf + e.codeBufPtr);
    e.outCount += static_cast<std::uint64_t>(e.codeBufPtr);
    e.codeBuf[0] = 0;
    e.codeBufPtr = 1;
    e.mask = 1;
}

// Appends the item at the look-ahead's start to the group being built.
void emitItem(LzssEncoder& e, std::vector<std::uint8_t>& output) {
    if (e.tree.matchLength > e.len) e.tree.matchLength = e.len;
    if (e.tree.matchLength <= kThreshold) {
        e.tree.matchLength = 1;
        e.codeBuf[0] |= e.mask;
        e.codeBuf[e.codeBufPtr++] = e.tree.textBuf[e.r];
    } else {
        e.codeBuf[e.codeBufPtr++] = static_cast<std::uint8_t>(e.tree.matchPosition);
        e.codeBuf[e.codeBufPtr++] =
            static_cast<std::uint8_t>(((e.tree.matchPosition >> 4) & 0xF0) | (e.tree.matchLength - (kThreshold + 1)));
    }
    e.mask = static_cast<std::uint8_t>(e.mask << 1);
    if (e.mask == 0) flushGroup(e, output);
    e.lastMatchLength = e.tree.matchLength;
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
        initTree(e.tree);
        // Matches may refer to ring bytes never written: they are zeros in
        // every stream, not what a stream before left there.
        std::memset(e.tree.textBuf, 0, sizeof e.tree.textBuf);
        e.outCount = 0;
        e.len = 0;
        e.phase = LzssEncoder::Phase::Fill;
    }
    if (e.phase == LzssEncoder::Phase::Fill) {
        while (e.len < kMaxMatch && n > 0) {
            e.tree.textBuf[e.r + e.len++] = *data++;
            --n;
        }
        if (e.len < kMaxMatch && !final) return;  // wait for more input
        if (e.len == 0) {
            e.phase = LzssEncoder::Phase::Start;
            return;
        }
        // The strings just before the look-ahead (zeros) seed the trees.
        for (int k = 1; k <= kMaxMatch; ++k) insertNode(e.tree, e.r - k);
        insertNode(e.tree, e.r);
        emitItem(e, output);
        e.i = 0;
        e.phase = LzssEncoder::Phase::Slide;
    }
    for (;;) {
        // Slide the window past the item just emitted, taking new bytes.
        while (e.i < e.lastMatchLength && n > 0) {
            const std::uint8_t c = *data++;
            --n;
            deleteNode(e.tree, e.s);
            e.tree.textBuf[e.s] = c;
            if (e.s < kMaxMatch - 1) e.tree.textBuf[e.s + kRingSize] = c;
            e.s = (e.s + 1) & kRingMask;
            e.r = (e.r + 1) & kRingMask;
            insertNode(e.tree, e.r);
            ++e.i;
        }
        if (e.i < e.lastMatchLength && !final) return;  // wait for more input
        // At the end of the input the look-ahead shrinks instead.
        for (; e.i < e.lastMatchLength; ++e.i) {
            deleteNode(e.tree, e.s);
            e.s = (e.s + 1) & kRingMask;
            e.r = (e.r + 1) & kRingMask;
            if (--e.len != 0) insertNode(e.tree, e.r);
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
