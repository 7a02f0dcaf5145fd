#pragma once
// A folder's status counts kept in the derived cache (platform/
// derived_cache.h) beside the identity of the index file they were counted
// from, so that a new process can answer a status query on an unchanged
// folder without parsing its index.

#include <cstdint>
#include <optional>
#include <string_view>

#include "index/folder_status.h"
#include "platform/derived_cache.h"

namespace qx {

struct IndexStatusRecord {
  uint32_t status[kFolderStatusFields] = {};
  uint64_t file_size = 0;  // of the index file (not kept: its identity holds it)
};

// The counts kept for the index file at `index_path` (a store path) when
// it is provably the file they were counted from.
std::optional<IndexStatusRecord> CachedIndexStatus(std::string_view index_path);

// Keeps `record` for the index file at `index_path`, whose identity was
// `identity` before its document was loaded: kept only when the file still
// has that identity and has not changed too recently to tell.
void KeepIndexStatus(std::string_view index_path, const platform::FileVersion& identity,
                     const IndexStatusRecord& record);

}  // namespace qx
