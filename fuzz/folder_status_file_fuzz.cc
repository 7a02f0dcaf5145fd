// Arbitrary bytes as a folder's `_FOLDER.DAT`, read into a caller's 52-byte
// status record by name (GetCachedStatus) and by path. The record takes the
// file's first bytes, never more than 52, and is untouched when the file is
// empty.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "index/folder_status.h"

namespace {

std::string g_folder;

void CheckRecord(uint32_t result, const std::array<uint8_t, 60>& record, std::string_view file) {
  const size_t taken = std::min<size_t>(file.size(), qx::kFolderStatusSize);
  if (result != (file.empty() ? 0u : 1u)) __builtin_trap();
  if (std::memcmp(record.data(), file.data(), taken) != 0) __builtin_trap();
  for (size_t i = taken; i < record.size(); ++i) {
    if (record[i] != 0xEE) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_folder = qx::fuzz::MailRoot() + "/MAIN/MAILROOT/anne/Inbox";
  qx::fuzz::MakeDirectories(g_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(g_folder + "/_FOLDER.DAT", file);
  std::array<uint8_t, 60> record;
  record.fill(0xEE);
  CheckRecord(qx::GetCachedStatus("MAIN", "anne", "Inbox", record.data()), record, file);
  record.fill(0xEE);
  CheckRecord(qx::ReadFolderStatusFile(g_folder + "/_FOLDER.DAT", record.data()), record, file);
  return 0;
}
