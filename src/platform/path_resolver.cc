#include "platform/path_resolver.h"

#include <fcntl.h>

#include <cerrno>
#include <vector>

#include "platform/directory_names.h"
#include "platform/file_time.h"
#include "platform/name_spellings.h"

namespace qx::platform {
namespace {

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

bool IsDirectoryInfo(const struct statx& info) { return S_ISDIR(info.stx_mode); }

void KeepRestAsGiven(const Components& components, size_t from, ResolvedPath* resolved) {
  for (size_t i = from; i < components.parts.size(); ++i) {
    AppendComponent(&resolved->native, components.parts[i]);
  }
}

// A directory of some thousands of entries (a mail folder): a name missing
// there is looked for in its spellings before the directory is listed, since
// a listing costs far more than the few hundred failed lookups of a short
// name. Directory sizes grow with their entries on the usual file systems.
constexpr uint64_t kLargeDirectoryBytes = 64 * 1024;

bool IsLargeDirectory(const struct statx& info) {
  return S_ISDIR(info.stx_mode) && info.stx_size >= kLargeDirectoryBytes;
}

// How the last component is looked up when its directory's listing is not
// at hand.
enum class LastName { kListDirectory, kProbeShortName };

// `part` in the directory `native`, described by `info`.
bool FindName(const std::string& native, const struct statx& info, std::string_view part,
              LastName how, std::string* actual) {
  const int most_letters = IsLargeDirectory(info) ? kMostProbedLettersInLargeDirectory : kMostProbedLetters;
  if (how == LastName::kProbeShortName && CanProbeSpellings(part, most_letters)) {
    const NameLookup kept = FindKeptDirectoryName(info, part, actual);
    if (kept != NameLookup::kNotKept) return kept == NameLookup::kFound;
    if (ProbeRatherThanList(info)) {
      const NameLookup probed = ProbeSpellings(native, part, actual);
      if (probed == NameLookup::kMissing) KeepAbsentDirectoryName(info, part);
      return probed == NameLookup::kFound;
    }
  }
  return FindDirectoryName(native, info, part, actual) == NameLookup::kFound;
}

// The exact spelling is missing: find the deepest prefix that exists as
// spelled, then look the remaining components up without regard to case.
ResolvedPath ResolveMissing(const Components& components, LastName last_name) {
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
    const LastName how = i + 1 == count ? last_name : LastName::kListDirectory;
    // Below a directory found in another spelling ("Inbox" for "INBOX"),
    // the rest is usually spelled as on disk: one stat, not a listing.
    if (i > known && how == LastName::kListDirectory && IsDirectoryInfo(directory_info)) {
      std::string spelled = resolved.native;
      AppendComponent(&spelled, part);
      struct statx spelled_info {};
      if (StatPath(spelled, &spelled_info) == 0) {
        resolved.native = std::move(spelled);
        directory_info = spelled_info;
        continue;
      }
    }
    const bool large_last = i + 1 == count && IsLargeDirectory(directory_info);
    const LastName lookup = large_last ? LastName::kProbeShortName : how;
    const bool found = IsDirectoryInfo(directory_info) &&
                       (part == "." || part == ".." ||
                        FindName(resolved.native, directory_info, part, lookup, &actual));
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

namespace {

// True when splitting and joining would give the path back as it is: no
// backslash, no doubled separator, no trailing one. Most paths the store
// builds are spelled so, and are then copied without the split.
bool IsSpelledNative(std::string_view path) {
  return path.find('\\') == std::string_view::npos && path.find("//") == std::string_view::npos &&
         (path.size() <= 1 || path.back() != '/');
}

}  // namespace

std::string SpelledNativePath(std::string_view store_path) {
  if (IsSpelledNative(store_path)) return std::string(store_path);
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
  if (error == ENOENT && !components.parts.empty()) {
    return ResolveMissing(components, LastName::kListDirectory);
  }
  resolved.error = error;
  resolved.parent_missing = error == ENOTDIR;
  return resolved;
}

ResolvedPath ResolveUsuallyMissing(std::string_view store_path) {
  const Components components = Split(store_path);
  if (components.parts.empty()) return ResolvePath(store_path);
  return ResolveMissing(components, LastName::kProbeShortName);
}

std::string NativePathWithNameAsSpelled(std::string_view store_path) {
  const Components components = Split(store_path);
  const size_t count = components.parts.size();
  if (count < 2) return Join(components, count);
  std::string native = ResolvePath(Join(components, count - 1)).native;
  AppendComponent(&native, components.parts.back());
  return native;
}

std::string ToNativePath(std::string_view store_path) { return ResolvePath(store_path).native; }

uint64_t ResolverScanCount() { return DirectoryListingCount(); }

}  // namespace qx::platform
