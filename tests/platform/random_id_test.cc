#include "platform/random_id.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace qx::platform {
namespace {

TEST(RandomIdTest, VersionFourAndNoRepeats) {
  std::set<std::string> seen;
  for (int i = 0; i < 2000; ++i) {
    const Guid guid = NewGuid();
    EXPECT_EQ(guid.data3 >> 12, 4);
    EXPECT_EQ(guid.data4[0] >> 6, 2);
    std::string bytes(sizeof guid, '\0');
    std::memcpy(bytes.data(), &guid, sizeof guid);
    EXPECT_TRUE(seen.insert(bytes).second);
  }
}

}  // namespace
}  // namespace qx::platform
