#pragma once
// The library's registry readers. Keys are paths below HKEY_LOCAL_MACHINE
// (ReadRegistryBinary takes its root). Nothing is cached: each call reads
// the registry as it is now.

#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

namespace qx {

// The library's settings root below HKEY_LOCAL_MACHINE.
inline constexpr const char* kSettingsRoot = platform::kLibrarySettingsKey;

// 1 and the value (cut to size bytes with its NUL) when the value exists and
// its data is not empty (an empty string still has its NUL) and fits in
// size + 1 bytes; otherwise 0 and an empty buffer. A size of 0 fails at once.
uint32_t ReadRegistryString(const char* key, const char* value, char* buffer, size_t size);

// 1 and *out on success; 0 with *out untouched otherwise (callers keep
// their own default in *out). An empty key fails.
uint32_t ReadRegistryDword(const char* key, const char* value, uint32_t* out);

// 1 with a malloc'd copy of the value's bytes (the caller frees it), 0 when
// the value cannot be read.
uint32_t ReadRegistryBinary(platform::RegistryRoot root, const char* key, const char* value,
                            uint8_t** out, uint32_t* out_size);

// Convenience for values read with a default: the DWORD under the given key,
// or `fallback` when it cannot be read.
uint32_t RegistryDwordOr(const char* key, const char* value, uint32_t fallback);

}  // namespace qx
