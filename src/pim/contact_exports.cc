// The contact family of the exported interface. ScanContacts always runs in
// this process: it is never forwarded to a remote administration host. Its
// full path is held to the store when full paths are confined.

#include "frame/store_roots.h"
#include "pim/contact_scan.h"
#include "qxstore.h"

extern "C" {

QXSTORE_API uint32_t ScanContacts(const char* folder_path, uint32_t rebuild, uint32_t mode) {
  if (folder_path == nullptr || !qx::IsAllowedFullPath(folder_path)) return 0;
  return qx::ScanContacts(folder_path, rebuild != 0, mode);
}

}  // extern "C"
