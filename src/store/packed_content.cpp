#include "store/packed_content.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace nvx {
namespace {

std::uint32_t readLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void writeLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Deflate never expands more than about 1032:1, so no stream of m bytes can fill more than this.
constexpr std::size_t kMaxInflateRatio = 1032;

}  // namespace

Bytes Compress(const Bytes& data) {
  const std::size_t n = data.size();
  if (n > 0x7FFFFFFF) return {};
  const std::size_t capacity = n / 1000 + n + 1024;
  Bytes out(kPackedHeaderSize + capacity);
  std::memcpy(out.data(), kPackedMagic, 4);
  writeLe32(out.data() + 4, static_cast<std::uint32_t>(n));
  if (n == 0) {
    out.resize(kPackedHeaderSize);
    return out;
  }
  uLongf streamSize = capacity;
  if (compress2(out.data() + kPackedHeaderSize, &streamSize, data.data(), n, Z_DEFAULT_COMPRESSION) != Z_OK)
    return {};
  out.resize(kPackedHeaderSize + streamSize);
  return out;
}

std::int64_t PackedLength(const Bytes& packed) {
  if (packed.size() < kPackedHeaderSize || std::memcmp(packed.data(), kPackedMagic, 4) != 0) return -1;
  return readLe32(packed.data() + 4);
}

Bytes Decompress(const Bytes& packed) {
  const std::int64_t length = PackedLength(packed);
  // Twice the length, taken as a signed 32-bit number, must be positive.
  if (length <= 0 || length >= 0x40000000) return {};
  const std::size_t limit = static_cast<std::size_t>(length) * 2;
  const std::size_t streamSize = packed.size() - kPackedHeaderSize;

  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&z};

  Bytes out;
  out.reserve(std::min<std::size_t>(limit, streamSize * kMaxInflateRatio + 64));
  z.next_in = const_cast<Bytef*>(packed.data() + kPackedHeaderSize);
  z.avail_in = static_cast<uInt>(streamSize);

  std::uint8_t chunk[64 * 1024];
  for (;;) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    const int rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = sizeof chunk - z.avail_out;
    if (out.size() + produced > limit) return {};
    out.insert(out.end(), chunk, chunk + produced);
    if (rc == Z_STREAM_END) return out;
    if (rc != Z_OK) return {};  // damaged, or no more input before the end of the stream
    if (produced == 0 && z.avail_in == 0) return {};
  }
}

}  // namespace nvx
