#include "message_blob_record.h"

#include <cstring>

#include "platform/text_compare.h"

namespace qx::storeadm {

namespace {

template <size_t N>
bool Put(char (&field)[N], const std::string& text) {
  if (text.size() >= N || text.find('\0') != std::string::npos) return false;
  std::memcpy(field, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

std::string LegacyFolderText(const std::string& folder) {
  if (!folder.empty() && (folder[0] == '\\' || folder[0] == '/')) return folder;
  if (platform::StartsWithNoCase(folder, "Public")) return folder;
  return "\\" + folder;
}

bool FillMessageBlobRecord(MESSAGEBLOBRECORD* record, const std::string& postoffice,
                           const std::string& mailbox, const std::string& folder,
                           const std::string& file_name, std::string* error) {
  std::memset(record, 0, sizeof *record);
  const char* too_long = !Put(record->postoffice, postoffice)             ? "postoffice"
                         : !Put(record->mailbox, mailbox)                 ? "mailbox"
                         : !Put(record->folder, LegacyFolderText(folder)) ? "folder"
                         : !Put(record->file, file_name)                  ? "file name"
                                                                          : nullptr;
  if (too_long == nullptr) return true;
  *error = std::string("the ") + too_long + " is too long for the message BLOB record";
  return false;
}

}  // namespace qx::storeadm
