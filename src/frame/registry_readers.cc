#include "frame/registry_readers.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace qx {

namespace {

std::optional<platform::RegistryValue> QueryLocalMachine(const char* key, const char* value) {
  if (key == nullptr) return std::nullopt;
  return platform::RegistryQuery(platform::RegistryRoot::kLocalMachine, key,
                                 value == nullptr ? "" : value);
}

}  // namespace

uint32_t ReadRegistryString(const char* key, const char* value, char* buffer, size_t size) {
  if (size == 0 || buffer == nullptr) return 0;
  buffer[0] = '\0';
  std::optional<platform::RegistryValue> found = QueryLocalMachine(key, value);
  // The query is made into size + 1 bytes: a longer value does not fit and
  // fails rather than being cut. A string's data carries its NUL, so an
  // empty string still reads as a (empty) success.
  if (!found || found->data.empty() || found->data.size() > size + 1) return 0;
  size_t length = 0;
  while (length < found->data.size() && length + 1 < size && found->data[length] != 0) ++length;
  std::memcpy(buffer, found->data.data(), length);
  buffer[length] = '\0';
  return 1;
}

uint32_t ReadRegistryDword(const char* key, const char* value, uint32_t* out) {
  if (key == nullptr || key[0] == '\0' || out == nullptr) return 0;
  std::optional<platform::RegistryValue> found = QueryLocalMachine(key, value);
  if (!found || found->data.size() > 4) return 0;
  uint32_t number = 0;
  for (size_t i = 0; i < found->data.size(); ++i) number |= uint32_t{found->data[i]} << (8 * i);
  *out = number;
  return 1;
}

uint32_t ReadRegistryBinary(platform::RegistryRoot root, const char* key, const char* value,
                            uint8_t** out, uint32_t* out_size) {
  if (key == nullptr || out == nullptr || out_size == nullptr) return 0;
  std::optional<platform::RegistryValue> found =
      platform::RegistryQuery(root, key, value == nullptr ? "" : value);
  if (!found || found->data.empty()) return 0;
  auto* block = static_cast<uint8_t*>(std::malloc(found->data.size()));
  if (block == nullptr) return 0;
  std::memcpy(block, found->data.data(), found->data.size());
  *out = block;
  *out_size = static_cast<uint32_t>(found->data.size());
  return 1;
}

uint32_t RegistryDwordOr(const char* key, const char* value, uint32_t fallback) {
  uint32_t number = fallback;
  ReadRegistryDword(key, value, &number);
  return number;
}

}  // namespace qx
