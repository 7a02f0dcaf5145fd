#include "legacy/command_message_file.h"

#include <cstdint>
#include <limits>

#include "qxstore_record_text.h"

namespace qx {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int32_t ParseLong(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  if (value >= kLimit) {
    return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(negative ? -value : value);
}

// The text after `key` when the line holds it anywhere.
bool ValueAfter(std::string_view line, std::string_view key, std::string_view* value) {
  size_t at = line.find(key);
  if (at == std::string_view::npos) return false;
  *value = line.substr(at + key.size());
  return true;
}

template <size_t N>
void TakeText(std::string_view line, std::string_view key, char (&field)[N]) {
  std::string_view value;
  if (ValueAfter(line, key, &value)) SetRecordText(field, value);
}

void TakeNumber(std::string_view line, std::string_view key, int32_t* field) {
  std::string_view value;
  if (ValueAfter(line, key, &value)) *field = ParseLong(value);
}

std::string WithLineFeedsOnly(std::string_view contents) {
  std::string text;
  text.reserve(contents.size());
  for (size_t i = 0; i < contents.size(); ++i) {
    if (contents[i] == '\r' && i + 1 < contents.size() && contents[i + 1] == '\n') continue;
    text += contents[i];
  }
  return text;
}

}  // namespace

std::string FormatCommandMessage(const COMMANDMESSAGE& message) {
  std::string text;
  text += "Recipients=" + RecordText(message.recipients) + "\n";
  text += "Server=" + RecordText(message.server) + "\n";
  text += "Sender=" + RecordText(message.sender) + "\n";
  text += "Retries=" + std::to_string(message.retries) + "\n";
  text += "NextSendTime=" + std::to_string(message.next_send_time) + "\n";
  text += "TimeAcquired=" + std::to_string(message.time_acquired) + "\n";
  text += "MessageID=" + RecordText(message.message_id) + "\n";
  text += "Priority=" + RecordText(message.priority) + "\n";
  text += "Status=" + RecordText(message.status) + "\n";
  return text;
}

void ApplyCommandMessageLine(std::string_view line, COMMANDMESSAGE* message) {
  TakeText(line, "DomainName=", message->domain_name);
  TakeText(line, "Recipients=", message->recipients);
  TakeText(line, "Sender=", message->sender);
  TakeText(line, "MessageID=", message->message_id);
  TakeText(line, "Priority=", message->priority);
  TakeNumber(line, "Retries=", &message->retries);
  TakeNumber(line, "NextSendTime=", &message->next_send_time);
  TakeNumber(line, "TimeAcquired=", &message->time_acquired);
  // "X-Status=" and the like must not set the status.
  if (line.starts_with("Status=")) SetRecordText(message->status, line.substr(7));
}

void ReadCommandMessageText(std::string_view contents, COMMANDMESSAGE* message) {
  const std::string text = WithLineFeedsOnly(contents);
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t line_feed = rest.find('\n');
    size_t taken = line_feed == std::string_view::npos ? rest.size() : line_feed + 1;
    if (taken > kCommandMessageLineLimit) taken = kCommandMessageLineLimit;
    std::string_view line = rest.substr(0, taken);
    rest.remove_prefix(taken);
    // A line is read as a C string: it ends at a NUL byte.
    line = line.substr(0, line.find('\0'));
    if (line.empty()) continue;
    line.remove_suffix(1);
    ApplyCommandMessageLine(line, message);
  }
}

}  // namespace qx
