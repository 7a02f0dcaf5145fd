#pragma once
// Mail folders of mailbox "PO/MB" filled with numbered messages, and the
// store-item calls the item tests make through the exported interface.

#include <cstdio>
#include <cstring>
#include <string>

#include "qxstore.h"
#include "support/test_store.h"

namespace qx::test {

class ItemFolderTest : public StoreTest {
 protected:
  std::string FolderDir(const std::string& folder) const {
    return mail_root() + "/PO/MAILROOT/MB/" + folder;
  }

  // "M000.MAI" ... with "Subject <i>" and a sender of its own.
  static std::string MessageName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "M%03d.MAI", i);
    return name;
  }
  void MakeMailFolder(const std::string& folder, int messages) {
    MakeDirs(FolderDir(folder));
    for (int i = 0; i < messages; ++i) {
      WriteFile(FolderDir(folder) + "/" + MessageName(i),
                "From: sender" + std::to_string(i) + "@example.org\r\nSubject: Subject " +
                    std::to_string(i) + "\r\nDate: Tue, 01 Mar 2011 12:00:00 +0000\r\n\r\nbody " +
                    std::to_string(i) + "\r\n");
    }
  }

  // A text property of the current item; "<result>" when it is not one.
  static std::string Text(const char* name) {
    void* value = nullptr;
    uint32_t size = 0;
    const int32_t result = StoreItem_GetProperty(name, &value, &size);
    if (result != 2 || value == nullptr || size == 0) return "<" + std::to_string(result) + ">";
    std::string text(static_cast<const char*>(value), size - 1);
    StoreItem_FreeProperty(value);
    return text;
  }

  // A fixed-size property of the current item: false unless it came back
  // allocated with exactly sizeof(T) bytes.
  template <typename T>
  static bool Value(const char* name, T* out) {
    void* value = nullptr;
    uint32_t size = 0;
    const int32_t result = StoreItem_GetProperty(name, &value, &size);
    const bool ok = result == 2 && size == sizeof(T);
    if (ok) std::memcpy(out, value, sizeof(T));
    StoreItem_FreeProperty(value);
    return ok;
  }
};

}  // namespace qx::test
