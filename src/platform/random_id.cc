#include "platform/random_id.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace qx::platform {
namespace {

void FillRandom(uint8_t* bytes, size_t count) {
  size_t filled = 0;
  while (filled < count) {
    const ssize_t got = ::getrandom(bytes + filled, count - filled, 0);
    if (got > 0) {
      filled += static_cast<size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  if (filled == count) return;
  // Without getrandom (old kernels, seccomp) the library's source still
  // comes from the system's entropy pool.
  std::random_device device;
  for (; filled < count; ++filled) bytes[filled] = static_cast<uint8_t>(device());
}

}  // namespace

Guid NewGuid() {
  uint8_t bytes[16];
  FillRandom(bytes, sizeof bytes);
  Guid guid{};
  std::memcpy(&guid.data1, bytes, 4);
  std::memcpy(&guid.data2, bytes + 4, 2);
  std::memcpy(&guid.data3, bytes + 6, 2);
  std::memcpy(guid.data4.data(), bytes + 8, 8);
  guid.data3 = static_cast<uint16_t>((guid.data3 & 0x0FFF) | 0x4000);
  guid.data4[0] = static_cast<uint8_t>((guid.data4[0] & 0x3F) | 0x80);
  return guid;
}

std::string GuidText(const Guid& guid) {
  const std::array<uint8_t, 8>& d = guid.data4;
  char text[33];
  std::snprintf(text, sizeof text, "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", guid.data1,
                guid.data2, guid.data3, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
  return text;
}

}  // namespace qx::platform
