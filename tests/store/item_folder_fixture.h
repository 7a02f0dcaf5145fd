#pragma once
// Mail folders of mailbox "PO/MB" filled with numbered messages, and the
// store-item calls the item tests make through the exported interface.

#include <cstdio>
#include <cstring>
#include <string>

#include "qxstore.h"
#include "support/item_property_reads.h"
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

  static std::string Text(const char* name) { return ItemText(name); }

  template <typename T>
  static bool Value(const char* name, T* out) {
    return ItemValue(name, out);
  }
};

}  // namespace qx::test
