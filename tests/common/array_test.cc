#include <gtest/gtest.h>

#include <string>

#include "common/array.h"
#include "common/exception.h"

namespace qx {
namespace {

using Bytes = Array<unsigned char>;

void AppendText(Bytes& array, const std::string& text) {
  array.Append(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()));
}

std::string Contents(const Bytes& array) {
  return std::string(reinterpret_cast<const char*>(array.data()), array.length());
}

TEST(ArrayTest, GrowthModesKeepBytesAcrossReallocations) {
  Bytes array;
  AppendText(array, "0123456789");
  EXPECT_EQ(array.capacity(), 1024u);
  AppendText(array, std::string(1500, 'x'));  // 1024 + 1024 covers the 1510 bytes
  EXPECT_EQ(array.capacity(), 2048u);
  AppendText(array, std::string(3000, 'y'));  // 3072 does not: the request wins
  EXPECT_EQ(array.capacity(), 4510u);
  EXPECT_EQ(Contents(array), "0123456789" + std::string(1500, 'x') + std::string(3000, 'y'));

  Bytes multiplied;
  multiplied.SetGrowth(3, Bytes::kMultiply);
  multiplied.Grow(10);  // 0 times anything is 0, so the request itself
  EXPECT_EQ(multiplied.capacity(), 10u);
  multiplied.Grow(11);
  EXPECT_EQ(multiplied.capacity(), 30u);
}

TEST(ArrayTest, GrowthThatCannotGrowThrowsTheArrayMessage) {
  Bytes array;
  AppendText(array, "abc");
  array.SetGrowth(0, Bytes::kAdd);
  try {
    array.Grow(5);
    FAIL() << "nothing thrown";
  } catch (const Exception& thrown) {
    EXPECT_EQ(thrown.message(),
              "Reallocation attempt resulted in smaller capacity; reallocation mode and factor invalid");
  }
  EXPECT_EQ(Contents(array), "abc");
}

}  // namespace
}  // namespace qx
