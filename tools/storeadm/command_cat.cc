// storeadm cat: a message file out of a store folder, through the message
// BLOB functions (so it reads from the remote host while one is chosen).

#include <cstdio>
#include <memory>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include <optional>
#include "indexed_messages.h"
#include "json_text.h"
#include "store_objects.h"
#include "report.h"
#include "forwarding_check.h"
#include "store_names_check.h"
#include "message_blob_record.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunCat(int argc, char** argv);

const Command kCat{"cat", "<postoffice> <mailbox> <folder> <message> [--json]",
                   "writes a message file of a folder to standard output", RunCat,
                   "--json prints [{\"file\", \"bytes\", \"text\"}], the message's bytes as text\n"
                   "(a byte that is not UTF-8 stands for the character of its value).\n",
                   "--json", true};
const CommandRegistration kRegisterCat(kCat);

int RunCat(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 5) return UsageError(kCat, "cat needs a postoffice, a mailbox, a folder and a file");
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeLegacyFolderArgument(kCat, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder},
                         {"file name", argv[4], NameKind::kFile}})) {
    return kExitFailure;
  }
  std::string folder_dir;
  if (!RequireFolder(argv[1], argv[2], folder_argument.index_text.c_str(), &folder_dir)) return kExitFailure;
  std::string file_name = argv[4];
  // A UID is looked up in the folder's index; a file name is read as it is.
  if (IsUidReference(file_name)) {
    if (!CallsRunHere()) return Fail("a UID is looked up in this machine's index: name the file");
    std::optional<IndexedMessage> message = FindIndexedMessage(folder_dir, file_name);
    if (!message) return kExitFailure;
    file_name = message->file;
  }
  auto record = std::make_unique<MESSAGEBLOBRECORD>();
  std::string error;
  if (!FillMessageBlobRecord(record.get(), argv[1], argv[2], argv[3], file_name, &error)) {
    return UsageError(kCat, error.c_str());
  }
  MessageItemBLOBGetSize(record.get());
  if (ReportForwardingFailure()) return kExitFailure;
  const uint32_t size = record->length;
  uint64_t total = 0;
  std::string text;  // the message, for --json
  for (uint32_t more = MessageItemBLOBGetFirstChunk(record.get()); more != 0;
       more = MessageItemBLOBGetNextChunk(record.get())) {
    size_t length = record->length < sizeof record->data ? record->length : sizeof record->data;
    if (json) {
      text.append(reinterpret_cast<const char*>(record->data), length);
    } else if (std::fwrite(record->data, 1, length, stdout) != length) {
      FlushStandardOutputOrReport();
      return kExitFailure;
    }
    total += length;
  }
  if (ReportForwardingFailure()) return kExitFailure;
  if (total == 0 && size == 0) {
    ReportError("nothing to read: %s is missing or empty", file_name.c_str());
    return kExitFailure;
  }
  if (total != size) {
    ReportError("read %llu bytes of %s, whose size is %u\n",
                 static_cast<unsigned long long>(total), file_name.c_str(), size);
    return kExitFailure;
  }
  if (json) {
    PrintJsonArray({JsonObject()
                        .Add("file", file_name)
                        .AddNumber("bytes", static_cast<int64_t>(total))
                        .Add("text", text)});
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
