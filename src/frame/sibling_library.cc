#include "frame/sibling_library.h"

#include "frame/registry_readers.h"
#include "frame/bounded_text.h"

namespace qx {

std::string SiblingLibraryPath(const char* dll_name) {
  char directory[1024];
  ReadRegistryString(kSettingsRoot, "Application Directory", directory, sizeof directory);
  AppendBounded(directory, "64", sizeof directory);
  char path[1024];
  if (!FormatBounded(path, sizeof path, "%s\\%s", directory, dll_name)) return std::string();
  return path;
}

}  // namespace qx
