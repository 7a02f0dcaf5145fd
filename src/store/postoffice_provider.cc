#include "store/postoffice_provider.h"

#include "frame/sibling_library.h"

namespace qx {

std::string PostofficeProviderPath() { return SiblingLibraryPath("QXAIPO.DLL"); }

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
