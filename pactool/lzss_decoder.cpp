#include "lzss_decoder.h"

namespace pactools {

using lzss::kRingMask;
using lzss::kThreshold;

LzssDecodeResult lzssDecode(LzssDecoder& d, std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    const std::uint8_t* in = input.data();
    const std::uint8_t* const inEnd = in + input.size();
    std::uint8_t* out = output.data();
    std::uint8_t* const outEnd = out + output.size();

    while (out < outEnd) {
        switch (d.phase) {
        case LzssDecoder::Phase::Copy:
            // Byte by byte: a source that overlaps the destination repeats
            // the bytes just written.
            while (d.remaining > 0 && out < outEnd) {
                const std::uint8_t c = d.textBuf[d.position];
                d.position = (d.position + 1) & kRingMask;
                d.textBuf[d.r] = c;
                d.r = (d.r + 1) & kRingMask;
                *out++ = c;
                --d.remaining;
            }
            if (d.remaining == 0) d.phase = LzssDecoder::Phase::Flags;
            break;
        case LzssDecoder::Phase::Flags: {
            unsigned next = d.flags >> 1;
            if ((next & 0x100) == 0) {
                if (in == inEnd) goto done;
                next = *in++ | 0xFF00u;
            }
            d.flags = next;
            d.phase = LzssDecoder::Phase::Item;
            break;
        }
        case LzssDecoder::Phase::Item:
            if (in == inEnd) goto done;
            if (d.flags & 1) {
                const std::uint8_t c = *in++;
                d.textBuf[d.r] = c;
                d.r = (d.r + 1) & kRingMask;
                *out++ = c;
                d.phase = LzssDecoder::Phase::Flags;
            } else {
                d.firstByte = *in++;
                d.phase = LzssDecoder::Phase::SecondByte;
            }
            break;
        case LzssDecoder::Phase::SecondByte: {
            if (in == inEnd) goto done;
            const unsigned second = *in++;
            d.position = d.firstByte | ((second & 0xF0) << 4);
            d.remaining = (second & 0x0F) + kThreshold + 1;
            d.phase = LzssDecoder::Phase::Copy;
            break;
        }
        }
    }
done:
    return {static_cast<std::size_t>(in - input.data()), static_cast<std::size_t>(out - output.data())};
}

}  // namespace pactools
