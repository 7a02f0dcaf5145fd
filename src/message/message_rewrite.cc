#include "message/message_rewrite.h"

#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "message/message_line_reader.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/file.h"

namespace qx {

namespace {

constexpr size_t kFlushSize = 64 * 1024;

// Collects the copy's bytes and writes them in large pieces; remembers the
// first failure so the caller can abandon the copy.
class CopyWriter {
 public:
  explicit CopyWriter(platform::File& file) : file_(file) {}

  std::string& pending() { return pending_; }

  void Write(std::string_view bytes) {
    if (pending_.empty() && bytes.size() >= kFlushSize) {
      ok_ = ok_ && file_.Write(bytes);
      return;
    }
    pending_.append(bytes);
    if (pending_.size() >= kFlushSize) Flush();
  }

  void Flush() {
    if (!pending_.empty()) ok_ = ok_ && file_.Write(pending_);
    pending_.clear();
  }

  bool ok() const { return ok_; }

 private:
  platform::File& file_;
  std::string pending_;
  bool ok_ = true;
};

bool IsBlockEnd(std::string_view line) { return line.front() == '\r' || line.front() == '\n'; }

// Copies the message through `rewrite` into `out`; false on a read error.
bool CopyRewritten(platform::File& in, CopyWriter& out, HeaderRewrite& rewrite) {
  MessageLineReader reader(in, kWholeLines);
  std::string_view line;
  while (reader.NextLine(&line)) {
    if (IsBlockEnd(line)) {
      rewrite.BeforeBlockEnd(&out.pending());
      out.Write(line);
      break;
    }
    rewrite.RewriteLine(line, &out.pending());
    if (out.pending().size() >= kFlushSize) out.Flush();
  }
  std::string_view block;
  while (reader.NextBlock(&block)) out.Write(block);
  out.Flush();
  return !reader.failed();
}

}  // namespace

bool RewriteMessageHeaders(std::string_view folder_dir, std::string_view file_name,
                           HeaderRewrite& rewrite) {
  if (!AcceptStoreFileName(file_name)) return false;
  const std::string message_path = JoinStorePath(folder_dir, file_name);
  const std::string temp_path = JoinStorePath(folder_dir, "_" + std::string(file_name));

  platform::File in = platform::File::Open(message_path, platform::Access::kRead,
                                           platform::Disposition::kOpenExisting);
  if (!in.valid()) {
    platform::DiagPrintf("Could not open message file for input\r\n");
    return false;
  }
  platform::FileReplacement out(message_path, temp_path, platform::FileKind::kMessage);
  if (!out.valid()) {
    platform::DiagPrintf("Could not open message file for writing\r\n");
    return false;
  }

  CopyWriter writer(out.file());
  const bool copied = CopyRewritten(in, writer, rewrite) && writer.ok();
  in.Close();
  if (copied && !rewrite.ShouldReplace()) {
    out.Abandon();
    return false;
  }
  if (!copied || !out.FinishWriting()) {
    platform::DiagPrintf("Could not write message file copy\r\n");
    out.Abandon();
    return false;
  }
  // One rename over the message rather than delete-then-rename: a failure
  // can then never leave the folder without the message.
  if (!out.Commit()) {
    platform::DiagPrintf("Could not replace message file\r\n");
    return false;
  }
  return true;
}

}  // namespace qx
