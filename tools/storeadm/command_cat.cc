// storeadm cat: a message file out of a store folder, through the message
// BLOB functions (so it reads from the remote host while one is chosen).

#include <cstdio>
#include <memory>
#include <string>

#include "command.h"
#include "forwarding_check.h"
#include "store_names_check.h"
#include "message_blob_record.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunCat(int argc, char** argv);

const Command kCat{"cat", "<postoffice> <mailbox> <folder> <file name>",
                   "writes a message file of a folder to standard output", RunCat};
const CommandRegistration kRegisterCat(kCat);

int RunCat(int argc, char** argv) {
  if (argc != 5) return UsageError(kCat, "cat needs a postoffice, a mailbox, a folder and a file");
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder},
                         {"file name", argv[4], NameKind::kFile}})) {
    return kExitFailure;
  }
  auto record = std::make_unique<MESSAGEBLOBRECORD>();
  std::string error;
  if (!FillMessageBlobRecord(record.get(), argv[1], argv[2], argv[3], argv[4], &error)) {
    return UsageError(kCat, error.c_str());
  }
  MessageItemBLOBGetSize(record.get());
  if (ReportForwardingFailure()) return kExitFailure;
  const uint32_t size = record->length;
  uint64_t total = 0;
  for (uint32_t more = MessageItemBLOBGetFirstChunk(record.get()); more != 0;
       more = MessageItemBLOBGetNextChunk(record.get())) {
    size_t length = record->length < sizeof record->data ? record->length : sizeof record->data;
    if (std::fwrite(record->data, 1, length, stdout) != length) {
      std::fprintf(stderr, "storeadm: cannot write to standard output\n");
      return kExitFailure;
    }
    total += length;
  }
  if (ReportForwardingFailure()) return kExitFailure;
  if (total == 0 && size == 0) {
    std::fprintf(stderr, "storeadm: nothing to read: %s is missing or empty\n", argv[4]);
    return kExitFailure;
  }
  if (total != size) {
    std::fprintf(stderr, "storeadm: read %llu bytes of %s, whose size is %u\n",
                 static_cast<unsigned long long>(total), argv[4], size);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
