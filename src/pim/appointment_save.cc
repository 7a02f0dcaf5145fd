#include "pim/appointment_save.h"

#include <optional>
#include <string>
#include <vector>

#include "frame/number_text.h"
#include "frame/store_paths.h"
#include "index/index_format.h"
#include "message/item_file_name.h"
#include "message/message_line_reader.h"
#include "message/mime_writer.h"
#include "pim/appointment_calls.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_index.h"
#include "pim/appointment_records.h"
#include "pim/calendar_time_text.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/text_compare.h"
#include "qxstore.h"

namespace qx {

using platform::StartsWithNoCase;

namespace {

constexpr size_t kIdLimit = 1024;

std::string_view ItemId(const ItemRef& item) {
  const char* id = AttributeValue(item.entry, kIdAttribute);
  if (id == nullptr) return {};
  const std::string_view text(id);
  return text.substr(0, std::min(text.size(), kIdLimit));
}

std::string MessagePath(const ItemRef& item, std::string_view id) {
  return JoinStorePath(item.folder_directory, id);
}

std::string TemporaryPath(const ItemRef& item, std::string_view id) {
  return JoinStorePath(item.folder_directory, "_" + std::string(id));
}


// The value a written header gets from its attribute.
std::string HeaderValue(const AppointmentHeader& header, const char* value) {
  std::string text = header.is_time ? AppointmentTimeText(LeadingInt32(value)) : std::string(value);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void AppendHeader(std::string* out, const AppointmentHeader& header, const char* value) {
  *out += header.name;
  *out += ": ";
  *out += HeaderValue(header, value);
  *out += "\r\n";
}

void MirrorIntoProvider(const ItemRef& item, std::string_view id, const std::string& path) {
  const ProviderEntry moved{ElementStart(item.entry),
                            ElementEnd(item.entry), std::string(id)};
  APPOINTMENTRECORD added = MakeAppointmentRecord(item.postoffice, item.mailbox, moved);
  const AppointmentTimes old = ReadAppointmentTimes(path);
  if (old.start && old.finish && *old.start >= 1 && *old.finish >= 1) {
    if (*old.start == moved.start && *old.finish == moved.end) return;
    const ProviderEntry previous{static_cast<int32_t>(*old.start), static_cast<int32_t>(*old.finish),
                                 std::string(id)};
    APPOINTMENTRECORD removed = MakeAppointmentRecord(item.postoffice, item.mailbox, previous);
    if (RemoveAppointmentEntry(&removed) != 1) {
      platform::DiagPrintf("Warning: Appointment data does not match appointment provider\n");
    }
    if (AddAppointmentEntry(&added) != 1) {
      platform::DiagPrintf("Warning: Could not create move target appointment in provider\n");
    }
    return;
  }
  if (AddAppointmentEntry(&added) != 1) {
    platform::DiagPrintf("Warning: Could not create new appointment in provider\n");
  }
}

void PrintOpenFailure(const std::string& path) {
  platform::DiagPrintf("Unable to open %s. Error=%ld\n", path.c_str(),
                       static_cast<long>(platform::GetLastError()));
}

// The written headers a message lacked, in the rewrite's order.
void AppendMissingHeaders(const ItemRef& item, const std::vector<bool>& seen, std::string* out) {
  const auto headers = RewrittenHeaders();
  for (size_t i = 0; i < headers.size(); ++i) {
    const char* value = AttributeValue(item.entry, headers[i].attribute);
    if (!seen[i] && value != nullptr) AppendHeader(out, headers[i], value);
  }
}

// The written header `line` begins with, as an index into RewrittenHeaders.
std::optional<size_t> WrittenHeaderOf(std::string_view line) {
  const auto headers = RewrittenHeaders();
  for (size_t i = 0; i < headers.size(); ++i) {
    const std::string_view name = headers[i].name;
    if (line.size() > name.size() && line[name.size()] == ':' && StartsWithNoCase(line, name)) return i;
  }
  return std::nullopt;
}

// The file content a new message or a rewrite still owes: text the element
// held while there was no message file.
void WriteHeldContent(const ItemRef& item, std::string_view id) {
  for (const char* field : {kBodyAttribute, kCalendarAttribute}) {
    const pugi::xml_attribute held = item.entry.attribute(field);
    if (!held) continue;
    WriteContentValue(item.folder_directory, id, field, held.value());
  }
}

void DropHeldContent(const ItemRef& item) {
  pugi::xml_node element = item.entry;
  element.remove_attribute(kBodyAttribute);
  element.remove_attribute(kCalendarAttribute);
}

}  // namespace

bool Appointment_RewriteHeaders(const ItemRef& item) {
  const std::string_view id = ItemId(item);
  const std::string target = MessagePath(item, id);
  const std::string temporary = TemporaryPath(item, id);
  platform::FileReplacement replacement(target, temporary, platform::FileKind::kMessage);
  if (!replacement.valid()) {
    PrintOpenFailure(temporary);
    return false;
  }
  platform::File source =
      platform::File::Open(target, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!source.valid()) {
    PrintOpenFailure(target);
    return false;
  }

  std::string out;
  std::vector<bool> seen(RewrittenHeaders().size(), false);
  bool in_replaced_header = false;
  bool block_ended = false;
  MessageLineReader reader(source, kWholeLines);
  std::string_view line;
  while (reader.NextLine(&line)) {
    const std::string_view text = line.substr(0, line.find_first_of("\r\n"));
    if (text.empty()) {
      block_ended = true;
      break;
    }
    // The folded rest of a replaced header belongs to the old value.
    if (in_replaced_header && (text.front() == ' ' || text.front() == '\t')) continue;
    in_replaced_header = false;
    if (const std::optional<size_t> written = WrittenHeaderOf(text)) {
      seen[*written] = true;
      in_replaced_header = true;
      const AppointmentHeader& header = RewrittenHeaders()[*written];
      if (const char* value = AttributeValue(item.entry, header.attribute)) AppendHeader(&out, header, value);
      continue;
    }
    out.append(text);
    out += "\r\n";
  }
  AppendMissingHeaders(item, seen, &out);
  out += "\r\n";
  bool written = replacement.Write(out);
  std::string_view block;
  while (block_ended && written && reader.NextBlock(&block)) written = replacement.Write(block);
  source.Close();
  if (!written || reader.failed() || !replacement.Commit()) {
    PrintOpenFailure(target);
    replacement.Abandon();
    return false;
  }
  return true;
}

bool Appointment_WriteMessage(const ItemRef& item) {
  const std::string_view id = ItemId(item);
  platform::FileReplacement replacement(MessagePath(item, id), TemporaryPath(item, id),
                                        platform::FileKind::kMessage);
  if (!replacement.valid()) return false;
  std::string out;
  for (const AppointmentHeader& header : NewMessageHeaders()) {
    if (const char* value = AttributeValue(item.entry, header.attribute)) AppendHeader(&out, header, value);
  }
  const char* body = AttributeValue(item.entry, kBodyAttribute);
  const char* calendar = AttributeValue(item.entry, kCalendarAttribute);
  if (calendar == nullptr) {
    out += "\r\n";
    if (body != nullptr) out += body;
  } else {
    const std::string boundary = "--" + std::string(kFixedBoundary);
    out += "Content-Type: multipart/mixed;\r\n\tboundary=\"" + std::string(kFixedBoundary) + "\"\r\n\r\n";
    out += boundary + "\r\nContent-Type: text/plain; charset=utf-8\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n";
    if (body != nullptr) out += body;
    out += boundary + "\r\nContent-Type: text/calendar; charset=utf-8\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n";
    out += calendar;
    out += "\r\n" + boundary + "--\r\n";
  }
  return replacement.Write(out) && replacement.Commit();
}

uint32_t Appointment_Save(const ItemRef& item) {
  if (item.folder_directory[0] != '\0' && !platform::IsDirectory(item.folder_directory)) {
    platform::CreateDirectory(item.folder_directory);
  }
  if (!item.entry) return 0;
  const std::string_view id = ItemId(item);
  if (id.empty() || !IsPlainFileName(id)) return 0;
  const std::string path = MessagePath(item, id);
  MirrorIntoProvider(item, id, path);
  bool written = false;
  if (platform::GetFileSize(path) >= 0) {
    written = Appointment_RewriteHeaders(item);
    if (written) WriteHeldContent(item, id);
  } else {
    written = Appointment_WriteMessage(item);
  }
  if (written) DropHeldContent(item);
  return 1;
}

}  // namespace qx
