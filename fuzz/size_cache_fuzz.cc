// Arbitrary bytes as a size cache `_DIRSIZE.TMP`: read as a trusted cache,
// then adjusted in place by changes that push it towards both limits. Each
// adjustment must leave the decimal sum of what was there and the change,
// held between 0 and the 32-bit maximum, however large the number read.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "folder/folder_size_cache.h"
#include "frame/number_text.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kAdjustReadLimit = 254;
constexpr int32_t kChanges[] = {1, -1, std::numeric_limits<int32_t>::max(),
                                std::numeric_limits<int32_t>::min(), 0};

std::string g_directory;

int64_t ExpectedSum(const std::string& text, int32_t change) {
  const __int128 sum =
      static_cast<__int128>(qx::LeadingInteger(std::string_view(text).substr(0, kAdjustReadLimit))) +
      change;
  return static_cast<int64_t>(std::clamp<__int128>(sum, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_directory = qx::fuzz::ScratchRoot() + "/sized";
  qx::fuzz::MakeDirectories(g_directory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = g_directory + "/_DIRSIZE.TMP";
  qx::fuzz::WriteBytes(path, qx::fuzz::AsText(data, size));
  if (!qx::ReadTrustedSizeCache(g_directory)) __builtin_trap();
  for (int32_t change : kChanges) {
    const std::string before = qx::fuzz::ReadBytes(path);
    if (!qx::AdjustSizeCacheFile(path, change)) __builtin_trap();
    if (qx::fuzz::ReadBytes(path) != std::to_string(ExpectedSum(before, change))) __builtin_trap();
  }
  return 0;
}
