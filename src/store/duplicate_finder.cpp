#include "store/duplicate_finder.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace nvx::text {
namespace {

constexpr int kBandRows = 4;
constexpr int kBands = kMinHashBins / kBandRows;
constexpr std::uint32_t kEmptyBin = std::numeric_limits<std::uint32_t>::max();

// SplitMix64's finaliser: every input bit moves every output bit.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

bool IsSpace(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\v' || c == U'\f' || c == 0x3000 ||
         c == 0xA0;
}

// The next code point of well-formed UTF-8 at `at`, which moves past it.
char32_t NextCodePoint(std::string_view s, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(s[at++]);
  if (lead < 0x80) return lead;
  const int extra = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra && at < s.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(s[at++]) & 0x3F);
  return c;
}

}  // namespace

TextPrint MakePrint(std::int64_t id, std::string_view utf8, bool withSignature) {
  TextPrint print;
  print.id = id;
  std::uint64_t fnv = 0xCBF29CE484222325ULL, other = 0;
  std::array<char32_t, kShingleLength> window{};
  std::int64_t count = 0;
  if (withSignature) print.signature.assign(kMinHashBins, kEmptyBin);
  auto addShingle = [&](int length) {
    std::uint64_t a = 0, b = 0;
    for (int k = 0; k < length; ++k) {
      const char32_t c = window[(count - length + k) % kShingleLength];
      (k < 3 ? a : b) |= static_cast<std::uint64_t>(c) << (21 * (k % 3));
    }
    const std::uint64_t h = Mix(a ^ Mix(b + static_cast<std::uint64_t>(length)));
    std::uint32_t& bin = print.signature[h >> 56];
    bin = std::min(bin, static_cast<std::uint32_t>(h));
  };
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (IsSpace(c)) continue;
    fnv = (fnv ^ c) * 0x100000001B3ULL;
    other = Mix(other + c);
    window[count % kShingleLength] = c;
    ++count;
    if (withSignature && count >= kShingleLength) addShingle(kShingleLength);
  }
  print.empty = count == 0;
  print.hash1 = fnv ^ static_cast<std::uint64_t>(count);
  print.hash2 = other;
  if (!withSignature || print.empty) return print;
  if (count < kShingleLength) addShingle(static_cast<int>(count));
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

std::vector<DuplicatePair> FindDuplicates(const std::vector<TextPrint>& prints, int nearPercent) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < prints.size(); ++i)
    if (!prints[i].empty) order.push_back(i);
  // Index pairs (smaller first) already reported.
  std::unordered_set<std::uint64_t> found;
  auto key = [](std::size_t i, std::size_t j) {
    return (static_cast<std::uint64_t>(std::min(i, j)) << 32) | std::max(i, j);
  };
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
    std::unordered_set<std::uint64_t> candidates;
    for (int band = 0; band < kBands; ++band) {
      std::unordered_map<std::uint64_t, std::vector<std::size_t>> buckets;
      for (std::size_t i : order) {
        if (prints[i].signature.size() != kMinHashBins) continue;
        std::uint64_t h = Mix(static_cast<std::uint64_t>(band));
        for (int r = 0; r < kBandRows; ++r) h = Mix(h ^ prints[i].signature[band * kBandRows + r]);
        buckets[h].push_back(i);
      }
      for (const auto& [h, members] : buckets)
        for (std::size_t a = 0; a < members.size(); ++a)
          for (std::size_t b = a + 1; b < members.size(); ++b) candidates.insert(key(members[a], members[b]));
    }
    for (const std::uint64_t candidate : candidates) {
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
