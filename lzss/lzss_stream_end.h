// Where a member's LZSS stream ends.  Its items fix how many stored bytes a
// member of a given size takes: the groups up to the item that gives its
// last byte, then as many zero bytes as an incomplete last group occupies.
// The items are followed without being decoded, so this is a look at a
// stream independent of the decoder's.
#pragma once

#include <cstdint>
#include <span>

namespace pactools {

struct LzssStreamEnd {
    std::uint64_t left = 0;        // decoded bytes the items have still to give
    std::uint64_t walked = 0;      // stored bytes looked at so far
    std::uint64_t groupStart = 0;  // where the current group's flag byte stands
    unsigned flags = 0;            // as the decoder keeps it: the flag byte | 0xFF00, shifted once per item
    bool inReference = false;      // the first byte of a reference was the last one seen
    bool known = false;            // the end is known
    bool wrong = false;            // an item gives more than the member's size
    bool paddingNotZero = false;   // a byte after the last item, before the end, is not zero
    std::uint64_t end = 0;         // when known: the stored size the stream takes
};

// Starts looking at the stream of a member of `size` decoded bytes.
void lzssStreamEndStart(LzssStreamEnd& walk, std::uint64_t size);
// Looks at the next stored bytes.
void lzssStreamEndFeed(LzssStreamEnd& walk, std::span<const std::uint8_t> bytes);
// True when the `storedSize` bytes looked at are exactly the stream: its
// items give the member's size, and what follows the last item is the zero
// filling of its group and nothing more.
bool lzssStreamEndsAt(const LzssStreamEnd& walk, std::uint64_t storedSize);

}  // namespace pactools
