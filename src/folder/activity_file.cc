#include "folder/activity_file.h"

#include "frame/number_text.h"
#include "platform/file.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

// Field n (from 0) of a TAB-separated line; the last field keeps any
// further TABs.
std::vector<std::string_view> SplitFields(std::string_view line, size_t count) {
  std::vector<std::string_view> fields(count);
  for (size_t n = 0; n < count; ++n) {
    size_t tab = n + 1 < count ? line.find('\t') : std::string_view::npos;
    fields[n] = line.substr(0, tab);
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

std::string Held(std::string_view field, size_t limit) {
  return std::string(field.substr(0, limit));
}

std::string_view WithoutLeadingSeparators(std::string_view folder) {
  size_t start = folder.find_first_not_of("/\\");
  return start == std::string_view::npos ? std::string_view() : folder.substr(start);
}

}  // namespace

ActivityEntry ParseActivityEntry(std::string_view line) {
  std::vector<std::string_view> field = SplitFields(line, 9);
  ActivityEntry entry;
  entry.server = Held(field[0], kActivityFieldLimit);
  entry.protocol = Held(field[1], kActivityFieldLimit);
  entry.state = Held(field[2], kActivityFieldLimit);
  entry.client_address = Held(field[3], kActivityFieldLimit);
  entry.client_port = LeadingInt32(field[4]);
  entry.written = LeadingInt32(field[5]);
  entry.folder = Held(field[6], kActivityFieldLimit);
  entry.connection = LeadingInt32(field[7]);
  entry.session = Held(field[8], kActivitySessionLimit);
  return entry;
}

std::string FormatActivityEntry(const ActivityEntry& entry) {
  std::string line;
  for (const std::string* text : {&entry.server, &entry.protocol, &entry.state,
                                  &entry.client_address}) {
    line += *text;
    line += '\t';
  }
  line += std::to_string(entry.client_port) + '\t';
  line += std::to_string(entry.written) + '\t';
  line += entry.folder + '\t';
  line += std::to_string(entry.connection) + '\t';
  line += entry.session;
  return line;
}

std::vector<std::string> SplitActivityLines(std::string_view contents) {
  std::vector<std::string> lines;
  while (!contents.empty()) {
    size_t end = contents.find('\n');
    std::string_view line = contents.substr(0, end);
    contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
    // A reader with a 1024-byte line buffer takes an over-long line in pieces.
    while (line.size() > kActivityLineLimit) {
      lines.emplace_back(line.substr(0, kActivityLineLimit));
      line.remove_prefix(kActivityLineLimit);
    }
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

std::optional<std::vector<ActivityEntry>> ReadActivityFile(std::string_view path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, &contents)) return std::nullopt;
  std::vector<ActivityEntry> entries;
  for (const std::string& line : SplitActivityLines(contents)) {
    entries.push_back(ParseActivityEntry(line));
  }
  return entries;
}

std::string FormatActivityFile(const std::vector<ActivityEntry>& entries) {
  std::string contents;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) contents += '\n';
    contents += FormatActivityEntry(entries[i]);
  }
  return contents;
}

std::string NotifyProtocol(std::string_view protocol) {
  return std::string(protocol.substr(0, protocol.find('-')));
}

bool ActivityFolderMatches(std::string_view entry_folder, std::string_view folder) {
  if (entry_folder.empty() || folder.empty()) return true;
  return platform::EqualsNoCase(WithoutLeadingSeparators(entry_folder), WithoutLeadingSeparators(folder));
}

bool WantsNotification(const ActivityEntry& entry, std::string_view folder,
                       std::string_view text) {
  if (!ActivityFolderMatches(entry.folder, folder)) return false;
  // A selected IMAP session follows the folder's contents only; it cares
  // for commits, not for every other event.
  if (NotifyProtocol(entry.protocol) == "IMAP" && entry.state == "X-SELECT") {
    return platform::EqualsNoCase(text, "COMMIT");
  }
  return true;
}

std::string NotificationMessage(const ActivityEntry& entry, std::string_view text) {
  std::string message = "[QX_NOTIFY]\t";
  message += std::to_string(entry.connection);
  message += '\t';
  message += entry.session;
  message += '\t';
  message += text;
  if (text.find("\r\n\r\n") == std::string_view::npos) message += "\r\n\r\n";
  return message;
}

}  // namespace qx
