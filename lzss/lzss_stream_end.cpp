#include "lzss_stream_end.h"

namespace pactools {

void lzssStreamEndStart(LzssStreamEnd& walk, std::uint64_t size) {
    walk = LzssStreamEnd{};
    walk.left = size;
    walk.known = size == 0;  // an empty member stores nothing
}

void lzssStreamEndFeed(LzssStreamEnd& walk, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        const std::uint64_t at = walk.walked++;
        if (walk.known) {
            if (at < walk.end && byte != 0) walk.paddingNotZero = true;
            continue;
        }
        std::uint64_t gives = 0;  // what an item finished with this byte gives
        if (walk.inReference) {
            walk.inReference = false;
            gives = static_cast<std::uint64_t>(byte & 0x0F) + 3;
        } else if ((walk.flags & 0x100) == 0) {
            walk.groupStart = at;
            walk.flags = byte | 0xFF00u;
            continue;
        } else if ((walk.flags & 1) == 0) {
            walk.inReference = true;
            continue;
        } else {
            gives = 1;
        }
        walk.flags >>= 1;
        if (gives > walk.left) {
            walk.wrong = walk.known = true;
            continue;
        }
        walk.left -= gives;
        if (walk.left == 0) {
            walk.known = true;
            const std::uint64_t itemsEnd = at + 1;
            // Slots left in the group: it is filled out with as many zeros as it occupies.
            const bool incomplete = (walk.flags & 0x100) != 0;
            walk.end = itemsEnd + (incomplete ? itemsEnd - walk.groupStart : 0);
        }
    }
}

bool lzssStreamEndsAt(const LzssStreamEnd& walk, std::uint64_t storedSize) {
    return walk.known && !walk.wrong && !walk.paddingNotZero && walk.end == storedSize && walk.walked == storedSize;
}

}  // namespace pactools
