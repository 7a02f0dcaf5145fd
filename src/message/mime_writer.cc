#include "message/mime_writer.h"

#include <string>

#include "message/item_file_name.h"
#include "message/message_line_reader.h"
#include "frame/store_paths.h"
#include "message/mime_reader.h"
#include "message/q_encoding.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;

namespace {

constexpr size_t kFlushSize = 64 * 1024;
// Longest boundary taken from a header line.
constexpr size_t kBoundaryLimit = 1023;
constexpr std::string_view kBoundaryStart = "boundary=\"";

bool Mentions(std::string_view line, std::string_view text) {
  return FindNoCaseIn(line, text) != std::string_view::npos;
}

// Buffered writes into the copy; the first failure is remembered.
class CopyOut {
 public:
  explicit CopyOut(platform::File& file) : file_(file) {}

  void Line(std::string_view line) {
    pending_.append(line);
    pending_.append("\r\n");
    FlushWhenFull();
  }
  void Text(std::string_view text) {
    pending_.append(text);
    FlushWhenFull();
  }
  // Writes what is pending; true when every write went through.
  bool Finish() {
    Flush();
    return ok_;
  }

 private:
  void FlushWhenFull() {
    if (pending_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (!pending_.empty()) ok_ = ok_ && file_.Write(pending_);
    pending_.clear();
  }

  platform::File& file_;
  std::string pending_;
  bool ok_ = true;
};

struct MessageHead {
  bool multipart = false;
  std::string boundary;

  bool IsBoundaryLine(std::string_view line) const {
    return !boundary.empty() && Mentions(line, boundary);
  }
};

// The quoted boundary of a header line, when it has one.
std::string QuotedBoundary(std::string_view line) {
  const size_t start = FindNoCaseIn(line, kBoundaryStart);
  if (start == std::string_view::npos) return {};
  const std::string_view rest = line.substr(start + kBoundaryStart.size());
  const size_t close = rest.find('"');
  if (close == std::string_view::npos) return {};
  return std::string(rest.substr(0, std::min(close, kBoundaryLimit)));
}

// Copies the header lines; the empty line that ends the header is read but
// not written.
MessageHead CopyHeader(MessageLineReader& in, CopyOut& out) {
  MessageHead head;
  std::string_view raw;
  while (in.NextLine(&raw)) {
    const std::string_view line = WithoutLineEnd(raw);
    if (line.empty()) break;
    if (Mentions(line, "multipart/mixed")) head.multipart = true;
    if (head.multipart && head.boundary.empty()) head.boundary = QuotedBoundary(line);
    out.Line(line);
  }
  return head;
}

void CopyRest(MessageLineReader& in, CopyOut& out) {
  std::string_view raw;
  while (in.NextLine(&raw)) out.Line(WithoutLineEnd(raw));
}

// The multipart case: the part of type `part_type` after the first boundary
// line gets `text` as its content.
void ReplacePart(MessageLineReader& in, CopyOut& out, const MessageHead& head,
                 std::string_view part_type, std::string_view text) {
  out.Line("");
  bool boundary_seen = false;
  bool type_seen = false;
  std::string_view raw;
  while (in.NextLine(&raw)) {
    const std::string_view line = WithoutLineEnd(raw);
    out.Line(line);
    if (!boundary_seen) {
      boundary_seen = head.IsBoundaryLine(line);
    } else if (!type_seen) {
      type_seen = Mentions(line, part_type);
    } else if (line.empty()) {
      break;
    }
  }
  out.Text(text);
  out.Text("\r\n");
  while (in.NextLine(&raw)) {
    const std::string_view line = WithoutLineEnd(raw);
    if (head.IsBoundaryLine(line)) {
      out.Line(line);
      break;
    }
  }
  CopyRest(in, out);
}

// The single-part case with a calendar text: two parts on the fixed
// boundary, the old body first.
void AddCalendarPart(MessageLineReader& in, CopyOut& out, std::string_view text) {
  const std::string delimiter = "--" + std::string(kFixedBoundary);
  out.Line("Content-Type: multipart/mixed;");
  out.Line("\tboundary=\"" + std::string(kFixedBoundary) + "\"");
  out.Line("");
  out.Line(delimiter);
  out.Line("Content-Type: text/plain; charset=utf-8");
  out.Line("Content-Transfer-Encoding: 7bit");
  out.Line("");
  CopyRest(in, out);
  out.Line(delimiter);
  out.Line("Content-Type: text/calendar; charset=utf-8");
  out.Line("Content-Transfer-Encoding: 7bit");
  out.Line("");
  out.Text(text);
  out.Text("\r\n");
  out.Line(delimiter + "--");
}

void WriteNewContent(MessageLineReader& in, CopyOut& out, bool calendar, std::string_view text) {
  const MessageHead head = CopyHeader(in, out);
  if (calendar && head.multipart) {
    ReplacePart(in, out, head, "text/calendar", text);
  } else if (calendar) {
    AddCalendarPart(in, out, text);
  } else if (head.multipart) {
    ReplacePart(in, out, head, "text/plain", QEncodeWord(text));
  } else {
    out.Line("");
    out.Text(QEncodeWord(text));
  }
}

bool Warn(const std::string& temp_path) {
  platform::DiagPrintf("Warning: Unable to update message body for file %s\n", temp_path.c_str());
  return false;
}

}  // namespace

bool WriteContentValue(std::string_view folder_dir, std::string_view item_id,
                       std::string_view field, std::string_view text) {
  const std::string temp_path = JoinStorePath(folder_dir, "_" + std::string(item_id));
  if (!IsPlainFileName(item_id)) return Warn(temp_path);
  const std::string message_path = JoinStorePath(folder_dir, item_id);
  platform::FileReplacement replacement(message_path, temp_path, platform::FileKind::kMessage);
  if (!replacement.valid()) return Warn(temp_path);
  platform::File in = platform::File::Open(message_path, platform::Access::kRead,
                                           platform::Disposition::kOpenExisting);
  if (!in.valid()) return Warn(temp_path);

  MessageLineReader reader(in, kWholeLines);
  CopyOut copy(replacement.file());
  WriteNewContent(reader, copy, EqualsNoCase(field, "VCALENDAR"), text);
  const bool read_whole = !reader.failed();
  in.Close();
  // An uncommitted replacement deletes its temporary file as it goes.
  if (!copy.Finish() || !read_whole || !replacement.Commit()) return Warn(temp_path);
  return true;
}

}  // namespace qx
