#include "pim/contact_save.h"

#include <optional>
#include <string>

#include "frame/store_paths.h"
#include "message/item_file_name.h"
#include "message/quoted_printable.h"
#include "pim/contact_file.h"
#include "pim/vcard_file_property.h"
#include "pim/vcard_key.h"
#include "pim/vcard_rewrite.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/text_compare.h"
#include "store/property_map.h"

namespace qx {

using platform::EqualsNoCase;
using platform::StartsWithNoCase;

namespace {

constexpr size_t kSaveIdLimit = 1023;
constexpr size_t kNoteLimit = 2047;

bool IsLeftOut(std::string_view key) {
  return StartsWithNoCase(key, "PHOTO;") || StartsWithNoCase(key, "NOTE;") ||
         EqualsNoCase(key, "MODIFIEDDATE") || EqualsNoCase(key, "VERSION") ||
         EqualsNoCase(key, "REV");
}

std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

// At most `limit` bytes of quoted-printable text, never ending inside an
// "=XX".
std::string_view CutEncoded(std::string_view encoded, size_t limit) {
  if (encoded.size() <= limit) return encoded;
  size_t end = limit;
  const size_t escape = encoded.rfind('=', end - 1);
  if (escape != std::string_view::npos && escape + 3 > end) end = escape;
  return encoded.substr(0, end);
}

std::string CardText(pugi::xml_node element, const std::string& note, const std::string& photo) {
  std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
  std::string revision;
  for (const pugi::xml_attribute attribute : element.attributes()) {
    const std::string key = KeyOfAttributeName(attribute.name());
    if (EqualsNoCase(key, "REV")) revision = attribute.value();
    if (IsLeftOut(key)) continue;
    text += key + ':' + OneLine(attribute.value()) + "\r\n";
  }
  if (!note.empty()) {
    const std::string encoded = EncodeQuotedPrintable(note);
    text += "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:";
    text += CutEncoded(encoded, kNoteLimit);
    text += "\r\n";
  }
  if (!photo.empty()) text += "PHOTO;TYPE=JPEG;ENCODING=BASE64:" + photo + "\r\n\r\n";
  text += "REV:" + OneLine(revision) + "\r\nEND:VCARD\r\n";
  return text;
}

bool WriteCard(const std::string& path, const std::string& text) {
  platform::FileReplacement replacement(path, RewriteTemporaryPath(path),
                                        platform::FileKind::kOther);
  if (!replacement.valid()) return false;
  if (replacement.Write(text) && replacement.Commit()) return true;
  replacement.Abandon();
  return false;
}

}  // namespace

uint32_t Contact_Save(const ItemRef& item, bool* written) {
  if (written != nullptr) *written = false;
  if (!item.entry) {
    platform::DiagPrintf(
        "The Index node we are attempting to save is not initialized or does not exist\n");
    return 0;
  }
  if (item.folder_directory[0] != '\0' && !platform::IsDirectory(item.folder_directory)) {
    platform::CreateDirectory(item.folder_directory);
  }
  const std::optional<std::string> path = ContactFilePath(item, kSaveIdLimit);
  const std::string shown =
      path.value_or(JoinStorePath(item.folder_directory, item.entry.attribute("ID").value()));
  if (!path) {
    platform::DiagPrintf("Unable to save contact to %s\n", shown.c_str());
    return 1;
  }
  const std::string note = Contact_ReadFileProperty(*path, "PR_NOTE", kValueText).value_or("");
  const std::string photo =
      Contact_ReadFileProperty(*path, "PR_ATTACHMENT_CONTACTPHOTO", kPhotoWithFolding).value_or("");
  if (!WriteCard(*path, CardText(item.entry, note, photo))) {
    platform::DiagPrintf("Unable to save contact to %s\n", shown.c_str());
    return 1;
  }
  if (written != nullptr) *written = true;
  return 1;
}

bool DeleteContactFile(const ItemRef& item, std::string_view name) {
  if (!IsPlainFileName(name) || item.folder_directory[0] == '\0') return false;
  return platform::DeleteFile(JoinStorePath(item.folder_directory, name));
}

uint32_t Contact_Delete(const ItemRef& item, std::string_view name) {
  if (!item.entry && name.empty()) return 0;
  if (!name.empty()) DeleteContactFile(item, name);
  if (item.entry) item.entry.parent().remove_child(item.entry);
  return 1;
}

}  // namespace qx
