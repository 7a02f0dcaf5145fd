#pragma once
// Random identifiers (the original used GUIDs for new file names).

#include <array>
#include <cstdint>

namespace qx::platform {

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  std::array<uint8_t, 8> data4;
};

Guid NewGuid();

}  // namespace qx::platform
