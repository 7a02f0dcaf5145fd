#include "platform/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/path_resolver.h"
#include "platform/work_ahead.h"

namespace qx::platform {
namespace {

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }


bool IsLinkAt(int dir_fd, const char* name) {
  struct stat info {};
  return ::fstatat(dir_fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

// Files and directories; a link that leads nowhere is listed as itself.
// Everything else only for the walks that delete.
bool IsListedType(uint32_t mode, ListingScope scope) {
  return scope == ListingScope::kEveryEntry || S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode);
}

// Fills in what a lookup of the entry tells.
void SetDetails(const struct statx& info, const std::string& native, ListingEntries::Entry* entry) {
  entry->attributes = AttributesFromMode(info.stx_mode);
  entry->size = S_ISDIR(info.stx_mode) ? 0 : info.stx_size;
  const FileTimes times = TimesFromStatx(info, FileRef{.native_path = native.c_str()});
  entry->creation_time = times.creation;
  entry->last_access_time = times.last_access;
  entry->last_write_time = times.last_write;
}

// Names are looked up in pieces of this many; a directory of at least
// kParallelStatMinimum names has them looked up on helper threads too, ahead
// of the entries made from them in name order.
constexpr size_t kStatPiece = 128;
constexpr size_t kParallelStatMinimum = 512;

struct StatPiece {
  std::vector<struct statx> infos;
  std::vector<char> found;  // 0 where the name was removed since it was read
};

// The entry `at` of `dir_fd` as a listing describes it: what a link points
// to, or the link itself when it points nowhere. False when it is gone.
bool StatEntryAt(int dir_fd, const char* at, int flags, struct statx* info) {
  return ::statx(dir_fd, at, flags, kTimesStatxMask, info) == 0 ||
         ::statx(dir_fd, at, flags | AT_SYMLINK_NOFOLLOW, kTimesStatxMask, info) == 0;
}

void StatNames(int dir_fd, const ListingEntries& entries, size_t first, StatPiece* piece) {
  const size_t end = std::min(entries.size(), first + kStatPiece);
  piece->infos.assign(end - first, {});
  piece->found.assign(end - first, 0);
  for (size_t i = first; i < end; ++i) {
    struct statx& info = piece->infos[i - first];
    const bool itself = entries.name(entries[i]) == ".";
    const char* at = itself ? "" : entries.c_name(entries[i]);
    const int flags = itself ? AT_EMPTY_PATH : 0;
    piece->found[i - first] = StatEntryAt(dir_fd, at, flags, &info);
  }
}

std::string ChildPath(const std::string& directory, std::string_view name) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// Makes room for the entries a directory of `directory_size` bytes likely
// holds, so that a large one's buffers are not regrown name by name. On ext4
// a folder of message names takes about 60 bytes per entry; elsewhere the
// guess may be low, and the buffers grow as they need.
void ReserveForDirectory(uint64_t directory_size, ListingEntries* entries) {
  constexpr uint64_t kMostReserved = 1 << 20;
  const uint64_t expected = std::min(directory_size / 48, kMostReserved);
  entries->Reserve(expected, expected * 36);
}

// The directory open for reading its entries; null with the last error set.
DIR* OpenForListing(const std::string& directory) {
  const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) {
    SetLastErrorFromErrno(errno == ENOENT || errno == ENOTDIR ? ENOTDIR : errno);
    return nullptr;
  }
  DIR* dir = ::fdopendir(dir_fd);
  if (dir == nullptr) {
    SetLastErrorFromErrno(errno);
    ::close(dir_fd);
  }
  return dir;
}

// A listing of one directory's entries that match `name_pattern`.
bool ListMatching(const std::string& directory, std::string_view name_pattern, ListingScope scope,
                  ListingEntries* entries) {
  DIR* dir = OpenForListing(directory);
  if (dir == nullptr) return false;
  const int dir_fd = ::dirfd(dir);
  ListingPattern pattern(name_pattern);
  while (const struct dirent* entry = ::readdir(dir)) {
    if (!pattern.Matches(entry->d_name)) continue;
    entries->Add(entry->d_name).symbolic_link =
        entry->d_type == DT_LNK || (entry->d_type == DT_UNKNOWN && IsLinkAt(dir_fd, entry->d_name));
  }
  entries->SortInListingOrder();
  std::vector<char> removed(entries->size(), 0);
  {
    const size_t pieces = (entries->size() + kStatPiece - 1) / kStatPiece;
    const size_t helpers = entries->size() >= kParallelStatMinimum ? WorkAheadHelpers() : 0;
    WorkAhead<StatPiece> stats(pieces, helpers, 8,
                               [&](size_t k, StatPiece* piece) { StatNames(dir_fd, *entries, k * kStatPiece, piece); });
    for (size_t k = 0; k < pieces; ++k) {
      const StatPiece& piece = stats.Take(k);
      for (size_t j = 0; j < piece.infos.size(); ++j) {
        const size_t i = k * kStatPiece + j;
        // Gone since it was read, or of a type not listed.
        removed[i] = !piece.found[j] || !IsListedType(piece.infos[j].stx_mode, scope);
        if (removed[i]) continue;
        ListingEntries::Entry& entry = (*entries)[i];
        SetDetails(piece.infos[j], ChildPath(directory, entries->name(entry)), &entry);
      }
    }
  }
  entries->Remove(removed);
  ::closedir(dir);
  return true;
}

bool IsListedDirentType(unsigned char type, ListingScope scope) {
  return scope == ListingScope::kEveryEntry || type == DT_REG || type == DT_DIR;
}

// ListMatching with the names and the types the directory gives; an entry
// whose type it does not give (or a link) is looked up as ListMatching does.
bool ListNamesMatching(const std::string& directory, std::string_view name_pattern, ListingScope scope,
                       ListingEntries* entries) {
  DIR* dir = OpenForListing(directory);
  if (dir == nullptr) return false;
  const int dir_fd = ::dirfd(dir);
  ListingPattern pattern(name_pattern);
  while (const struct dirent* entry = ::readdir(dir)) {
    if (!pattern.Matches(entry->d_name)) continue;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
      if (!IsListedDirentType(entry->d_type, scope)) continue;
      entries->Add(entry->d_name).attributes = entry->d_type == DT_DIR ? kAttributeDirectory : kAttributeNormal;
      continue;
    }
    struct statx info {};
    const bool link = IsLinkAt(dir_fd, entry->d_name);
    if (!StatEntryAt(dir_fd, entry->d_name, 0, &info)) continue;  // removed since it was read
    if (!IsListedType(info.stx_mode, scope)) continue;
    ListingEntries::Entry& added = entries->Add(entry->d_name);
    SetDetails(info, ChildPath(directory, entry->d_name), &added);
    added.symbolic_link = link;
  }
  ::closedir(dir);
  entries->SortInListingOrder();
  return true;
}

bool FindOne(std::string_view directory_part, std::string_view name, std::string_view pattern,
             ListingScope scope, ListingEntries* entries) {
  ResolvedPath resolved;
  if (name == "." || name == "..") {
    resolved = ResolvePath(std::string(directory_part) + "/" + std::string(name));
    if (!resolved.exists || !S_ISDIR(resolved.info.stx_mode)) {
      SetLastError(kErrorPathNotFound);
      return false;
    }
  } else {
    resolved = ResolvePath(pattern);
    if (!resolved.exists) {
      SetLastErrorFromErrno(resolved.error != 0 ? resolved.error : ENOENT,
                            ErrnoContext{.parent_missing = resolved.parent_missing});
      return false;
    }
    const size_t separator = resolved.native.find_last_of('/');
    name = separator == std::string::npos ? std::string_view(resolved.native)
                                          : std::string_view(resolved.native).substr(separator + 1);
  }
  if (!IsListedType(resolved.info.stx_mode, scope)) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  ListingEntries::Entry& added = entries->Add(name);
  SetDetails(resolved.info, resolved.native, &added);
  added.symbolic_link = IsLinkAt(AT_FDCWD, resolved.native.c_str());
  return true;
}

}  // namespace

Listing Listing::Open(std::string_view pattern, ListingScope scope, ListingDetail detail) {
  Listing listing;
  size_t separator = pattern.size();
  while (separator > 0 && !IsSeparator(pattern[separator - 1])) --separator;
  const std::string_view name = pattern.substr(separator);
  std::string_view directory = pattern.substr(0, separator);
  if (name.empty()) {
    SetLastError(kErrorFileNotFound);
    return listing;
  }
  if (HasWildcards(directory)) {
    SetLastError(kErrorInvalidName);
    return listing;
  }
  // "x" alone lists the current directory; "\x" the root.
  const std::string directory_path = directory.empty() ? std::string(".") : std::string(directory);
  bool listed;
  if (HasWildcards(name)) {
    const ResolvedPath resolved = ResolvePath(directory_path);
    if (!resolved.exists || !S_ISDIR(resolved.info.stx_mode)) {
      SetLastError(kErrorPathNotFound);
      return listing;
    }
    ReserveForDirectory(resolved.info.stx_size, &listing.entries_);
    listed = detail == ListingDetail::kNamesAndTypes
                 ? ListNamesMatching(resolved.native, name, scope, &listing.entries_)
                 : ListMatching(resolved.native, name, scope, &listing.entries_);
  } else {
    listed = FindOne(directory_path, name, pattern, scope, &listing.entries_);
  }
  if (!listed) return listing;
  listing.ShowCurrent();
  SetLastError(listing.entries_.empty() ? kErrorFileNotFound : kErrorSuccess);
  return listing;
}

void Listing::ShowCurrent() {
  if (valid()) entries_.CopyTo(position_, &current_);
}

bool Listing::Next() {
  if (position_ < entries_.size()) ++position_;
  ShowCurrent();
  if (position_ < entries_.size()) return true;
  SetLastError(kErrorNoMoreFiles);
  return false;
}

bool FindFirst(std::string_view pattern, FindData* found) {
  Listing listing = Listing::Open(pattern);
  if (!listing.valid()) return false;
  *found = listing.current();
  return true;
}

}  // namespace qx::platform
