#include "message/message_headers.h"

#include <optional>

#include "message/flag_words.h"
#include "message/message_date.h"
#include "message/message_line_reader.h"
#include "message/message_uid.h"
#include "frame/number_text.h"
#include "platform/text_compare.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"

namespace qx {

using platform::StartsWithNoCase;

namespace {

constexpr size_t kUnbounded = static_cast<size_t>(-1);

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view StripLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// The text after the first colon, leading blanks and tabs skipped.
std::string_view ValueAfterColon(std::string_view line) {
  return SkipBlanks(line.substr(line.find(':') + 1));
}

std::string_view Bounded(std::string_view text, size_t limit) {
  return text.size() > limit ? text.substr(0, limit) : text;
}

void AppendBounded(std::string* field, std::string_view text, size_t limit) {
  if (field->size() >= limit) return;
  field->append(Bounded(text, limit - field->size()));
}

uint32_t ModifiedStamp(platform::File& file, std::string_view path) {
  platform::FileTimes times;
  if (file.GetTimes(&times)) return platform::DosStampFromFileTime(times.last_write);
  platform::FindData found;
  if (platform::FindFirst(path, &found)) return platform::DosStampFromFileTime(found.last_write_time);
  return 0;
}

// Applies the header rules to one line at a time, keeping the state that
// spans lines: which field a folded line continues, whether the received
// date is settled, and whether an attachment disposition was met.
class HeaderScanner {
 public:
  HeaderScanner(MessageHeaders* record, const HeaderReadOptions& options)
      : record_(record), options_(options) {}

  void Apply(std::string_view line) {
    if (!line.empty() && IsBlank(line.front())) {
      if (continued_ != nullptr) AppendBounded(continued_, line.substr(1), continued_limit_);
      return;
    }
    continued_ = nullptr;
    ApplyHeader(line);
  }

  bool attachment_disposition_seen() const { return attachment_disposition_seen_; }

 private:
  void Continue(std::string* field, size_t limit) {
    continued_ = field;
    continued_limit_ = limit;
  }

  void SetReceived(std::string_view date_text) {
    received_settled_ = true;
    MessageDateText date;
    if (ParseMessageDate(date_text, &date)) record_->received_date = Bounded(date.view(), kDateTextLimit);
  }

  void ApplyHeader(std::string_view line) {
    MessageHeaders& r = *record_;
    if (StartsWithNoCase(line, "From:")) {
      r.sender = Bounded(ValueAfterColon(line), kSenderLimit);
    } else if (StartsWithNoCase(line, "sender:")) {
      // A folded Sender: continues the sender only when it supplied it.
      if (r.sender.empty()) {
        r.sender = Bounded(ValueAfterColon(line), kSenderLimit);
        Continue(&r.sender, kSenderLimit);
      }
    } else if (StartsWithNoCase(line, "reply-to:")) {
      r.reply_address = Bounded(ValueAfterColon(line), kReplyAddressLimit);
      Continue(&r.reply_address, kReplyAddressLimit);
    } else if (StartsWithNoCase(line, "To:")) {
      r.recipients = ValueAfterColon(line);
      Continue(&r.recipients, kUnbounded);
    } else if (StartsWithNoCase(line, "CC:")) {
      r.copy_recipients = ValueAfterColon(line);
      Continue(&r.copy_recipients, kUnbounded);
    } else if (StartsWithNoCase(line, "Subject:")) {
      r.subject = Bounded(ValueAfterColon(line), kSubjectLimit);
      Continue(&r.subject, kSubjectLimit);
    } else if (StartsWithNoCase(line, "Date: ")) {
      // The first of Date: and Received: gives the received date too.
      MessageDateText date;
      const bool converted = ParseMessageDate(line.substr(6), &date);
      if (converted) r.message_date = Bounded(date.view(), kDateTextLimit);
      if (!received_settled_) {
        received_settled_ = true;
        if (converted) r.received_date = Bounded(date.view(), kDateTextLimit);
      }
    } else if (StartsWithNoCase(line, "Received: ")) {
      size_t separator = line.find("; ");
      if (!received_settled_ && separator != std::string_view::npos) SetReceived(line.substr(separator + 2));
    } else if (StartsWithNoCase(line, "Message-ID: ")) {
      r.message_id = Bounded(line.substr(12), kMessageIdLimit);
    } else if (StartsWithNoCase(line, "Content-Type: ")) {
      r.has_attachments = StartsWithNoCase(line.substr(14), "multipart/mixed") ? 1 : 0;
    } else if (StartsWithNoCase(line, "Content-Disposition: ")) {
      if (StartsWithNoCase(line.substr(21), "attachment")) {
        r.has_attachments = 1;
        attachment_disposition_seen_ = true;
      }
    } else if (StartsWithNoCase(line, "X-Read: 1")) {
      if (!options_.ignore_x_read) {
        r.read = 1;
        AddFlagWord(&r.flag_words, "SEEN");
      }
    } else if (StartsWithNoCase(line, "X-UID: ")) {
      if (options_.read_uid) {
        if (std::optional<uint32_t> uid = UidFromHeaderValue(line.substr(7), r.uid_validity)) r.uid = *uid;
      }
    } else if (StartsWithNoCase(line, "X-QX-Class: ")) {
      r.message_class = Bounded(line.substr(12), kMessageClassLimit);
    } else if (StartsWithNoCase(line, "X-QXTempFlags: ")) {
      r.flag_words = line.substr(15);
    } else if (StartsWithNoCase(line, "X-Priority: ")) {
      int32_t importance = LeadingInt32(Bounded(line.substr(12), kPriorityTextLimit));
      r.importance = importance < 1 ? 3 : importance;
    }
  }

  MessageHeaders* record_;
  const HeaderReadOptions& options_;
  std::string* continued_ = nullptr;
  size_t continued_limit_ = kUnbounded;
  bool received_settled_ = false;
  bool attachment_disposition_seen_ = false;
};

// A multipart/mixed message has an attachment only when some body line
// starts a part with an attachment disposition.
bool BodyHasAttachmentPart(MessageLineReader& reader) {
  return reader.SkipToPieceStartingWith("Content-Disposition: attachment");
}

void CutHeaderText(std::string* text) {
  size_t end = text->find("\r\n\r\n");
  if (end != std::string::npos) text->resize(end);
}

}  // namespace

uint32_t ReadMessageHeaders(std::string_view path, MessageHeaders* record,
                            const HeaderReadOptions& options) {
  return ReadMessageHeaders(
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting), path,
      record, options);
}

uint32_t ReadMessageHeaders(platform::File file, std::string_view path, MessageHeaders* record,
                            const HeaderReadOptions& options) {
  if (options.clear_flag_list) record->flag_words.clear();
  if (!file.valid()) return 0;
  record->modified_stamp = options.listed_stamp != 0 ? options.listed_stamp : ModifiedStamp(file, path);

  MessageLineReader reader(file, kHeaderPieceLimit, options.known_size);
  HeaderScanner scanner(record, options);
  bool block_ended = false;
  std::string_view line;
  while (reader.NextLine(&line)) {
    record->header_text.append(line);
    if (line.front() == '\r' || line.front() == '\n') {
      block_ended = true;
      break;
    }
    scanner.Apply(StripLineEnd(line));
  }
  if (block_ended) CutHeaderText(&record->header_text);

  if (record->has_attachments == 1 && options.attachment_mode == kScanBodyForAttachments &&
      !scanner.attachment_disposition_seen()) {
    record->has_attachments = BodyHasAttachmentPart(reader) ? 1 : 0;
  }
  return 1;
}

}  // namespace qx
