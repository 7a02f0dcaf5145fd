#pragma once
// Random identifiers (the original used GUIDs for new file names).

#include <array>
#include <cstdint>
#include <string>

namespace qx::platform {

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  std::array<uint8_t, 8> data4;
};

Guid NewGuid();

// The 32 upper-case hexadecimal digits the system names files with: data1,
// data2 and data3 as numbers, then the eight bytes of data4 in order.
std::string GuidText(const Guid& guid);

}  // namespace qx::platform
