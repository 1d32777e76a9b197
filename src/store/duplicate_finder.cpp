#include "store/duplicate_finder.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_set>

namespace nvx::text {
namespace {

constexpr int kBandRows = 4;
constexpr int kBands = kMinHashBins / kBandRows;
constexpr std::uint32_t kEmptyBin = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kWholeFactor = 0x9E3779B97F4A7C15ULL;
constexpr std::uint64_t kShingleFactor = 0xD6E8FEB86659FD93ULL;
constexpr std::uint64_t kSpreadFactor = 0xFF51AFD7ED558CCDULL;

// kShingleFactor to the power kShingleLength: what the character leaving the window weighs.
constexpr std::uint64_t ShingleDrop() {
  std::uint64_t p = 1;
  for (int k = 0; k < kShingleLength; ++k) p *= kShingleFactor;
  return p;
}
constexpr std::uint64_t kShingleDrop = ShingleDrop();

// SplitMix64's finaliser: every input bit moves every output bit.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// Characters are taken as their GB18030 bytes packed into one number: one byte below 0x80, four
// when the second byte is a digit (0x30-0x39), two otherwise. GB18030 gives every character
// one sequence, so equal numbers are equal characters.
constexpr char32_t kFullWidthSpace = 0xA1A1;    // U+3000
constexpr char32_t kNoBreakSpace = 0x81308436;  // U+00A0

bool IsSpace(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\v' || c == U'\f' ||
         c == kFullWidthSpace || c == kNoBreakSpace;
}

// The next character of local text at `at`, which moves past it.
char32_t NextCharacter(std::string_view s, std::size_t& at) {
  auto byte = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
  const unsigned lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  const unsigned second = byte(at + 1);
  if (second >= 0x30 && second <= 0x39) {
    const char32_t c = (lead << 24) | (second << 16) | (byte(at + 2) << 8) | byte(at + 3);
    at += 4;
    return c;
  }
  at += 2;
  return (lead << 8) | second;
}

}  // namespace

TextPrint MakePrint(std::int64_t id, std::string_view local, bool withSignature) {
  TextPrint print;
  print.id = id;
  if (withSignature) print.signature.assign(kMinHashBins, kEmptyBin);
  // Two hashes of the whole normalised text (FNV-1a and a polynomial one), and a polynomial hash
  // of the last kShingleLength characters, rolled one character on at a time.
  std::uint64_t fnv = 0xCBF29CE484222325ULL, whole = 0, shingle = 0;
  std::array<char32_t, kShingleLength> window{};
  int slot = 0;
  std::int64_t count = 0;
  // One multiplication spreads the rolled hash into its top bits: the top 8 choose the bin, the
  // next 32 are the value kept.
  auto addShingle = [&](std::uint64_t rolled) {
    const std::uint64_t h = (rolled ^ (rolled >> 32)) * kSpreadFactor;
    std::uint32_t& bin = print.signature[h >> 56];
    bin = std::min(bin, static_cast<std::uint32_t>(h >> 24));
  };
  for (std::size_t at = 0; at < local.size();) {
    const char32_t c = NextCharacter(local, at);
    if (IsSpace(c)) continue;
    fnv = (fnv ^ c) * 0x100000001B3ULL;
    whole = whole * kWholeFactor + c;
    ++count;
    if (!withSignature) continue;
    shingle = shingle * kShingleFactor + c - window[slot] * kShingleDrop;
    window[slot] = c;
    slot = slot + 1 == kShingleLength ? 0 : slot + 1;
    if (count >= kShingleLength) addShingle(shingle);
  }
  print.empty = count == 0;
  print.hash1 = fnv ^ static_cast<std::uint64_t>(count);
  print.hash2 = Mix(whole + static_cast<std::uint64_t>(count));
  if (!withSignature || print.empty) return print;
  if (count < kShingleLength) addShingle(shingle + static_cast<std::uint64_t>(count));
  // Empty bins borrow from the next filled bin, changed by how far away it is, so that two texts
  // with the same filled bins fill the same way.
  std::array<bool, kMinHashBins> filled{};
  for (int i = 0; i < kMinHashBins; ++i) filled[i] = print.signature[i] != kEmptyBin;
  for (int i = 0; i < kMinHashBins; ++i) {
    if (filled[i]) continue;
    int distance = 1;
    while (!filled[(i + distance) % kMinHashBins]) ++distance;
    print.signature[i] = static_cast<std::uint32_t>(
        Mix(print.signature[(i + distance) % kMinHashBins] + 0x10000ULL * distance));
  }
  return print;
}

namespace {

// Two indexes as one key, the smaller first.
std::uint64_t PairKey(std::size_t i, std::size_t j) {
  return (static_cast<std::uint64_t>(std::min(i, j)) << 32) | std::max(i, j);
}

// The pairs of texts (as PairKey, sorted, each once) whose bins agree in a whole band: the
// candidates for near duplicates, to be compared on all bins.
std::vector<std::uint64_t> NearCandidates(const std::vector<TextPrint>& prints,
                                          const std::vector<std::size_t>& order) {
  std::vector<std::uint64_t> candidates;
  std::vector<std::pair<std::uint64_t, std::size_t>> band;
  for (int b = 0; b < kBands; ++b) {
    band.clear();
    for (std::size_t i : order) {
      if (prints[i].signature.size() != kMinHashBins) continue;
      std::uint64_t h = Mix(static_cast<std::uint64_t>(b));
      for (int r = 0; r < kBandRows; ++r) h = Mix(h ^ prints[i].signature[b * kBandRows + r]);
      band.emplace_back(h, i);
    }
    std::sort(band.begin(), band.end());
    for (std::size_t start = 0; start < band.size();) {
      std::size_t end = start + 1;
      while (end < band.size() && band[end].first == band[start].first) ++end;
      for (std::size_t x = start; x < end; ++x)
        for (std::size_t y = x + 1; y < end; ++y)
          candidates.push_back(PairKey(band[x].second, band[y].second));
      start = end;
    }
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  return candidates;
}

}  // namespace

std::vector<DuplicatePair> FindDuplicates(const std::vector<TextPrint>& prints, int nearPercent) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < prints.size(); ++i)
    if (!prints[i].empty) order.push_back(i);
  // Index pairs (smaller first) already reported.
  std::unordered_set<std::uint64_t> found;
  const auto key = PairKey;
  std::vector<DuplicatePair> pairs;
  auto add = [&](std::size_t i, std::size_t j, int similarity) {
    if (!found.insert(key(i, j)).second) return;
    const auto [a, b] = std::minmax(prints[i].id, prints[j].id);
    pairs.push_back({a, b, similarity});
  };

  std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
    return std::tie(prints[i].hash1, prints[i].hash2) < std::tie(prints[j].hash1, prints[j].hash2);
  });
  for (std::size_t start = 0; start < order.size();) {
    std::size_t end = start + 1;
    while (end < order.size() && prints[order[end]].hash1 == prints[order[start]].hash1 &&
           prints[order[end]].hash2 == prints[order[start]].hash2)
      ++end;
    for (std::size_t i = start; i < end; ++i)
      for (std::size_t j = i + 1; j < end; ++j) add(order[i], order[j], 100);
    start = end;
  }

  if (nearPercent > 0) {
    for (const std::uint64_t candidate : NearCandidates(prints, order)) {
      const std::size_t i = candidate >> 32, j = candidate & 0xFFFFFFFFULL;
      int same = 0;
      for (int k = 0; k < kMinHashBins; ++k) same += prints[i].signature[k] == prints[j].signature[k] ? 1 : 0;
      const int similarity = same * 100 / kMinHashBins;
      if (similarity >= nearPercent) add(i, j, std::min(similarity, 99));
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const DuplicatePair& x, const DuplicatePair& y) {
    return std::tie(x.first, x.second) < std::tie(y.first, y.second);
  });
  return pairs;
}

}  // namespace nvx::text
