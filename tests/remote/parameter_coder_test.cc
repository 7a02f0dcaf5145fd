// The LZW coder and base64 of forwarded parameters: both ends of a forwarded
// call must produce and accept exactly these bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "remote/base64.h"
#include "remote/lzw.h"

namespace qx {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint16_t> Codes(const std::vector<uint8_t>& stream) {
  std::vector<uint16_t> codes;
  for (size_t i = 0; i + 1 < stream.size(); i += 2) codes.push_back(stream[i] | (stream[i + 1] << 8));
  return codes;
}

std::vector<uint8_t> Stream(const std::vector<uint16_t>& codes) {
  std::vector<uint8_t> stream;
  for (uint16_t code : codes) stream.insert(stream.end(), {uint8_t(code & 0xFF), uint8_t(code >> 8)});
  return stream;
}

// Through LZW and base64 and back, into a record of the same size.
std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> compressed = LzwCompress(record);
  auto decoded = Base64Decode(Base64Encode(compressed), 1 << 20);
  EXPECT_EQ(decoded, compressed);
  std::vector<uint8_t> out(record.size(), 0xEE);
  EXPECT_EQ(LzwDecompress(compressed, out), record.size());
  return out;
}

// Decodes into a record of exactly `size` bytes inside a larger block whose
// guard bytes must survive; the sanitizers watch the rest.
size_t DecodeGuarded(const std::vector<uint8_t>& stream, size_t size) {
  constexpr size_t kGuard = 32;
  std::vector<uint8_t> block(size + 2 * kGuard, 0xA5);
  size_t written = LzwDecompress(stream, std::span<uint8_t>(block.data() + kGuard, size));
  EXPECT_TRUE(std::all_of(block.begin(), block.begin() + kGuard, [](uint8_t b) { return b == 0xA5; }));
  EXPECT_TRUE(std::all_of(block.end() - kGuard, block.end(), [](uint8_t b) { return b == 0xA5; }));
  EXPECT_LE(written, size);
  return written;
}

TEST(LzwCoder, KnownCodeStreamsAndRoundTrips) {
  std::vector<uint8_t> abc = LzwCompress(Bytes("abc"));
  EXPECT_EQ(abc, (std::vector<uint8_t>{0x61, 0x00, 0x62, 0x00, 0x63, 0x00}));
  EXPECT_EQ(Base64Encode(abc), "YQBiAGMA");
  // The second code is the entry "aa" added after the first.
  EXPECT_EQ(Codes(LzwCompress(Bytes("aaaa"))), (std::vector<uint16_t>{97, 256, 97}));
  EXPECT_EQ(Codes(LzwCompress(Bytes("abababab"))), (std::vector<uint16_t>{97, 98, 256, 258, 98}));

  // A run of 'a' is coded as runs of 1, 2, ... 62 bytes (codes 97, 256 ...
  // 316); after that every code stands for 62 bytes, the lowest entry.
  std::vector<uint8_t> run(62 * 63 / 2 + 2 * 62 + 5, 'a');
  std::vector<uint16_t> codes = Codes(LzwCompress(run));
  ASSERT_EQ(codes.size(), 62u + 2 + 1);
  for (size_t i = 1; i < 62; ++i) EXPECT_EQ(codes[i], 254 + i + 1) << i;
  EXPECT_EQ(std::vector<uint16_t>(codes.begin() + 62, codes.end()), (std::vector<uint16_t>{316, 316, 259}));
  EXPECT_EQ(RoundTrip(run), run);

  std::vector<uint8_t> zeros(1540, 0);
  EXPECT_LT(LzwCompress(zeros).size() / 2, 100u);
  EXPECT_EQ(RoundTrip(zeros), zeros);

  std::mt19937 random(20240607);
  for (size_t size : {1, 3, 64, 1540, 2576, 9604, 26176}) {
    for (int alphabet : {256, 4}) {
      std::vector<uint8_t> record(size);
      for (auto& byte : record) byte = static_cast<uint8_t>(random() % alphabet);
      codes = Codes(LzwCompress(record));
      const uint16_t highest = *std::max_element(codes.begin(), codes.end());
      EXPECT_LT(highest, kLzwDictionaryLimit) << size;
      if (size == 26176) {
        EXPECT_GT(highest, kLzwDictionaryLimit - 32) << "the dictionary fills";
      }
      EXPECT_EQ(RoundTrip(record), record) << "size " << size << " alphabet " << alphabet;
    }
  }
}

TEST(LzwCoder, DecoderNeverWritesPastTheRecord) {
  std::vector<uint8_t> record(1540);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 % 13);
  std::vector<uint8_t> stream = LzwCompress(record);
  // A longer record than the caller's is cut at the caller's size.
  EXPECT_EQ(DecodeGuarded(stream, 7), 7u);

  // Truncated and odd-length streams decode what their whole codes hold.
  std::vector<uint8_t> odd(stream.begin(), stream.end() - 1);
  std::vector<uint8_t> prefix(record.size());
  const size_t written = LzwDecompress(odd, prefix);
  EXPECT_LT(written, record.size());
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.begin() + written, record.begin()));
  EXPECT_EQ(DecodeGuarded(odd, record.size()), written);
  EXPECT_EQ(DecodeGuarded({0x61, 0x00, 0x62}, 10), 1u);

  // Codes beyond the dictionary repeat the previous string plus its first byte.
  std::vector<uint8_t> out(10, 0);
  EXPECT_EQ(LzwDecompress(Stream({97, 1000, 0xFFFF}), out), 1u + 2 + 3);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "aaaaaa");
  // A first code that is not a single byte yields nothing.
  EXPECT_EQ(DecodeGuarded(Stream({300, 97}), 10), 0u);
  EXPECT_EQ(DecodeGuarded(Stream({0xFFFF, 0xFFFF}), 10), 0u);

  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> garbage(random() % 600);
    for (auto& byte : garbage) byte = static_cast<uint8_t>(random());
    if (round % 3 == 0 && garbage.size() >= 2) garbage[1] = 0;  // a valid first code
    if (round % 5 == 0) {
      for (size_t i = 3; i < garbage.size(); i += 2) garbage[i] &= 0x03;  // codes near the dictionary
    }
    DecodeGuarded(garbage, random() % 64);
  }
}

TEST(Base64, StandardAlphabetPaddingAndBadInput) {
  const std::pair<const char*, const char*> known[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"\xFB\xFF\xBF", "+/+/"}};
  for (const auto& [plain, coded] : known) {
    EXPECT_EQ(Base64Encode(Bytes(plain)), coded);
    EXPECT_EQ(Base64Decode(coded, 100), Bytes(plain));
  }
  EXPECT_EQ(Base64Decode(" Zm\r\n9v\tYg = = \n", 100), Bytes("foob"));
  for (const char* bad : {"Zm9*", "Zg=", "Zm8==", "Zg==Zg==", "Zm9", "Zm9v\x80"}) {
    EXPECT_FALSE(Base64Decode(bad, 100).has_value()) << bad;
  }
  EXPECT_FALSE(Base64Decode("Zm9vYmFy", 5).has_value());
}

}  // namespace
}  // namespace qx
