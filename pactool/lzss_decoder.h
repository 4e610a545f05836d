// Resumable LZSS decoder.  The whole state lives in one LzssDecoder record:
// each call takes what it needs of the input it is given and stops exactly
// when the output span is full, even in the middle of a reference, so a
// member can be restored in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "lzss_format.h"

namespace pactools {

struct LzssDecoder {
    enum class Phase : std::uint8_t {
        Flags,       // next: a flag byte, unless the group still has items
        Item,        // next: the item the flag bit announces
        SecondByte,  // read the first byte of a reference
        Copy,        // copying a reference
    };

    Phase phase = Phase::Flags;
    unsigned flags = 0;      // flag shift register; bit 8 and up count the group's items
    unsigned r = lzss::kFirstPosition;  // ring write position
    unsigned position = 0;   // ring position the current reference reads next
    unsigned remaining = 0;  // bytes of the current reference still to copy
    std::uint8_t firstByte = 0;
    std::uint8_t textBuf[lzss::kRingSize] = {};  // starts zero-filled, as the encoder's
};

struct LzssDecodeResult {
    std::size_t consumed = 0;  // input bytes taken
    std::size_t produced = 0;  // output bytes written
};

// Decodes from `input` into `output` until the output is full or the input
// is used up.  Input bytes are taken only as items need them.
LzssDecodeResult lzssDecode(LzssDecoder& decoder, std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> output);

}  // namespace pactools
