#include "platform/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/path_resolver.h"
#include "platform/text_compare.h"
#include "platform/work_ahead.h"

namespace qx::platform {
namespace {

// The original translated a pattern into these before matching: '?' always
// becomes kDosQuestion, '*' before a '.' becomes kDosStar, and a '.' before
// '?', '*' or the end becomes kDosDot.
enum class Kind : char { kLiteral, kStar, kDosStar, kDosQuestion, kDosDot };

struct Token {
  Kind kind;
  char folded;
};

std::vector<Token> Translate(std::string_view pattern) {
  std::vector<Token> tokens;
  tokens.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      tokens.push_back({Kind::kDosQuestion, c});
    } else if (c == '*') {
      tokens.push_back({next == '.' ? Kind::kDosStar : Kind::kStar, c});
    } else if (c == '.' && (next == '?' || next == '*' || i + 1 == pattern.size())) {
      tokens.push_back({Kind::kDosDot, c});
    } else {
      tokens.push_back({Kind::kLiteral, UpperAscii(c)});
    }
  }
  return tokens;
}

class Matcher {
 public:
  Matcher(const std::vector<Token>& tokens, std::string_view name)
      : tokens_(tokens),
        name_(name),
        last_dot_(name.rfind('.')),
        memo_((tokens.size() + 1) * (name.size() + 1), kUnknown) {}

  bool Matches(size_t token, size_t at) {
    signed char& known = memo_[token * (name_.size() + 1) + at];
    if (known == kUnknown) known = Compute(token, at) ? 1 : 0;
    return known == 1;
  }

 private:
  static constexpr signed char kUnknown = -1;

  bool Compute(size_t token, size_t at) {
    if (token == tokens_.size()) return at == name_.size();
    const Token& t = tokens_[token];
    const bool at_end = at == name_.size();
    switch (t.kind) {
      case Kind::kLiteral:
        return !at_end && UpperAscii(name_[at]) == t.folded && Matches(token + 1, at + 1);
      case Kind::kStar:
        for (size_t end = at; end <= name_.size(); ++end) {
          if (Matches(token + 1, end)) return true;
        }
        return false;
      case Kind::kDosStar: {
        // Any run of characters that does not swallow the name's last dot.
        const bool before_last_dot = last_dot_ != std::string_view::npos && at <= last_dot_;
        const size_t limit = before_last_dot ? last_dot_ : name_.size();
        for (size_t end = at; end <= limit; ++end) {
          if (Matches(token + 1, end)) return true;
        }
        return false;
      }
      case Kind::kDosQuestion:
        if (at_end || name_[at] == '.') return Matches(token + 1, at);
        return Matches(token + 1, at + 1);
      case Kind::kDosDot:
        if (at_end) return Matches(token + 1, at);
        return name_[at] == '.' && Matches(token + 1, at + 1);
    }
    return false;
  }

  const std::vector<Token>& tokens_;
  std::string_view name_;
  size_t last_dot_;
  std::vector<signed char> memo_;
};

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

FindData MakeFindData(std::string name, const struct statx& info, const std::string& native) {
  FindData data;
  data.name = std::move(name);
  data.attributes = AttributesFromMode(info.stx_mode);
  data.size = S_ISDIR(info.stx_mode) ? 0 : info.stx_size;
  const FileTimes times = TimesFromStatx(info, FileRef{.native_path = native.c_str()});
  data.creation_time = times.creation;
  data.last_access_time = times.last_access;
  data.last_write_time = times.last_write;
  return data;
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

void StatNames(int dir_fd, const std::vector<std::string>& names, size_t first, StatPiece* piece) {
  const size_t end = std::min(names.size(), first + kStatPiece);
  piece->infos.assign(end - first, {});
  piece->found.assign(end - first, 0);
  for (size_t i = first; i < end; ++i) {
    struct statx& info = piece->infos[i - first];
    const char* at = names[i] == "." ? "" : names[i].c_str();
    const int flags = names[i] == "." ? AT_EMPTY_PATH : 0;
    piece->found[i - first] = ::statx(dir_fd, at, flags, kTimesStatxMask, &info) == 0 ||
                              ::statx(dir_fd, at, flags | AT_SYMLINK_NOFOLLOW, kTimesStatxMask, &info) == 0;
  }
}

std::string ChildPath(const std::string& directory, std::string_view name) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// Sorts `items` into listing order by their names (ListingOrderLess), each
// name folded once rather than at every comparison: the folded names
// compared byte by byte, a prefix first, then the names as spelled.
template <typename Item, typename NameOf>
void SortInListingOrder(std::vector<Item>* items, NameOf name_of) {
  std::vector<std::pair<std::string, size_t>> keys;
  keys.reserve(items->size());
  for (size_t i = 0; i < items->size(); ++i) keys.emplace_back(UpperCased(name_of((*items)[i])), i);
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    const int folded = a.first.compare(b.first);
    if (folded != 0) return folded < 0;
    return name_of((*items)[a.second]) < name_of((*items)[b.second]);
  });
  std::vector<Item> sorted;
  sorted.reserve(items->size());
  for (const auto& key : keys) sorted.push_back(std::move((*items)[key.second]));
  *items = std::move(sorted);
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
                  std::vector<FindData>* entries) {
  DIR* dir = OpenForListing(directory);
  if (dir == nullptr) return false;
  const int dir_fd = ::dirfd(dir);
  const std::vector<Token> tokens = Translate(name_pattern);
  std::vector<std::string> dots;
  std::vector<std::string> names;
  std::vector<std::string> links;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!Matcher(tokens, name).Matches(0, 0)) continue;
    (name == "." || name == ".." ? dots : names).emplace_back(name);
    if (entry->d_type == DT_LNK || (entry->d_type == DT_UNKNOWN && IsLinkAt(dir_fd, entry->d_name))) {
      links.emplace_back(name);
    }
  }
  std::sort(links.begin(), links.end());
  std::sort(dots.begin(), dots.end());
  SortInListingOrder(&names, [](const std::string& name) -> const std::string& { return name; });
  names.insert(names.begin(), dots.begin(), dots.end());
  const size_t pieces = (names.size() + kStatPiece - 1) / kStatPiece;
  WorkAhead<StatPiece> stats(pieces, names.size() >= kParallelStatMinimum ? WorkAheadHelpers() : 0, 8,
                             [&](size_t k, StatPiece* piece) { StatNames(dir_fd, names, k * kStatPiece, piece); });
  for (size_t k = 0; k < pieces; ++k) {
    const StatPiece& piece = stats.Take(k);
    for (size_t j = 0; j < piece.infos.size(); ++j) {
      if (!piece.found[j]) continue;  // removed since it was read
      const struct statx& info = piece.infos[j];
      if (!IsListedType(info.stx_mode, scope)) continue;
      std::string& name = names[k * kStatPiece + j];
      const std::string native = ChildPath(directory, name);
      const bool link = std::binary_search(links.begin(), links.end(), name);
      entries->push_back(MakeFindData(std::move(name), info, native));
      entries->back().symbolic_link = link;
    }
  }
  ::closedir(dir);
  return true;
}

bool IsListedDirentType(unsigned char type, ListingScope scope) {
  return scope == ListingScope::kEveryEntry || type == DT_REG || type == DT_DIR;
}

// ListMatching with the names and the types the directory gives; an entry
// whose type it does not give (or a link) is looked up as ListMatching does.
bool ListNamesMatching(const std::string& directory, std::string_view name_pattern, ListingScope scope,
                       std::vector<FindData>* entries) {
  DIR* dir = OpenForListing(directory);
  if (dir == nullptr) return false;
  const int dir_fd = ::dirfd(dir);
  const std::vector<Token> tokens = Translate(name_pattern);
  std::vector<FindData> dots;
  std::vector<FindData> found;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!Matcher(tokens, name).Matches(0, 0)) continue;
    std::vector<FindData>& into = name == "." || name == ".." ? dots : found;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
      if (!IsListedDirentType(entry->d_type, scope)) continue;
      FindData data;
      data.name = name;
      data.attributes = entry->d_type == DT_DIR ? kAttributeDirectory : kAttributeNormal;
      into.push_back(std::move(data));
      continue;
    }
    struct statx info {};
    const bool link = IsLinkAt(dir_fd, entry->d_name);
    if (::statx(dir_fd, entry->d_name, 0, kTimesStatxMask, &info) != 0 &&
        ::statx(dir_fd, entry->d_name, AT_SYMLINK_NOFOLLOW, kTimesStatxMask, &info) != 0) {
      continue;  // removed since it was read
    }
    if (!IsListedType(info.stx_mode, scope)) continue;
    into.push_back(MakeFindData(std::string(name), info, ChildPath(directory, name)));
    into.back().symbolic_link = link;
  }
  ::closedir(dir);
  const auto by_name = [](const FindData& a, const FindData& b) { return a.name < b.name; };
  std::sort(dots.begin(), dots.end(), by_name);
  SortInListingOrder(&found, [](const FindData& data) -> const std::string& { return data.name; });
  for (std::vector<FindData>* part : {&dots, &found}) {
    for (FindData& data : *part) entries->push_back(std::move(data));
  }
  return true;
}

bool FindOne(std::string_view directory_part, std::string_view name, std::string_view pattern,
             ListingScope scope, std::vector<FindData>* entries) {
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
  entries->push_back(MakeFindData(std::string(name), resolved.info, resolved.native));
  entries->back().symbolic_link = IsLinkAt(AT_FDCWD, resolved.native.c_str());
  return true;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  const std::vector<Token> tokens = Translate(pattern);
  return Matcher(tokens, name).Matches(0, 0);
}

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
    listed = detail == ListingDetail::kNamesAndTypes
                 ? ListNamesMatching(resolved.native, name, scope, &listing.entries_)
                 : ListMatching(resolved.native, name, scope, &listing.entries_);
  } else {
    listed = FindOne(directory_path, name, pattern, scope, &listing.entries_);
  }
  if (!listed) return listing;
  SetLastError(listing.entries_.empty() ? kErrorFileNotFound : kErrorSuccess);
  return listing;
}

bool Listing::Next() {
  if (position_ < entries_.size()) ++position_;
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

bool ListingOrderLess(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(UpperAscii(a[i]));
    const auto fb = static_cast<unsigned char>(UpperAscii(b[i]));
    if (fa != fb) return fa < fb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace qx::platform
