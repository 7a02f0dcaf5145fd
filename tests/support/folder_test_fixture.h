#pragma once
// A mailbox "PO/MB" in a temporary store, with helpers that build store
// folder records and read a folder's children through the enumeration.

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "qxstore.h"
#include "store/store_folder_record.h"
#include "support/test_store.h"

namespace qx::test {

class FolderTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(MailboxDir());
  }

  std::string MailboxDir() const { return mail_root() + "/PO/MAILROOT/MB"; }

 public:
  static STOREFOLDER Record(const std::string& parent, const std::string& name) {
    STOREFOLDER record{};
    std::strcpy(record.postoffice, "PO");
    std::strcpy(record.mailbox, "MB");
    std::strcpy(record.parent, parent.c_str());
    std::strcpy(record.name, name.c_str());
    return record;
  }

  // The children of `parent` as StoreFolderFindFirst/Next hand them out.
  static std::vector<std::string> Children(const std::string& parent) {
    STOREFOLDER record = Record(parent, "");
    std::vector<std::string> names;
    for (uint32_t found = StoreFolderFindFirst(&record); found != 0;
         found = StoreFolderFindNext(&record)) {
      names.push_back(RecordText(record.name));
    }
    StoreFolderFindClose(&record);
    return names;
  }

  // Sets a file's last-write time to `seconds` since 1970.
  static void SetWriteTime(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  }

  static bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  static time_t WriteTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
  }
};

inline std::string FolderIndexOf(const std::vector<std::string>& names) {
  std::string text = "<folderindex>";
  for (const std::string& name : names) {
    text += "<folder><name><![CDATA[" + name + "]]></name></folder>";
  }
  return text + "</folderindex>";
}

}  // namespace qx::test
