// The LZSS stream stored for each archive member.
//
// A stream is a sequence of groups: a flag byte, then up to eight items.  Bit
// k of the flag byte (from the least significant) describes item k: 1 is a
// literal byte, 0 a two-byte reference to a run of 3 to 18 bytes in a
// 4096-byte ring.  A reference holds the ring position where the run starts
// (low 8 bits, then bits 8-11 in the high nibble of the second byte) and the
// length minus 3 in the low nibble.  The ring starts zero-filled, so
// references may point at bytes never written, and its first write position
// is 4078.  When the last group holds fewer than eight items it is followed by
// as many zero bytes as it occupies; those zeros count in the stored size.
#pragma once

namespace pactools::lzss {

inline constexpr int kRingSize = 4096;        // N
inline constexpr int kRingMask = kRingSize - 1;
inline constexpr int kMaxMatch = 18;          // F, the longest reference
inline constexpr int kThreshold = 2;          // matches this short go as literals
inline constexpr int kFirstPosition = kRingSize - kMaxMatch;  // 4078

}  // namespace pactools::lzss
