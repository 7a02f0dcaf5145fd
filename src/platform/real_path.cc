#include "platform/real_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/errors.h"
#include "platform/path_resolver.h"

namespace qx::platform {
namespace {

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};

// realpath(3) of an existing path; nullopt with errno set otherwise.
std::optional<std::string> SystemRealPath(const std::string& native) {
  std::unique_ptr<char, FreeDeleter> real(
      ::realpath(native.empty() ? "." : native.c_str(), nullptr));
  if (!real) return std::nullopt;
  return std::string(real.get());
}

bool IsLinkEntry(const std::string& native) {
  struct stat info {};
  return ::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The native path with its last component taken off into `*last`; "/" and
// "" (the current directory) keep nothing to take.
bool TakeLastComponent(std::string* native, std::string* last) {
  while (native->size() > 1 && native->back() == '/') native->pop_back();
  if (native->empty() || *native == "/") return false;
  const size_t separator = native->find_last_of('/');
  if (separator == std::string::npos) {
    *last = std::move(*native);
    native->clear();
  } else {
    *last = native->substr(separator + 1);
    native->resize(separator == 0 ? 1 : separator);
  }
  return true;
}

// The deepest existing part of `native` resolved, and the missing rest
// appended as spelled.
std::optional<std::string> RealPathOfPartlyMissing(std::string native) {
  std::vector<std::string> missing;
  std::optional<std::string> real;
  while (!(real = SystemRealPath(native))) {
    if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
    // A name that is there but leads nowhere is a dangling link.
    if (IsLinkEntry(native)) return std::nullopt;
    std::string last;
    if (!TakeLastComponent(&native, &last)) return std::nullopt;
    if (last == "..") return std::nullopt;
    if (last != ".") missing.push_back(std::move(last));
  }
  for (auto part = missing.rbegin(); part != missing.rend(); ++part) {
    if (real->back() != '/') real->push_back('/');
    real->append(*part);
  }
  return real;
}

}  // namespace

std::optional<std::string> RealPath(std::string_view store_path) {
  // The exact spelling usually exists: one realpath and no listing.
  const std::string spelled = SpelledNativePath(store_path);
  if (std::optional<std::string> real = SystemRealPath(spelled)) return real;
  if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
  return RealPathOfPartlyMissing(ResolvePath(store_path).native);
}

bool IsSameOrBelowReal(std::string_view real_path, std::string_view real_root) {
  while (real_root.size() > 1 && real_root.back() == '/') real_root.remove_suffix(1);
  if (!real_path.starts_with(real_root)) return false;
  if (real_path.size() == real_root.size() || real_root == "/") return true;
  return real_path[real_root.size()] == '/';
}

bool IsSymbolicLink(std::string_view store_path) {
  struct stat info {};
  if (::lstat(SpelledNativePath(store_path).c_str(), &info) == 0) return S_ISLNK(info.st_mode);
  return errno == ENOENT && IsLinkEntry(ResolvePath(store_path).native);
}

bool DeleteSymbolicLink(std::string_view store_path) {
  std::string native = SpelledNativePath(store_path);
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0) {
    const ResolvedPath resolved = ResolvePath(store_path);
    native = resolved.native;
    if (::lstat(native.c_str(), &info) != 0) {
      SetLastErrorFromErrno(errno, ErrnoContext{.parent_missing = resolved.parent_missing});
      return false;
    }
  }
  if (!S_ISLNK(info.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (::unlink(native.c_str()) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  SetLastError(kErrorSuccess);
  return true;
}

}  // namespace qx::platform
