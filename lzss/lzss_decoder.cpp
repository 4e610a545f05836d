#include "lzss_decoder.h"

#include <algorithm>
#include <cstring>

namespace pactools {

namespace {

using lzss::kMaxMatch;
using lzss::kRingMask;
using lzss::kThreshold;

// Copies `length` bytes from `distance` bytes back to `to`.  When the two
// overlap, the copy repeats the bytes it has just written (a run), as a
// byte-by-byte copy does; wider steps are safe as long as each step reads
// only bytes already final.
inline void copyBack(std::uint8_t* to, std::size_t distance, unsigned length) {
    const std::uint8_t* from = to - distance;
    if (distance >= kMaxMatch) {
        std::memcpy(to, from, kMaxMatch);  // whole: the bytes past `length` are overwritten later
    } else if (distance >= 8) {
        for (unsigned k = 0; k < length; k += 8) std::memcpy(to + k, from + k, 8);
    } else if (distance == 1) {
        std::memset(to, *from, length);
    } else {
        for (unsigned k = 0; k < length; ++k) to[k] = from[k];
    }
}

// The distance back to ring position `position` from the write position at
// ring position `r`; 0 means the byte written 4096 ago, which the write is
// about to replace in the ring.
inline std::size_t distanceBack(unsigned r, unsigned position) {
    const std::size_t distance = (r - position) & kRingMask;
    return distance == 0 ? LzssDecoder::kHistory : distance;
}

inline unsigned ringPosition(const LzssDecoder& d, std::size_t index) {
    return static_cast<unsigned>((d.ringBase + index) & kRingMask);
}

inline void copyReference(LzssDecoder& d, unsigned position, unsigned length) {
    copyBack(d.window + d.write, distanceBack(ringPosition(d, d.write), position), length);
    d.write += length;
}

// Decodes items into the window until it holds `limit` bytes or the input
// runs out.  The fast loop needs no checks: a whole group takes at most 17
// input bytes, and an item writes at most 18 bytes.
const std::uint8_t* decodeItems(LzssDecoder& d, const std::uint8_t* in, const std::uint8_t* end, std::size_t limit) {
    // Finish an item the previous input ended in.
    while (d.phase != LzssDecoder::Phase::Item && d.write < limit && in < end) {
        if (d.phase == LzssDecoder::Phase::Literal) {
            if (d.flags & 1) {
                d.window[d.write++] = *in;
                d.flags >>= 1;
                d.phase = LzssDecoder::Phase::Item;
            } else {
                d.firstByte = *in;
                d.phase = LzssDecoder::Phase::SecondByte;
            }
            ++in;
        } else {
            const unsigned second = *in++;
            copyReference(d, d.firstByte | ((second & 0xF0) << 4), (second & 0x0F) + kThreshold + 1);
            d.flags >>= 1;
            d.phase = LzssDecoder::Phase::Item;
        }
    }
    if (d.phase != LzssDecoder::Phase::Item) return in;

    // Locals: the compiler need not reload them after every byte stored.
    unsigned flags = d.flags;
    std::uint8_t* write = d.window + d.write;
    // Ring position of a window pointer.
    const auto ringAt = [&d](const std::uint8_t* at) { return ringPosition(d, static_cast<std::size_t>(at - d.window)); };
    std::uint8_t* const stop = d.window + limit;
    while (write < stop && end - in >= 17) {
        if ((flags & 0x100) == 0) {
            flags = *in++ | 0xFF00u;
            if (flags == 0xFFFF && stop - write >= 8) {  // eight literals: one copy
                std::memcpy(write, in, 8);
                in += 8;
                write += 8;
                flags = 0xFF;  // the group is used up
                continue;
            }
        }
        if (flags & 1) {
            *write++ = *in++;
        } else {
            const unsigned position = in[0] | ((in[1] & 0xF0u) << 4);
            const unsigned length = (in[1] & 0x0Fu) + kThreshold + 1;
            in += 2;
            copyBack(write, distanceBack(ringAt(write), position), length);
            write += length;
        }
        flags >>= 1;
    }
    d.flags = flags;
    d.write = static_cast<std::size_t>(write - d.window);
    // The last few input bytes, item by item.
    while (d.write < limit && in < end) {
        if ((d.flags & 0x100) == 0) {
            d.flags = *in++ | 0xFF00u;
            d.phase = LzssDecoder::Phase::Literal;
            if (in == end) break;
        }
        if (d.flags & 1) {
            d.window[d.write++] = *in++;
            d.flags >>= 1;
            d.phase = LzssDecoder::Phase::Item;
        } else {
            d.firstByte = *in++;
            d.phase = LzssDecoder::Phase::SecondByte;
            if (in == end) break;
            const unsigned second = *in++;
            copyReference(d, d.firstByte | ((second & 0xF0) << 4), (second & 0x0F) + kThreshold + 1);
            d.flags >>= 1;
            d.phase = LzssDecoder::Phase::Item;
        }
    }
    return in;
}

}  // namespace

void lzssRestartDecoder(LzssDecoder& decoder) {
    decoder.phase = LzssDecoder::Phase::Item;
    decoder.flags = 0;
    decoder.ringBase = lzss::kFirstPosition;
    decoder.firstByte = 0;
    decoder.write = LzssDecoder::kHistory;
    decoder.handed = LzssDecoder::kHistory;
    std::fill(decoder.window, decoder.window + LzssDecoder::kHistory, std::uint8_t{0});
}

LzssDecodeResult lzssDecode(LzssDecoder& d, std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    const std::uint8_t* in = input.data();
    const std::uint8_t* const end = in + input.size();
    std::size_t produced = 0;
    for (;;) {
        // Hand out what is decoded.
        const std::size_t ready = std::min(d.write - d.handed, output.size() - produced);
        std::memcpy(output.data() + produced, d.window + d.handed, ready);
        d.handed += ready;
        produced += ready;
        if (produced == output.size() || in == end) break;
        // Everything is handed out: keep the last 4096 bytes as history when
        // the window runs short of room for the next items.
        if (d.write + 8 * kMaxMatch > LzssDecoder::kWindowSize) {
            std::memmove(d.window, d.window + d.write - LzssDecoder::kHistory, LzssDecoder::kHistory);
            d.ringBase = ringPosition(d, d.write - LzssDecoder::kHistory);  // index kHistory keeps its ring position
            d.write = d.handed = LzssDecoder::kHistory;
        }
        const std::size_t limit =
            std::min(d.write + (output.size() - produced), LzssDecoder::kWindowSize - kMaxMatch);
        const std::uint8_t* const before = in;
        in = decodeItems(d, in, end, limit);
        if (in == before && d.write == d.handed) break;
    }
    return {static_cast<std::size_t>(in - input.data()), produced};
}

}  // namespace pactools
