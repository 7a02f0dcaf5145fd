#include "index/index_outline_cache.h"

#include <mutex>
#include <string>

#include "index/index_format.h"
#include "platform/derived_cache.h"

namespace qx {

namespace {

constexpr std::string_view kOutlineKind = "outline";

// The last outline this process kept, so that its next use (the check
// after a delivery, the next delivery of a long-running process) needs no
// read of the record. It answers under the same proof as the record.
struct LastKept {
  std::mutex mutex;
  std::string native_path;
  platform::FileVersion identity;
  std::shared_ptr<const IndexOutline> outline;
};

LastKept& Last() {
  static LastKept* last = new LastKept;  // never destroyed: used until the process ends
  return *last;
}

std::shared_ptr<const IndexOutline> KeptInProcess(const std::string& native_path,
                                                  const platform::FileVersion& identity) {
  LastKept& last = Last();
  std::lock_guard lock(last.mutex);
  if (!last.outline || last.native_path != native_path || !identity.IsUntouchedSince(last.identity)) {
    return nullptr;
  }
  return last.outline;
}

bool ReadsAt(const platform::File& file, uint64_t offset, std::string_view expected) {
  std::string bytes(expected.size(), '\0');
  return file.ReadAt(offset, bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size()) &&
         bytes == expected;
}

}  // namespace

std::shared_ptr<const IndexOutline> CachedIndexOutline(std::string_view index_path,
                                                       const platform::File& file) {
  std::string native;
  const std::optional<platform::FileVersion> named = platform::IdentifyFile(index_path, &native);
  const std::optional<platform::FileVersion> held = platform::FileVersionOf(file);
  if (!named || !held || !named->IsUntouchedSince(*held)) return nullptr;
  if (platform::DerivedCacheDirectory().empty()) return nullptr;
  std::shared_ptr<const IndexOutline> outline = KeptInProcess(native, *held);
  if (!outline) {
    std::optional<std::string> payload = platform::ReadDerivedCache(kOutlineKind, native, *held);
    std::optional<IndexOutline> read;
    if (payload) read = IndexOutline::FromBytes(std::move(*payload));
    if (read) outline = std::make_shared<const IndexOutline>(std::move(*read));
  }
  if (!outline || outline->size() != held->size) return nullptr;
  // A few bytes say whether the outline still fits the text; the identity
  // above is what proves it.
  const std::string end_tag = std::string("</") + kRootElement + ">";
  if (outline->size() - outline->content_end() != end_tag.size() ||
      !ReadsAt(file, outline->content_end(), end_tag) ||
      (outline->uids_in_order() &&
       (outline->last_uid_end() - outline->last_uid_begin() != std::to_string(outline->last_uid()).size() ||
        !ReadsAt(file, outline->last_uid_begin(), std::to_string(outline->last_uid()))))) {
    return nullptr;
  }
  return outline;
}

void KeepIndexOutline(std::string_view index_path, const platform::FileVersion& written,
                      IndexOutline outline) {
  std::string native;
  const std::optional<platform::FileVersion> now = platform::IdentifyFile(index_path, &native);
  // The rename gave the file a new change time; device, inode and size
  // still say whether it is the file written.
  if (!now || now->device != written.device || now->inode != written.inode ||
      now->size != written.size || now->size != outline.size()) {
    return;
  }
  if (!platform::WriteDerivedCache(kOutlineKind, native, *now, outline.ToBytes())) return;
  LastKept& last = Last();
  std::lock_guard lock(last.mutex);
  last.native_path = native;
  last.identity = *now;
  last.outline = std::make_shared<const IndexOutline>(std::move(outline));
}

std::optional<bool> KeptOutlineHolds(std::string_view index_path, std::span<const std::string> ids) {
  const platform::File file =
      platform::File::Open(index_path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!file.valid()) return std::nullopt;
  const std::shared_ptr<const IndexOutline> outline = CachedIndexOutline(index_path, file);
  if (!outline) return std::nullopt;
  for (const std::string& id : ids) {
    if (!outline->Contains(id)) return false;
  }
  return true;
}

}  // namespace qx
