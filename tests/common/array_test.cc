#include <gtest/gtest.h>

#include <string>

#include "common/array.h"
#include "common/exception.h"

namespace qx {
namespace {

void AppendText(Array<unsigned char>& array, const std::string& text) {
  array.Append(reinterpret_cast<const unsigned char*>(text.data()),
               static_cast<uint32_t>(text.size()));
}

std::string Contents(const Array<unsigned char>& array) {
  return std::string(reinterpret_cast<const char*>(array.data()), array.length());
}

TEST(ArrayTest, AddingGrowthKeepsBytesAcrossReallocations) {
  Array<unsigned char> array;
  EXPECT_EQ(array.capacity(), 0u);
  EXPECT_EQ(array.growth_amount(), 1024u);
  EXPECT_EQ(array.growth_mode(), 0u);

  AppendText(array, "0123456789");
  EXPECT_EQ(array.capacity(), 1024u);
  std::string big(1500, 'x');
  AppendText(array, big);
  // 1024 + 1024 is larger than the 1510 bytes needed.
  EXPECT_EQ(array.capacity(), 2048u);
  AppendText(array, std::string(3000, 'y'));
  // The next step (3072) is too small; the request (4510) wins.
  EXPECT_EQ(array.capacity(), 4510u);
  EXPECT_EQ(Contents(array), "0123456789" + big + std::string(3000, 'y'));
}

TEST(ArrayTest, MultiplyingGrowthAndOddModes) {
  Array<unsigned char> array;
  array.SetGrowth(3, Array<unsigned char>::kMultiply);
  // 0 times anything is 0, so the request itself is reserved.
  array.Grow(10);
  EXPECT_EQ(array.capacity(), 10u);
  array.Grow(11);
  EXPECT_EQ(array.capacity(), 30u);

  Array<unsigned char> odd;
  odd.SetGrowth(100, 7);
  AppendText(odd, "abc");
  EXPECT_EQ(odd.capacity(), 3u);
  AppendText(odd, "d");
  EXPECT_EQ(odd.capacity(), 4u);
  EXPECT_EQ(Contents(odd), "abcd");

  odd.Reserve(2);
  EXPECT_EQ(odd.capacity(), 4u);
}

TEST(ArrayTest, GrowthThatCannotGrowThrowsTheArrayMessage) {
  Array<unsigned char> array;
  AppendText(array, "abc");
  array.SetGrowth(0, Array<unsigned char>::kAdd);
  try {
    array.Grow(5);
    FAIL() << "nothing thrown";
  } catch (const Exception& thrown) {
    EXPECT_EQ(thrown.message(),
              "Reallocation attempt resulted in smaller capacity; reallocation mode and factor "
              "invalid");
    EXPECT_EQ(thrown.source_file(), "common/Array");
    EXPECT_GT(thrown.line(), 0);
  }
  EXPECT_EQ(Contents(array), "abc");

  Array<unsigned char> multiplied;
  multiplied.SetGrowth(1, Array<unsigned char>::kMultiply);
  multiplied.Reserve(8);
  EXPECT_THROW(multiplied.Grow(8), Exception);
  EXPECT_EQ(multiplied.capacity(), 8u);
}

}  // namespace
}  // namespace qx
