#pragma once
// Records of the flat interface as the tests fill them: zeroed first, so
// that every byte a call sends, copies back or leaves alone is known.

#include <cstring>
#include <memory>

#include "qxstore.h"

namespace qx::test {

template <class Record>
std::unique_ptr<Record> Zeroed() {
  auto record = std::make_unique<Record>();
  std::memset(record.get(), 0, sizeof *record);
  return record;
}

// The message file `file` of `folder` in the mailbox given.
inline std::unique_ptr<MESSAGEBLOBRECORD> MessageBlobRecord(const char* folder, const char* file,
                                                            const char* mailbox = "MB",
                                                            const char* postoffice = "PO") {
  auto blob = Zeroed<MESSAGEBLOBRECORD>();
  std::strcpy(blob->postoffice, postoffice);
  std::strcpy(blob->mailbox, mailbox);
  std::strcpy(blob->folder, folder);
  std::strcpy(blob->file, file);
  return blob;
}

// A store folder record of postoffice PO, its reserved bytes numbered so
// that a record that travels is seen to travel whole.
inline STOREFOLDER StoreFolderRecord(const char* parent, const char* name = "",
                                     const char* mailbox = "MB") {
  STOREFOLDER record{};
  std::strcpy(record.postoffice, "PO");
  std::strcpy(record.mailbox, mailbox);
  std::strcpy(record.parent, parent);
  std::strcpy(record.name, name);
  for (size_t i = 0; i < sizeof record.reserved; ++i) record.reserved[i] = static_cast<uint8_t>(i);
  return record;
}

}  // namespace qx::test
