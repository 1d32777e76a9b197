// Finding articles whose texts repeat: a chapter a download repeated, or repeated with an ad added.
//
// Texts are compared after normalising: every space (ASCII, full-width, no-break), tab and line
// end is dropped. Empty texts (volume dividers) pair with nothing.
//   Exact pairs: the normalised texts are equal (told by two independent 64-bit hashes).
//   Near pairs: the Jaccard similarity of the texts' sets of 5-character shingles, estimated with
//   MinHash: one hash per shingle, spread over 256 bins that each keep their least hash (one-
//   permutation hashing, empty bins filled from their neighbours), candidates found by banding
//   the bins (64 bands of 4) so that texts are never compared all against all. The estimate is
//   within about 3 points of the true share for similar texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nvx::text {

inline constexpr int kShingleLength = 5;
inline constexpr int kMinHashBins = 256;

// What is kept of one text: its exact hashes and, for near pairs, its MinHash signature.
struct TextPrint {
  std::int64_t id = 0;
  bool empty = true;
  std::uint64_t hash1 = 0;
  std::uint64_t hash2 = 0;
  std::vector<std::uint32_t> signature;  // kMinHashBins values, or empty when near pairs are not sought
};

// The print of one text in the local code page (GB18030), as it is stored: hashing its
// characters as they are is as exact as decoding them, and quicker.
TextPrint MakePrint(std::int64_t id, std::string_view local, bool withSignature);

struct DuplicatePair {
  std::int64_t first = 0;  // the smaller id
  std::int64_t second = 0;
  int similarity = 0;  // percent; 100 for an exact pair
};

// Pairs among `prints`: every exact pair, and with `nearPercent` > 0 every pair whose estimated
// similarity is at least nearPercent. Sorted by first id, then second.
std::vector<DuplicatePair> FindDuplicates(const std::vector<TextPrint>& prints, int nearPercent);

}  // namespace nvx::text
