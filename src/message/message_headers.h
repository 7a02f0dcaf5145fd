#pragma once
// The header reader: fills a message header record from a message file, the
// values its index entry is built from.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace qx {

// Longest value each bounded field keeps; longer values are cut, never
// rejected.
inline constexpr size_t kSenderLimit = 511;
inline constexpr size_t kReplyAddressLimit = 511;
inline constexpr size_t kMessageIdLimit = 511;
inline constexpr size_t kSubjectLimit = 1023;
inline constexpr size_t kMessageClassLimit = 127;
inline constexpr size_t kDateTextLimit = 63;
inline constexpr size_t kPriorityTextLimit = 64;

// One file's header values. The caller owns it; set file_size (from the
// directory entry) and uid_validity (the folder's) before reading.
struct MessageHeaders {
  std::string header_text;  // the header lines as read, cut before the first "\r\n\r\n"
  std::string recipients;   // To:, continuation lines joined
  std::string copy_recipients;  // CC:
  std::string sender;           // From:, or Sender: when no From: came first
  std::string reply_address;
  std::string message_id;
  uint32_t has_attachments = 0;
  std::string received_date;  // store date text
  std::string message_date;   // store date text
  std::string subject;
  uint32_t read = 0;
  std::string message_class;
  std::string flag_words;  // flag word list
  uint32_t file_size = 0;
  uint32_t uid_validity = 0;
  int32_t importance = 3;
  uint32_t uid = 0;
  uint32_t modified_stamp = 0;  // last-write time as DOS date (high half) and time
};

// The attachment mode every caller in the store passes: scan the body of a
// multipart/mixed message for an attachment part.
inline constexpr uint32_t kScanBodyForAttachments = 2;

struct HeaderReadOptions {
  bool clear_flag_list = false;  // empty the record's flag word list first
  bool read_uid = true;          // read X-UID lines (the UID branding setting)
  uint32_t attachment_mode = kScanBodyForAttachments;
  bool ignore_x_read = false;    // disable the "X-Read: 1" rule
  // The file's last-write stamp when the caller's listing just gave it; 0
  // has it read from the open file.
  uint32_t listed_stamp = 0;
  // The file's size when the caller just learnt it, -1 when not: the read
  // then stops at the end without a last read that finds nothing.
  int64_t known_size = -1;
};

// Reads the header block of the message file at `path` into `record`.
// Returns 0 when the file cannot be opened for reading (the record is then
// untouched, apart from the flag list when clear_flag_list asked to empty
// it), 1 otherwise. Header lines are read in pieces of at most 2047 bytes; a
// piece of a longer line is taken as a line of its own.
uint32_t ReadMessageHeaders(std::string_view path, MessageHeaders* record,
                            const HeaderReadOptions& options);
// The same for a message file the caller opened for reading (`path` names it).
uint32_t ReadMessageHeaders(platform::File file, std::string_view path, MessageHeaders* record,
                            const HeaderReadOptions& options);

}  // namespace qx
