#pragma once
// Reads of one property of the current store item, as the item tests and
// their fixtures make them.

#include <cstdint>
#include <cstring>
#include <string>

#include "qxstore.h"

namespace qx::test {

// A text property of the current item; "<result>" when it is not one.
inline std::string ItemText(const char* name) {
  void* value = nullptr;
  uint32_t size = 0;
  const int32_t result = StoreItem_GetProperty(name, &value, &size);
  if (result != 2 || value == nullptr || size == 0) return "<" + std::to_string(result) + ">";
  std::string text(static_cast<const char*>(value), size - 1);
  StoreItem_FreeProperty(value);
  return text;
}

// A fixed-size property of the current item: false unless it came back
// allocated with exactly sizeof(T) bytes.
template <typename T>
bool ItemValue(const char* name, T* out) {
  void* value = nullptr;
  uint32_t size = 0;
  const int32_t result = StoreItem_GetProperty(name, &value, &size);
  const bool ok = result == 2 && size == sizeof(T);
  if (ok) std::memcpy(out, value, sizeof(T));
  StoreItem_FreeProperty(value);
  return ok;
}

}  // namespace qx::test
