// storeadm put: a message file into a store folder, through the message
// BLOB functions (so it writes on the remote host while one is chosen).
// The folder's index takes the file in at its next scan.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "command.h"
#include <optional>
#include "frame/store_names.h"
#include "legacy/blob_records.h"
#include "remote/forwarding_decision.h"
#include "folder_argument.h"
#include "frame/store_paths.h"
#include "json_text.h"
#include "platform/errors.h"
#include "store_objects.h"
#include "report.h"
#include "forwarding_check.h"
#include "store_names_check.h"
#include "frame/file_helpers.h"
#include "message_blob_record.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunPut(int argc, char** argv);

const Command kPut{"put", "<postoffice> <mailbox> <folder> <source file or -> [<file name>]",
                   "copies a file (or standard input) into a folder as a message file; the name "
                   "defaults to a new one",
                   RunPut, nullptr, "--json", true};
const CommandRegistration kRegisterPut(kPut);

// Standard input, or a file opened through the platform layer.
class Source {
 public:
  explicit Source(const std::string& path) : from_stdin_(path == "-") {
    if (!from_stdin_) {
      file_ =
          platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
    }
  }
  bool valid() const { return from_stdin_ || file_.valid(); }
  // Fills up to `size` bytes; the count, 0 at the end, -1 on a read error.
  int64_t Read(uint8_t* buffer, size_t size) {
    size_t filled = 0;
    while (filled < size) {
      int64_t count = from_stdin_ ? ReadStdin(buffer + filled, size - filled)
                                  : file_.Read(buffer + filled, size - filled);
      if (count < 0) return -1;
      if (count == 0) break;
      filled += static_cast<size_t>(count);
    }
    return static_cast<int64_t>(filled);
  }

 private:
  static int64_t ReadStdin(uint8_t* buffer, size_t size) {
    size_t count = std::fread(buffer, 1, size, stdin);
    return count == 0 && std::ferror(stdin) ? -1 : static_cast<int64_t>(count);
  }
  platform::File file_;
  bool from_stdin_ = false;
};

std::string NewFileName() {
  char name[64];
  NewMessageFileName(name, sizeof name);
  return name;
}

// Takes a message file that was not written whole out of the folder again.
void RemovePartialFile(const MESSAGEBLOBRECORD& record, const std::string& file_name) {
  if (!CallsRunHere()) return;
  char path[kStorePathSize];
  if (GetBlobFilePath(path, sizeof path, record.postoffice, record.mailbox, record.folder,
                      file_name.c_str()) != 0) {
    platform::DeleteFile(path);
  }
}

// Copies the source into the record's file; false with the reason printed.
bool WriteMessage(Source* source, MESSAGEBLOBRECORD* record, const std::string& file_name,
                  const char* source_name, uint64_t* total) {
  bool first = true;
  while (true) {
    int64_t count = source->Read(record->data, sizeof record->data);
    if (count < 0) {
      ReportError("cannot read %s: %s", source_name, LastErrorText().c_str());
      return false;
    }
    // The first chunk goes out even when empty: it creates the file.
    if (count == 0 && !first) break;
    record->length = static_cast<uint32_t>(count);
    const uint32_t written = first ? MessageItemBLOBWriteFirstChunk(record)
                                   : MessageItemBLOBWriteNextChunk(record);
    if (ReportForwardingFailure()) return false;
    // Answered, the write calls fail only for names that lead out of the store.
    if (written == 0) {
      LeadsOutOfStore(("the folder or file name " + file_name).c_str());
      return false;
    }
    first = false;
    *total += static_cast<uint64_t>(count);
    if (count < static_cast<int64_t>(sizeof record->data)) break;
  }
  return true;
}

void PrintWritten(const std::string& file_name, uint64_t total, bool json) {
  if (json) {
    std::printf("[{\"file\": %s, \"bytes\": %llu}]\n", JsonString(file_name).c_str(),
                static_cast<unsigned long long>(total));
  } else {
    std::printf("%s: %llu bytes\n", file_name.c_str(), static_cast<unsigned long long>(total));
  }
}

// Here the whole file goes in at once, renamed into place when complete: the
// chunk calls a remote host needs would leave part of it under its name
// until the last chunk.
int PutLocally(const MESSAGEBLOBRECORD& record, Source* source, const std::string& file_name,
               const std::string& folder_dir, const char* source_name, bool json) {
  bool read_failed = false;
  const std::optional<uint64_t> total =
      LocalMessageItemWriteWhole(record, [&](uint8_t* buffer, size_t size) {
        const int64_t count = source->Read(buffer, size);
        read_failed = count < 0;
        return count;
      });
  if (!total) {
    if (IsConfinementRefusal(platform::GetLastError())) {
      return LeadsOutOfStore(("the folder or file name " + file_name).c_str());
    }
    if (read_failed) return Fail("cannot read %s", source_name);
    const std::string reason = LastErrorText();
    return Fail("cannot write %s: %s", ShownPath(JoinStorePath(folder_dir, file_name)).c_str(),
                reason.c_str());
  }
  PrintWritten(file_name, *total, json);
  return kExitOk;
}

int RunPut(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 5 && argc != 6) {
    return UsageError(kPut, "put needs a postoffice, a mailbox, a folder and a source file");
  }
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeLegacyFolderArgument(kPut, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  const std::string file_name = argc == 6 ? argv[5] : NewFileName();
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder},
                         {"file name", file_name.c_str(), NameKind::kFile}})) {
    return kExitFailure;
  }
  std::string folder_dir;
  if (!RequireFolder(argv[1], argv[2], folder_argument.index_text.c_str(), &folder_dir)) {
    return kExitFailure;
  }
  auto record = std::make_unique<MESSAGEBLOBRECORD>();
  std::string error;
  if (!FillMessageBlobRecord(record.get(), argv[1], argv[2], argv[3], file_name, &error)) {
    return UsageError(kPut, error.c_str());
  }
  // A message file of that name is another message: it is not overwritten.
  MessageItemBLOBGetSize(record.get());
  if (ReportForwardingFailure()) return kExitFailure;
  if (record->length != 0) return Fail("%s exists already in the folder", file_name.c_str());
  Source source(argv[4]);
  if (!source.valid()) return Fail("cannot open %s: %s", argv[4], LastErrorText().c_str());
  if (!ForwardingChosen()) return PutLocally(*record, &source, file_name, folder_dir, argv[4], json);
  uint64_t total = 0;
  if (!WriteMessage(&source, record.get(), file_name, argv[4], &total)) {
    RemovePartialFile(*record, file_name);
    return kExitFailure;
  }
  // The write calls report nothing, so the size tells whether the file is whole.
  MessageItemBLOBGetSize(record.get());
  if (ReportForwardingFailure()) return kExitFailure;
  if (record->length != static_cast<uint32_t>(total)) {
    const uint32_t error = platform::GetLastError();
    RemovePartialFile(*record, file_name);
    return Fail("%s could not be written whole (%u of %llu bytes)%s; it was removed",
                file_name.c_str(), record->length, static_cast<unsigned long long>(total),
                Because(error).c_str());
  }
  PrintWritten(file_name, total, json);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
