// Unpacking stored content: any bytes, as a damaged or hostile file may hold in column nr.
// Unpacking must never crash, never produce more than twice the length its header claims, and
// give nothing for what is not packed content; packing any text must unpack to the same text.
#include <cstdint>
#include <cstdlib>

#include "store/packed_content.h"

using namespace nvx;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input(data, data + size);

  const std::int64_t claimed = PackedLength(input);
  const Bytes unpacked = Decompress(input);
  if (claimed <= 0) Require(unpacked.empty());
  Require(static_cast<std::int64_t>(unpacked.size()) <= 2 * claimed || unpacked.empty());

  const Bytes packed = Compress(input);
  Require(!packed.empty());
  Require(PackedLength(packed) == static_cast<std::int64_t>(size));
  if (size == 0) {
    Require(packed.size() == kPackedHeaderSize);
  } else {
    Require(Decompress(packed) == input);
  }
  return 0;
}
