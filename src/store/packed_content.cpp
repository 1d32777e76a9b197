#include "store/packed_content.h"

#include <libdeflate.h>
#include <zlib.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace nvx {
namespace {

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Deflate never expands more than about 1032:1, so no stream of m bytes can fill more than this.
constexpr std::size_t kMaxInflateRatio = 1032;

std::size_t MostAStreamCanGive(std::size_t streamSize) { return streamSize * kMaxInflateRatio + 64; }

// A buffer whose pages are touched only where something is written, so a large claimed length
// costs no memory that the stream does not fill.
std::unique_ptr<std::uint8_t[]> Uninitialized(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

// zlib's streaming inflate, bounded by `limit`: the reference behaviour for every stream, damaged
// ones included.
Bytes InflateBounded(const std::uint8_t* stream, std::size_t streamSize, std::size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  struct End {
    z_stream* z;
    ~End() { inflateEnd(z); }
  } end{&z};

  Bytes out;
  out.reserve(std::min(limit, MostAStreamCanGive(streamSize)));
  z.next_in = const_cast<Bytef*>(stream);
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

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* Decompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
  return d.get();
}

// The fast path: the whole stream at once into exactly the stored length, taken only for a
// complete stream whose checksum matches, that fits the stored length and declares the 32 KB
// window (so no distance zlib would refuse as "too far back" can occur). Anything else (a wrong
// length, a damaged stream, another window) is left to zlib, which reads it or refuses it.
// One difference remains: libdeflate reads the length codes 286 and 287 (and distance codes 30
// and 31), which the format reserves and no compressor writes, where zlib refuses them; a stream
// using them whose checksum still matches reads as its text instead of as empty.
std::optional<Bytes> InflateWhole(const std::uint8_t* stream, std::size_t streamSize, std::size_t length) {
  if (streamSize < 2 || (stream[0] & 0xF0) != 0x70 || length > MostAStreamCanGive(streamSize))
    return std::nullopt;
  libdeflate_decompressor* d = Decompressor();
  auto buffer = Uninitialized(length);
  if (d == nullptr || buffer == nullptr) return std::nullopt;
  std::size_t consumed = 0;
  std::size_t produced = 0;
  if (libdeflate_zlib_decompress_ex(d, stream, streamSize, buffer.get(), length, &consumed, &produced) !=
      LIBDEFLATE_SUCCESS)
    return std::nullopt;
  return Bytes(buffer.get(), buffer.get() + produced);
}

}  // namespace

Bytes Compress(std::span<const std::uint8_t> data) {
  const std::size_t n = data.size();
  if (n > 0x7FFFFFFF) return {};
  Bytes header(kPackedHeaderSize);
  std::memcpy(header.data(), kPackedMagic, 4);
  WriteLe32(header.data() + 4, static_cast<std::uint32_t>(n));
  if (n == 0) return header;
  // The stream goes into a scratch area that is only touched as far as it is written, then into a
  // value of its own size: packing a large text costs the packed size, not the text's size again.
  uLongf streamSize = n / 1000 + n + 1024;
  auto scratch = Uninitialized(streamSize);
  if (scratch == nullptr ||
      compress2(scratch.get(), &streamSize, data.data(), n, Z_DEFAULT_COMPRESSION) != Z_OK)
    return {};
  Bytes out;
  out.reserve(kPackedHeaderSize + streamSize);
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), scratch.get(), scratch.get() + streamSize);
  return out;
}

std::int64_t PackedLength(const Bytes& packed) {
  if (packed.size() < kPackedHeaderSize || std::memcmp(packed.data(), kPackedMagic, 4) != 0) return -1;
  return ReadLe32(packed.data() + 4);
}

Bytes Decompress(const Bytes& packed) {
  const std::int64_t length = PackedLength(packed);
  // Twice the length, taken as a signed 32-bit number, must be positive.
  if (length <= 0 || length >= 0x40000000) return {};
  const std::uint8_t* stream = packed.data() + kPackedHeaderSize;
  const std::size_t streamSize = packed.size() - kPackedHeaderSize;
  if (auto whole = InflateWhole(stream, streamSize, static_cast<std::size_t>(length)))
    return std::move(*whole);
  return InflateBounded(stream, streamSize, static_cast<std::size_t>(length) * 2);
}

}  // namespace nvx
