// storeadm headers: what the header reader takes from one message file, the
// values its index entry would be built from. It only reads the file.

#include <cstdio>
#include <string>

#include "command.h"
#include "json_text.h"
#include "report.h"
#include "index/index_entry.h"
#include "message/message_headers.h"
#include "message/message_uid.h"
#include "platform/file.h"

namespace qx::storeadm {
namespace {

std::string FolderOf(const std::string& path) {
  size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

void PrintField(const char* name, const std::string& value) {
  std::printf("%-17s %s\n", name, value.c_str());
}

void PrintField(const char* name, long long value) { std::printf("%-17s %lld\n", name, value); }

void PrintRecord(const std::string& path, const MessageHeaders& r) {
  PrintField("file:", path);
  PrintField("sender:", r.sender);
  PrintField("reply address:", r.reply_address);
  PrintField("recipients:", r.recipients);
  PrintField("copy recipients:", r.copy_recipients);
  PrintField("subject:", r.subject);
  PrintField("message id:", r.message_id);
  PrintField("message date:", r.message_date);
  PrintField("received date:", r.received_date);
  PrintField("has attachments:", r.has_attachments);
  PrintField("read:", r.read);
  PrintField("message class:", r.message_class);
  PrintField("flag words:", r.flag_words);
  PrintField("importance:", r.importance);
  PrintField("uid validity:", r.uid_validity);
  PrintField("uid:", r.uid);
  PrintField("file size:", r.file_size);
  PrintField("modified stamp:", r.modified_stamp);
  std::printf("header text (%zu bytes):\n%s\n", r.header_text.size(), r.header_text.c_str());
}

int RunHeaders(int argc, char** argv);

const Command kHeaders{"headers", "<message file> [--json]",
                       "prints what the header reader takes from a message file", RunHeaders, nullptr, "--json"};
const CommandRegistration kRegisterHeaders(kHeaders);

JsonObject RecordObject(const std::string& path, const MessageHeaders& r) {
  JsonObject object;
  object.Add("file", path).Add("sender", r.sender).Add("reply_address", r.reply_address);
  object.Add("recipients", r.recipients).Add("copy_recipients", r.copy_recipients);
  object.Add("subject", r.subject).Add("message_id", r.message_id);
  object.Add("message_date", r.message_date).Add("received_date", r.received_date);
  object.AddNumber("has_attachments", r.has_attachments).AddNumber("read", r.read);
  object.Add("message_class", r.message_class).Add("flag_words", r.flag_words);
  object.AddNumber("importance", r.importance).AddNumber("uid_validity", r.uid_validity);
  object.AddNumber("uid", r.uid).AddNumber("file_size", r.file_size);
  object.AddNumber("modified_stamp", r.modified_stamp).Add("header_text", r.header_text);
  return object;
}

int RunHeaders(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 2) return UsageError(kHeaders, "expected one message file");
  const std::string path = argv[1];
  MessageHeaders record;
  int64_t size = platform::GetFileSize(path);
  record.file_size = size < 0 ? 0 : static_cast<uint32_t>(size);
  // X-UID lines are read against the folder's validity, as a scan reads them.
  record.uid_validity = FolderUidValidity(FolderOf(path));
  HeaderReadOptions options;
  options.read_uid = UidBrandingEnabled();
  if (ReadMessageHeaders(path, &record, options) != 1) {
    return Fail("cannot read message file %s", path.c_str());
  }
  if (json) {
    PrintJsonArray({RecordObject(path, record)});
  } else {
    PrintRecord(path, record);
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
