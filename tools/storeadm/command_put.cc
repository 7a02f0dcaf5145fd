// storeadm put: a message file into a store folder, written whole beside
// its name and renamed into place, or, while a remote host is chosen,
// through the message BLOB functions (so it writes on that host). The
// folder's index takes the file in at its next scan.

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "forwarding_check.h"
#include "store_names_check.h"
#include "frame/file_helpers.h"
#include "frame/store_names.h"
#include "legacy/blob_records.h"
#include "message_blob_record.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "remote/forwarding_decision.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunPut(int argc, char** argv);

const Command kPut{"put", "<postoffice> <mailbox> <folder> <source file or -> [<file name>]",
                   "copies a file (or standard input) into a folder as a message file; the name "
                   "defaults to a new one",
                   RunPut};
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

// Here the whole file goes in at once, renamed into place when complete: the
// chunk calls a remote host needs would leave part of it under its name
// until the last chunk.
int PutLocally(const MESSAGEBLOBRECORD& record, Source* source, const std::string& file_name,
               const char* source_name) {
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
    if (read_failed) {
      std::fprintf(stderr, "storeadm: cannot read %s\n", source_name);
    } else {
      std::fprintf(stderr, "storeadm: cannot write %s (error %u): the folder may not exist\n",
                   file_name.c_str(), platform::GetLastError());
    }
    return kExitFailure;
  }
  std::printf("%s: %llu bytes\n", file_name.c_str(), static_cast<unsigned long long>(*total));
  return kExitOk;
}

int RunPut(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    return UsageError(kPut, "put needs a postoffice, a mailbox, a folder and a source file");
  }
  const std::string file_name = argc == 6 ? argv[5] : NewFileName();
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder},
                         {"file name", file_name.c_str(), NameKind::kFile}})) {
    return kExitFailure;
  }
  auto record = std::make_unique<MESSAGEBLOBRECORD>();
  std::string error;
  if (!FillMessageBlobRecord(record.get(), argv[1], argv[2], argv[3], file_name, &error)) {
    return UsageError(kPut, error.c_str());
  }
  Source source(argv[4]);
  if (!source.valid()) {
    std::fprintf(stderr, "storeadm: cannot open %s\n", argv[4]);
    return kExitFailure;
  }
  if (!ForwardingChosen()) return PutLocally(*record, &source, file_name, argv[4]);
  uint64_t total = 0;
  bool first = true;
  while (true) {
    int64_t count = source.Read(record->data, sizeof record->data);
    if (count < 0) {
      std::fprintf(stderr, "storeadm: cannot read %s\n", argv[4]);
      return kExitFailure;
    }
    // The first chunk goes out even when empty: it creates the file.
    if (count == 0 && !first) break;
    record->length = static_cast<uint32_t>(count);
    const uint32_t written = first ? MessageItemBLOBWriteFirstChunk(record.get())
                                   : MessageItemBLOBWriteNextChunk(record.get());
    if (ReportForwardingFailure()) return kExitFailure;
    // Answered, the write calls fail only for names that lead out of the store.
    if (written == 0) return LeadsOutOfStore(("the folder or file name " + file_name).c_str());
    first = false;
    total += static_cast<uint64_t>(count);
    if (count < static_cast<int64_t>(sizeof record->data)) break;
  }
  // The write calls report nothing, so the size tells whether the file is there.
  MessageItemBLOBGetSize(record.get());
  if (ReportForwardingFailure()) return kExitFailure;
  if (record->length != static_cast<uint32_t>(total)) {
    std::fprintf(stderr,
                 "storeadm: %s holds %u bytes after writing %llu: the folder may not exist\n",
                 file_name.c_str(), record->length, static_cast<unsigned long long>(total));
    return kExitFailure;
  }
  std::printf("%s: %llu bytes\n", file_name.c_str(), static_cast<unsigned long long>(total));
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
