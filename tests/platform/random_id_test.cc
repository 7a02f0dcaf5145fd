#include "platform/random_id.h"

#include <gtest/gtest.h>

namespace qx::platform {
namespace {

// File names carry the GUID's numbers as numbers (not their little-endian
// bytes), so other processes of the server recognise them as theirs.
TEST(RandomIdTest, GuidTextIsTheNumbersThenTheBytes) {
  const Guid guid{0x0A1B2C3D, 0x4E5F, 0x0607, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0x0F}};
  EXPECT_EQ(GuidText(guid), "0A1B2C3D4E5F06078091A2B3C4D5E60F");
  const Guid random = NewGuid();
  EXPECT_EQ(random.data3 >> 12, 4);         // version 4
  EXPECT_EQ(random.data4[0] & 0xC0, 0x80);  // RFC 4122 variant
  EXPECT_NE(GuidText(NewGuid()), GuidText(random));
}

}  // namespace
}  // namespace qx::platform
