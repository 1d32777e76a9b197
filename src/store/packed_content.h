// Packed article content, the layout of column `nr`:
//   bytes 0-3  magic 0D 0F 3E 03
//   bytes 4-7  length of the unpacked text, 32-bit little-endian
//   bytes 8-   the text as one zlib stream (level 6); absent when the text is empty
#pragma once

#include <span>

#include "base/value.h"

namespace nvx {

inline constexpr std::uint8_t kPackedMagic[4] = {0x0D, 0x0F, 0x3E, 0x03};
inline constexpr std::size_t kPackedHeaderSize = 8;

// Packs `data`. An empty input gives the 8-byte header alone; a failure gives an empty array.
Bytes Compress(std::span<const std::uint8_t> data);

// Unpacks a stored value. Anything that is not packed content (shorter than the header, another
// magic, a length field of 0 or of 2^30 and more), a damaged or cut-short stream, or a stream that
// inflates past twice the length field gives an empty array. A stream that inflates to less than
// the length field gives what it inflates to.
//
// Memory follows what the stream really produces, never the length field: a crafted length does
// not make it reserve gigabytes. A stream that fits its length field is inflated in one pass;
// the others (a wrong length, a damaged stream) go through zlib's bounded streaming inflate.
Bytes Decompress(const Bytes& packed);

// The unpacked length the header claims, or -1 when `packed` has no valid header.
std::int64_t PackedLength(const Bytes& packed);

}  // namespace nvx
