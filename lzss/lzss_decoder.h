// Resumable LZSS decoder.  The whole state lives in one LzssDecoder record:
// each call takes what it needs of the input it is given and fills the
// output span exactly (stopping inside a reference if need be), so a member
// can be restored in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "lzss_format.h"

namespace pactools {

struct LzssDecoder {
    // Decoded bytes go into a linear window that keeps the last 4096 of them
    // (the ring, which starts as zeros) in front of the new ones.  A ring
    // position maps to a distance back from the write position, so copies
    // run over plain memory: in blocks when source and destination do not
    // overlap, byte by byte (repeating a run) when they do.
    static constexpr std::size_t kHistory = lzss::kRingSize;
    static constexpr std::size_t kWindowSize = kHistory + 64 * 1024;

    enum class Phase : std::uint8_t {
        Item,        // next: a flag byte if the group is used up, then an item
        Literal,     // the flag byte is read; next: the item it announces
        SecondByte,  // the first byte of a reference is read
    };

    Phase phase = Phase::Item;
    unsigned flags = 0;                 // flag shift register; bits 8 and up count the group's items
    // The ring position of window index i is (ringBase + i) mod 4096; at
    // the start, index kHistory is ring position 4078.
    unsigned ringBase = lzss::kFirstPosition;
    std::uint8_t firstByte = 0;
    std::size_t write = kHistory;       // window index of the next decoded byte
    std::size_t handed = kHistory;      // window index of the first byte not yet handed out
    std::uint8_t window[kWindowSize] = {};
};

struct LzssDecodeResult {
    std::size_t consumed = 0;  // input bytes taken
    std::size_t produced = 0;  // output bytes written
};

// Makes a used decoder fresh for the next stream, as LzssDecoder{} would:
// only the ring's 4096 bytes are cleared, since the rest of the window is
// always written before it is read (a member costs no 68 KiB of zeros).
void lzssRestartDecoder(LzssDecoder& decoder);

// Decodes from `input` into `output` until the output is full or the input
// is used up.  Input is taken only as items need it; an item may be decoded
// ahead of the output, its rest handed out by the next call.
LzssDecodeResult lzssDecode(LzssDecoder& decoder, std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> output);

}  // namespace pactools
