#include "frame/sibling_library.h"

#include <mutex>
#include <set>

#include "frame/bounded_text.h"
#include "frame/registry_readers.h"
#include "platform/diagnostics.h"

namespace qx {

namespace {

// Paths already reported, so a setting that stays wrong costs one line.
bool FirstReport(std::string_view path) {
  static std::mutex mutex;
  static std::set<std::string, std::less<>>* reported = new std::set<std::string, std::less<>>();
  std::lock_guard<std::mutex> lock(mutex);
  return reported->emplace(path).second;
}

}  // namespace

std::string SiblingLibraryPath(const char* dll_name) {
  char directory[1024];
  ReadRegistryString(kSettingsRoot, "Application Directory", directory, sizeof directory);
  AppendBounded(directory, "64", sizeof directory);
  char path[1024];
  if (!FormatBounded(path, sizeof path, "%s\\%s", directory, dll_name)) return std::string();
  return path;
}

bool MayLoadSiblingLibrary(std::string_view path) {
  if (!path.empty() && (path.front() == '\\' || path.front() == '/')) return true;
  if (FirstReport(path)) {
    const std::string text(path);
    platform::DiagPrintf(
        "\"Application Directory\" is missing or not an absolute path: %s is not loaded\n",
        text.c_str());
  }
  return false;
}

}  // namespace qx
