#include "index/index_status_cache.h"

#include <cstring>
#include <string>

namespace qx {

namespace {

constexpr std::string_view kStatusKind = "status";

}  // namespace

std::optional<IndexStatusRecord> CachedIndexStatus(std::string_view index_path) {
  std::string native;
  const std::optional<platform::FileVersion> identity = platform::IdentifyFile(index_path, &native);
  if (!identity) return std::nullopt;
  const std::optional<std::string> payload = platform::ReadDerivedCache(kStatusKind, native, *identity);
  IndexStatusRecord record;
  if (!payload || payload->size() != sizeof record.status) return std::nullopt;
  std::memcpy(record.status, payload->data(), sizeof record.status);
  record.file_size = identity->size;
  return record;
}

void KeepIndexStatus(std::string_view index_path, const platform::FileVersion& identity,
                     const IndexStatusRecord& record) {
  std::string native;
  const std::optional<platform::FileVersion> now = platform::IdentifyFile(index_path, &native);
  if (!now || !now->IsUntouchedSince(identity) || platform::ChangedTooRecently(identity)) return;
  platform::WriteDerivedCache(kStatusKind, native, identity,
                              std::string_view(reinterpret_cast<const char*>(record.status),
                                               sizeof record.status));
}

}  // namespace qx
