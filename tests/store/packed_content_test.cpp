#include "store/packed_content.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

namespace nvx {
namespace {

Bytes Header(std::uint32_t length) {
  return {0x0D,
          0x0F,
          0x3E,
          0x03,
          std::uint8_t(length),
          std::uint8_t(length >> 8),
          std::uint8_t(length >> 16),
          std::uint8_t(length >> 24)};
}

// A packed value with any length field over the zlib stream of `text`.
Bytes PackedWithLength(const std::string& text, std::uint32_t length) {
  Bytes out = Header(length);
  uLongf size = compressBound(text.size());
  Bytes stream(size);
  compress(stream.data(), &size, reinterpret_cast<const Bytef*>(text.data()), text.size());
  out.insert(out.end(), stream.begin(), stream.begin() + static_cast<long>(size));
  return out;
}

TEST(PackedContent, PacksToTheStoredLayoutAndBack) {
  EXPECT_EQ(Compress({}), Header(0));
  EXPECT_TRUE(Decompress(Header(0)).empty());

  const std::string text = "\xCB\xCE\xCC\xE5 line one\r\nline two\r\n";
  const Bytes packed = Compress(ToByteArray(text));
  ASSERT_GT(packed.size(), 10u);
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 8), Header(static_cast<std::uint32_t>(text.size())));
  EXPECT_EQ(packed[8], 0x78);
  EXPECT_EQ(packed[9], 0x9C) << "default compression level";
  EXPECT_EQ(ToText(Decompress(packed)), text);

  Bytes big(300000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
  EXPECT_EQ(Decompress(Compress(big)), big);
}

TEST(PackedContent, DamagedValuesReadAsEmpty) {
  const std::string text = "some text that compresses";
  const Bytes good = PackedWithLength(text, static_cast<std::uint32_t>(text.size()));
  Bytes wrongMagic = good;
  wrongMagic[0] = 0x0E;
  Bytes truncated(good.begin(), good.end() - 3);
  Bytes corrupt = good;
  corrupt[10] ^= 0xFF;
  corrupt[11] ^= 0xFF;

  const std::pair<const char*, Bytes> rows[] = {
      {"seven bytes", Bytes(good.begin(), good.begin() + 7)},
      {"wrong magic", wrongMagic},
      {"length 0 with a stream", PackedWithLength(text, 0)},
      {"inflates past twice the length", PackedWithLength(text, 12)},
      {"truncated stream", truncated},
      {"corrupt stream", corrupt},
      {"header only with a length", Header(5)},
      {"length whose double is negative", PackedWithLength(text, 0x40000000)},
      {"length whose double wraps to 0", PackedWithLength(text, 0x80000000)},
  };
  for (const auto& [name, value] : rows) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Decompress(value).empty());
  }
}

TEST(PackedContent, ShortInflationAndTheLengthLimitAreKept) {
  const std::string text(100, 'x');
  EXPECT_EQ(ToText(Decompress(PackedWithLength(text, 1000))), text) << "shorter than its length field";
  EXPECT_EQ(ToText(Decompress(PackedWithLength(text, 50))), text) << "exactly twice its length field";
  EXPECT_TRUE(Decompress(PackedWithLength(text, 49)).empty());
}

// A stored length that is wrong either way gives what zlib's inflate gives: the whole text while
// it is at most twice the length, the shorter text when it is longer, and the same for streams
// the one-pass inflate does not take (another window size, stored blocks, a cut-short stream).
TEST(PackedContent, WrongStoredLengthsReadAsBefore) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + "\r\n";
  const auto n = static_cast<std::uint32_t>(text.size());
  const struct {
    const char* name;
    std::uint32_t length;
    bool whole;
  } rows[] = {
      {"exact", n, true},          {"one short", n - 1, true},
      {"half", (n + 1) / 2, true}, {"under half", n / 2 - 1, false},
      {"one more", n + 1, true},   {"far more", n * 100, true},
      {"one", 1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ToText(Decompress(PackedWithLength(text, row.length))), row.whole ? text : "");
  }

  // A stream with a 512-byte window, one of stored blocks, and a damaged one inside its length.
  auto packedBy = [&](int level, int windowBits) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out = Header(n);
    out.resize(8 + deflateBound(&z, n));
    z.next_in = reinterpret_cast<Bytef*>(text.data());
    z.avail_in = n;
    z.next_out = out.data() + 8;
    z.avail_out = static_cast<uInt>(out.size() - 8);
    deflate(&z, Z_FINISH);
    out.resize(8 + z.total_out);
    deflateEnd(&z);
    return out;
  };
  EXPECT_EQ(ToText(Decompress(packedBy(6, 9))), text) << "small window";
  EXPECT_EQ(ToText(Decompress(packedBy(0, 15))), text) << "stored blocks";
  Bytes damaged = PackedWithLength(text, n);
  damaged[damaged.size() / 2] ^= 0x10;
  EXPECT_TRUE(Decompress(damaged).empty());
}

// A crafted length field must not make Decompress reserve memory it will never fill: with the
// address space capped at 256 MB, a length of 0x3FFFFFFF (a 2 GB area) still decompresses.
// Under AddressSanitizer the address space is not the program's to cap.
#if defined(__SANITIZE_ADDRESS__)
#define NVX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NVX_UNDER_ASAN 1
#endif
#endif

TEST(PackedContentDeathTest, HugeLengthFieldUsesBoundedMemory) {
#ifdef NVX_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the cap";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Bytes crafted = PackedWithLength("small text", 0x3FFFFFFF);
  auto decompressUnderLimit = [&crafted] {
    const rlim_t cap = 256u << 20;
    rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    std::exit(ToText(Decompress(crafted)) == "small text" ? 0 : 1);
  };
  EXPECT_EXIT(decompressUnderLimit(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace nvx
