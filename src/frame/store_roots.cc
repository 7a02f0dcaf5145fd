#include "frame/store_roots.h"

#include <atomic>
#include <optional>

#include "frame/option_provider.h"
#include "frame/refusal_report.h"
#include "frame/registry_readers.h"
#include "frame/settings.h"
#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "platform/errors.h"
#include "platform/path_resolver.h"
#include "platform/real_path.h"
#include "platform/registry.h"

namespace qx {

namespace {

std::atomic<bool> g_full_paths_confined{false};

constexpr const char* kSpecialRoots[] = {"PUBROOT", "FILEROOT", "VCFROOT"};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool Refused(std::string_view path, uint32_t error) {
  ReportRefusal(path, error);
  platform::SetLastError(error);
  return false;
}

// True when `real` lies at or below where `root` leads now. An empty root
// is no root: the empty text would name the current directory.
bool IsBelow(const std::string& real, std::string_view root) {
  if (root.empty()) return false;
  const std::optional<std::string> real_root = platform::RealPath(root);
  return real_root && platform::IsSameOrBelowReal(real, *real_root);
}

// A postoffice directory and its special roots.
bool IsBelowPostofficeBase(const std::string& real, const std::string& base) {
  if (IsBelow(real, base)) return true;
  for (const char* special : kSpecialRoots) {
    if (IsBelow(real, JoinStorePath(base, special))) return true;
  }
  return false;
}

// The cheapest roots are asked first: nearly every path lies below the
// mail root itself, and the option provider is asked only when none holds.
bool IsBelowPostofficeRoots(const std::string& real, const char* postoffice) {
  const std::string mail_root = Settings().mail_root;
  if (IsBelow(real, mail_root)) return true;
  if (postoffice == nullptr) return false;
  if (IsBelowPostofficeBase(real, JoinStorePath(mail_root, postoffice))) return true;
  if (Settings().allow_custom_postoffice_paths != 1) return false;
  char custom_root[kOptionValueSize];
  return GetPostofficeOption(postoffice, "PostofficeRoot", custom_root, sizeof custom_root) != 0 &&
         IsBelowPostofficeBase(real, custom_root);
}

// The postoffice a full path names: the component after the mail root, as
// the path is spelled (links on the way not followed). Nullopt when the
// path does not lie below the mail root so.
std::optional<std::string> PostofficeNamedBy(std::string_view path) {
  const std::string mail_root = Settings().mail_root;
  if (mail_root.empty()) return std::nullopt;
  const std::string root = platform::ResolvePath(mail_root).native + "/";
  const std::string native = platform::ResolvePath(path).native;
  if (!native.starts_with(root) || native.size() == root.size()) return std::nullopt;
  return native.substr(root.size(), native.find('/', root.size()) - root.size());
}

}  // namespace

bool IsInsideStore(std::string_view path, const char* postoffice) {
  const std::optional<std::string> real = platform::RealPath(path);
  if (real && IsBelowPostofficeRoots(*real, postoffice)) return true;
  return Refused(path, platform::kErrorAccessDenied);
}

bool IsStoreRoot(std::string_view path, const char* postoffice) {
  const std::optional<std::string> real = platform::RealPath(path);
  if (!real) return false;
  const auto is = [&](std::string_view root) {
    const std::optional<std::string> real_root = platform::RealPath(root);
    return real_root && *real_root == *real;
  };
  const std::string mail_root = Settings().mail_root;
  bool root = is(mail_root);
  if (!root && postoffice != nullptr) {
    const std::string base = JoinStorePath(mail_root, postoffice);
    root = is(base) || is(JoinStorePath(base, "MAILROOT"));
    for (const char* special : kSpecialRoots) root = root || is(JoinStorePath(base, special));
  }
  if (root) Refused(path, platform::kErrorAccessDenied);
  return root;
}

void ConfineFullPaths() { g_full_paths_confined.store(true, std::memory_order_release); }

bool FullPathsConfined() { return g_full_paths_confined.load(std::memory_order_acquire); }

std::vector<std::string> QueueDirectories() {
  const std::string connectors = std::string(kSettingsRoot) + "\\CONNECTORS";
  std::vector<std::string> directories;
  for (const std::string& connector :
       platform::RegistrySubKeys(platform::RegistryRoot::kLocalMachine, connectors)) {
    char directory[kStorePathSize];
    const std::string key = connectors + "\\" + connector;
    if (ReadRegistryString(key.c_str(), "Queue Directory", directory, sizeof directory) != 0) {
      directories.emplace_back(directory);
    }
  }
  return directories;
}

bool IsAllowedFullPath(std::string_view path) {
  if (!FullPathsConfined()) return true;
  if (path.empty() || !IsSeparator(path.front()) || HoldsParentReference(path)) {
    return Refused(path, platform::kErrorInvalidName);
  }
  const std::optional<std::string> real = platform::RealPath(path);
  if (!real) return Refused(path, platform::kErrorAccessDenied);
  if (IsBelow(*real, Settings().mail_root) || IsBelow(*real, Settings().bad_mail_directory)) {
    return true;
  }
  for (const std::string& queue : QueueDirectories()) {
    if (IsBelow(*real, queue)) return true;
  }
  const std::optional<std::string> postoffice = PostofficeNamedBy(path);
  if (postoffice && IsStoreDirectoryName(postoffice->c_str()) &&
      IsBelowPostofficeRoots(*real, postoffice->c_str())) {
    return true;
  }
  return Refused(path, platform::kErrorAccessDenied);
}

}  // namespace qx
