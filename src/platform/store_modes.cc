#include "platform/store_modes.h"

#include <atomic>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/registry.h"

namespace qx::platform {
namespace {

constexpr uint32_t kOwnerReadWrite = 0600;
constexpr uint32_t kOwnerAll = 0700;

std::atomic<uint32_t> g_file_mode{kDefaultStoreFileMode};
std::atomic<uint32_t> g_directory_mode{kDefaultStoreDirectoryMode};

struct ModeKind {
  const char* value_name;
  uint32_t default_mode;
  uint32_t owner_bits;  // the owner must keep these
  uint32_t all_bits;    // no bit beyond these
};

constexpr ModeKind kFileModeKind{"Store File Mode", kDefaultStoreFileMode, kOwnerReadWrite, 0777};
constexpr ModeKind kDirectoryModeKind{"Store Directory Mode", kDefaultStoreDirectoryMode,
                                      kOwnerAll, 07777};

std::optional<uint32_t> ParseOctal(std::string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  uint32_t mode = 0;
  for (const char c : text) {
    if (c < '0' || c > '7') return std::nullopt;
    mode = mode * 8 + static_cast<uint32_t>(c - '0');
  }
  return mode;
}

std::string OctalText(uint32_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "0%o", mode);
  return text;
}

// A setting as the registry holds it: the text shown for it, and the mode
// when the text is one.
struct RegistryModeValue {
  std::string text;
  std::optional<uint32_t> mode;
};

// Nothing when the value is missing or of a type that holds no mode.
std::optional<RegistryModeValue> QueryModeValue(const char* name) {
  const std::optional<RegistryValue> value =
      RegistryQuery(RegistryRoot::kLocalMachine, kLibrarySettingsKey, name);
  if (!value) return std::nullopt;
  if (value->type == kRegDword) {
    uint32_t mode = 0;
    for (size_t i = 0; i < value->data.size() && i < 4; ++i) {
      mode |= uint32_t{value->data[i]} << (8 * i);
    }
    return RegistryModeValue{OctalText(mode), mode};
  }
  if (value->type == kRegSz || value->type == kRegExpandSz) {
    std::string text(value->data.begin(), value->data.end());
    text = text.substr(0, text.find('\0'));
    return RegistryModeValue{text, ParseOctal(text)};
  }
  return std::nullopt;
}

StoreModeSetting ReadMode(const ModeKind& kind) {
  StoreModeSetting setting;
  setting.mode = kind.default_mode;
  const std::optional<RegistryModeValue> value = QueryModeValue(kind.value_name);
  if (!value) return setting;
  const std::optional<uint32_t> mode = value->mode;
  if (mode && (*mode & kind.owner_bits) == kind.owner_bits && (*mode & ~kind.all_bits) == 0) {
    setting.mode = *mode;
    setting.from_registry = true;
  } else {
    setting.ignored = value->text;
  }
  return setting;
}

}  // namespace

StoreModeSetting ReadStoreFileMode() { return ReadMode(kFileModeKind); }

StoreModeSetting ReadStoreDirectoryMode() { return ReadMode(kDirectoryModeKind); }

void LoadStoreModes() {
  g_file_mode.store(ReadStoreFileMode().mode, std::memory_order_relaxed);
  g_directory_mode.store(ReadStoreDirectoryMode().mode, std::memory_order_relaxed);
}

uint32_t StoreFileMode() { return g_file_mode.load(std::memory_order_relaxed); }

uint32_t StoreDirectoryMode() { return g_directory_mode.load(std::memory_order_relaxed); }

}  // namespace qx::platform
