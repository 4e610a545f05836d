// Resumable LZSS encoder.  The whole state lives in one LzssEncoder record,
// so a member can be fed in chunks of any size: the output is the same as
// for one call with all of it.  Matches are found with one binary search tree
// per first byte over the 4096-byte ring; tree shape and tie-breaking fix the
// output exactly.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lzss_format.h"
#include "lzss_match_tree.h"

namespace pactools {

struct LzssEncoder {
    enum class Phase : std::uint8_t {
        Start,  // nothing seen yet (and again after the end was written)
        Fill,   // gathering the first look-ahead
        Slide,  // sliding the window past the item just emitted
    };

    Phase phase = Phase::Start;
    std::uint64_t outCount = 0;  // bytes produced so far: the stored size
    int i = 0;                   // bytes of the current item slid in so far
    int len = 0;                 // bytes in the look-ahead
    int r = 0;                   // ring position of the look-ahead's first byte
    int s = 0;                   // ring position of the oldest byte
    int lastMatchLength = 0;     // length of the item just emitted
    int codeBufPtr = 0;          // bytes used in codeBuf
    std::uint8_t mask = 0;       // flag bit of the next item
    std::uint8_t codeBuf[17] = {};  // the group being built
    LzssMatchTree tree;  // the ring and its match trees
};

// Makes the record start a new stream at its next call, whatever it was
// doing (a stream abandoned halfway included): a record kept for many
// streams costs no fresh memory.
inline void lzssRestart(LzssEncoder& encoder) {
    encoder.phase = LzssEncoder::Phase::Start;
    encoder.outCount = 0;
}

// Feeds `input` to the encoder and appends the compressed bytes it can
// produce to `output`.  `final` marks the call carrying the input's last
// chunk (which may be empty); only then is the end of the stream written and
// the record returned to its start state.  An empty input as a whole
// produces no bytes.
void lzssEncode(LzssEncoder& encoder, std::span<const std::uint8_t> input, bool final,
                std::vector<std::uint8_t>& output);

// The most bytes a stream for `size` input bytes can take.
std::uint64_t lzssEncodedBound(std::uint64_t size);

}  // namespace pactools
