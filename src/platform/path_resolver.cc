#include "platform/path_resolver.h"

#include <dirent.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/file_time.h"

namespace qx::platform {
namespace {

std::atomic<uint64_t> scan_count{0};

struct Components {
  bool absolute = false;
  std::vector<std::string_view> parts;
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

Components Split(std::string_view path) {
  Components components;
  components.absolute = !path.empty() && IsSeparator(path.front());
  size_t start = 0;
  while (start < path.size()) {
    while (start < path.size() && IsSeparator(path[start])) ++start;
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > start) components.parts.push_back(path.substr(start, end - start));
    start = end;
  }
  return components;
}

void AppendComponent(std::string* path, std::string_view name) {
  if (!path->empty() && path->back() != '/') path->push_back('/');
  path->append(name);
}

std::string Join(const Components& components, size_t count) {
  std::string path = components.absolute ? "/" : "";
  for (size_t i = 0; i < count; ++i) AppendComponent(&path, components.parts[i]);
  return path;
}

// The path the system calls get: the empty relative prefix is the current directory.
const char* SystemPath(const std::string& path) { return path.empty() ? "." : path.c_str(); }

int StatPath(const std::string& path, struct statx* info) {
  if (::statx(AT_FDCWD, SystemPath(path), 0, kTimesStatxMask, info) == 0) return 0;
  return errno;
}

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldNameChar(c);
  return folded;
}

bool SameStamp(const struct statx_timestamp& a, const struct statx_timestamp& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// One directory's names by folded spelling; an empty value means the name is
// spelled as its folded form (the store's own names mostly are).
struct DirectoryNames {
  uint32_t dev_major = 0;
  uint32_t dev_minor = 0;
  uint64_t inode = 0;
  // The change time moves with every entry added, removed or renamed, and
  // unlike the modification time nobody can set it back.
  struct statx_timestamp changed {};
  std::unordered_map<std::string, std::string> by_folded;

  bool Matches(const struct statx& info) const {
    return info.stx_dev_major == dev_major && info.stx_dev_minor == dev_minor &&
           info.stx_ino == inode && SameStamp(info.stx_ctime, changed);
  }
};

// Directory listings kept while their directory is unchanged, so that asking
// for a missing flag file in a large folder does not list the folder each time.
class DirectoryNameCache {
 public:
  static DirectoryNameCache& Instance() {
    static DirectoryNameCache* cache = new DirectoryNameCache;  // never destroyed: usable during exit
    return *cache;
  }

  // True with the on-disk spelling when `directory` (described by `info`)
  // holds `name` in some spelling.
  bool Find(const std::string& directory, const struct statx& info, std::string_view name,
            std::string* actual) {
    const std::string folded = FoldName(name);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = cache_.find(directory);
      if (it != cache_.end() && it->second.Matches(info)) return Look(it->second, folded, actual);
    }
    DirectoryNames names;
    if (!Scan(directory, info, &names)) return false;
    const bool found = Look(names, folded, actual);
    if (IsSettled(info)) Keep(directory, std::move(names));
    return found;
  }

 private:
  static constexpr size_t kNameBudget = 200000;

  static bool Look(const DirectoryNames& names, const std::string& folded, std::string* actual) {
    auto it = names.by_folded.find(folded);
    if (it == names.by_folded.end()) return false;
    *actual = it->second.empty() ? it->first : it->second;
    return true;
  }

  static bool Scan(const std::string& directory, const struct statx& info, DirectoryNames* names) {
    DIR* dir = ::opendir(SystemPath(directory));
    if (dir == nullptr) return false;
    scan_count.fetch_add(1, std::memory_order_relaxed);
    names->dev_major = info.stx_dev_major;
    names->dev_minor = info.stx_dev_minor;
    names->inode = info.stx_ino;
    names->changed = info.stx_ctime;
    while (const struct dirent* entry = ::readdir(dir)) {
      std::string_view name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string folded = FoldName(name);
      std::string spelling = folded == name ? std::string() : std::string(name);
      auto [it, inserted] = names->by_folded.try_emplace(std::move(folded), spelling);
      // Two spellings of one name: take the smaller, so every process agrees.
      if (!inserted) {
        std::string_view kept = it->second.empty() ? std::string_view(it->first) : it->second;
        if (name < kept) it->second = std::move(spelling);
      }
    }
    ::closedir(dir);
    return true;
  }

  // A listing may be kept only when the directory was last changed on an
  // earlier clock tick than now: a change made later in the same tick could
  // leave the change time as it is. File systems stamp times from the coarse
  // real-time clock, so that is the clock compared with.
  static bool IsSettled(const struct statx& info) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    const auto& changed = info.stx_ctime;
    return changed.tv_sec < now.tv_sec ||
           (changed.tv_sec == now.tv_sec && changed.tv_nsec < now.tv_nsec);
  }

  void Keep(const std::string& directory, DirectoryNames names) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto existing = cache_.find(directory);
    if (existing != cache_.end()) {
      cached_names_ -= existing->second.by_folded.size();
      cache_.erase(existing);
    }
    while (!cache_.empty() && cached_names_ + names.by_folded.size() > kNameBudget) {
      cached_names_ -= cache_.begin()->second.by_folded.size();
      cache_.erase(cache_.begin());
    }
    if (names.by_folded.size() > kNameBudget) return;
    cached_names_ += names.by_folded.size();
    cache_.emplace(directory, std::move(names));
  }

  std::mutex mutex_;
  std::unordered_map<std::string, DirectoryNames> cache_;  // guarded by mutex_
  size_t cached_names_ = 0;                                 // guarded by mutex_
};

bool IsDirectoryInfo(const struct statx& info) { return S_ISDIR(info.stx_mode); }

void KeepRestAsGiven(const Components& components, size_t from, ResolvedPath* resolved) {
  for (size_t i = from; i < components.parts.size(); ++i) {
    AppendComponent(&resolved->native, components.parts[i]);
  }
}

// The exact spelling is missing: find the deepest prefix that exists as
// spelled, then look the remaining components up without regard to case.
ResolvedPath ResolveMissing(const Components& components) {
  const size_t count = components.parts.size();
  ResolvedPath resolved;
  size_t known = count - 1;
  struct statx directory_info {};
  for (;; --known) {
    const int error = StatPath(Join(components, known), &directory_info);
    if (error == 0) break;
    if (error != ENOENT || known == 0) {
      resolved.native = Join(components, count);
      resolved.parent_missing = true;
      resolved.error = error;
      return resolved;
    }
  }
  resolved.native = Join(components, known);
  for (size_t i = known; i < count; ++i) {
    const std::string_view part = components.parts[i];
    std::string actual(part);
    const bool found = IsDirectoryInfo(directory_info) &&
                       (part == "." || part == ".." ||
                        DirectoryNameCache::Instance().Find(resolved.native, directory_info, part,
                                                            &actual));
    if (!found) {
      resolved.parent_missing = i + 1 < count || !IsDirectoryInfo(directory_info);
      resolved.error = IsDirectoryInfo(directory_info) ? ENOENT : ENOTDIR;
      KeepRestAsGiven(components, i, &resolved);
      return resolved;
    }
    AppendComponent(&resolved.native, actual);
    const int error = StatPath(resolved.native, &directory_info);
    if (error != 0) {
      resolved.parent_missing = i + 1 < count;
      resolved.error = error;
      KeepRestAsGiven(components, i + 1, &resolved);
      return resolved;
    }
  }
  resolved.exists = true;
  resolved.info = directory_info;
  return resolved;
}

}  // namespace

std::string SpelledNativePath(std::string_view store_path) {
  const Components components = Split(store_path);
  return Join(components, components.parts.size());
}

ResolvedPath ResolvePath(std::string_view store_path) {
  const Components components = Split(store_path);
  ResolvedPath resolved;
  resolved.native = Join(components, components.parts.size());
  if (resolved.native.empty()) {
    resolved.parent_missing = true;
    resolved.error = ENOENT;
    return resolved;
  }
  const int error = StatPath(resolved.native, &resolved.info);
  if (error == 0) {
    resolved.exists = true;
    return resolved;
  }
  if (error == ENOENT && !components.parts.empty()) return ResolveMissing(components);
  resolved.error = error;
  resolved.parent_missing = error == ENOTDIR;
  return resolved;
}

std::string ToNativePath(std::string_view store_path) { return ResolvePath(store_path).native; }

uint64_t ResolverScanCount() { return scan_count.load(std::memory_order_relaxed); }

}  // namespace qx::platform
