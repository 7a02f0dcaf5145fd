#include "store/postoffice_provider.h"

#include "frame/registry_readers.h"
#include "frame/sibling_library.h"
#include "frame/utilities.h"

namespace qx {

std::string PostofficeProviderPath() {
  char directory[1024];
  ReadRegistryString(kSettingsRoot, "Application Directory", directory, sizeof directory);
  AppendBounded(directory, "64", sizeof directory);
  char path[1024];
  if (!FormatBounded(path, sizeof path, "%s\\QXAIPO.DLL", directory)) return std::string();
  return path;
}

PostofficeProvider::PostofficeProvider() {
  const std::string path = PostofficeProviderPath();
  if (path.empty() || !MayLoadSiblingLibrary(path)) return;
  library_ = platform::LoadLibrary(path);
  if (library_ == nullptr) return;
  find_first_ =
      reinterpret_cast<MailboxFindEntry>(platform::GetProcAddress(library_, "MailboxFindFirst"));
  find_next_ =
      reinterpret_cast<MailboxFindEntry>(platform::GetProcAddress(library_, "MailboxFindNext"));
}

PostofficeProvider::~PostofficeProvider() {
  if (library_ != nullptr) platform::FreeLibrary(library_);
}

}  // namespace qx
