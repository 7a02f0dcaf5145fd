// libFuzzer target: arbitrary bytes as a contact's vCard file through the
// line reader (a scan into the contact index), the file-only property
// reader, the line rewrite and the save. The index must always parse; a
// rewrite must keep the file from the end of the card on byte for byte; a
// saved card must read back into the same attributes.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "fuzz_support.h"
#include "message/quoted_printable.h"
#include "pim/contact_save.h"
#include "pim/contact_scan.h"
#include "pim/vcard_file_property.h"
#include "pim/vcard_rewrite.h"
#include "platform/text_compare.h"
#include "store/item_kinds.h"

namespace {

using qx::fuzz::ReadBytes;
using qx::fuzz::WriteBytes;

std::string g_folder;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The contact index of the folder, which must parse.
void LoadIndex(pugi::xml_document* index) {
  Check(qx::ScanContacts(g_folder, true, qx::kContactScanBlockHeld) == 1);
  Check(static_cast<bool>(index->load_file((g_folder + "/_index.xml").c_str())));
}

// The attributes a save writes back as lines of their own.
std::map<std::string, std::string> SavedAttributes(pugi::xml_node element) {
  std::map<std::string, std::string> attributes;
  for (pugi::xml_attribute attribute : element.attributes()) {
    const std::string_view name = attribute.name();
    if (qx::platform::StartsWithNoCase(name, "NOTE_") || qx::platform::StartsWithNoCase(name, "PHOTO_") ||
        qx::platform::EqualsNoCase(name, "REV") || qx::platform::EqualsNoCase(name, "VERSION") ||
        qx::platform::EqualsNoCase(name, "MODIFIEDDATE") || name == "ID") {
      continue;
    }
    attributes[std::string(name)] = attribute.value();
  }
  return attributes;
}

// What a rewrite never touches: the file from its first "END:VCARD" line or
// empty line on.
std::string_view Tail(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    const std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at + 1);
    if (line.front() == '\r' || line.front() == '\n' || qx::platform::StartsWithNoCase(line, "END:VCARD")) {
      return text.substr(at);
    }
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_folder = qx::fuzz::ScratchRoot() + "/Contacts";
  qx::fuzz::MakeDirectories(g_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = g_folder + "/a.vcf";
  WriteBytes(path, bytes);

  pugi::xml_document index;
  LoadIndex(&index);
  for (const char* name : {"PR_NOTE", "NOTE", "PHOTO", "PR_BNP_VCARD", "TEL_WORK_VOICE"}) {
    for (uint32_t type : {8u, 14u, qx::kPhotoWithFolding}) Check(qx::Contact_ReadFileProperty(path, name, type).has_value());
  }

  // The property writer: one line replaced, the end of the card kept.
  const std::string value = qx::EncodeQuotedPrintable(bytes.substr(0, 32));
  Check(qx::Contact_RewriteFileLine(path, "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8", value,
                                    size % 2 == 0 ? qx::LineMatch::kKey : qx::LineMatch::kProperty) == 1);
  const std::string rewritten = ReadBytes(path);
  Check(Tail(rewritten) == Tail(bytes) || Tail(bytes).empty());
  Check(rewritten.find("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:" + value + "\r\n") != std::string::npos);

  // The save writes what the element holds, which reads back the same.
  LoadIndex(&index);
  const pugi::xml_node element = index.child("BASEELEMENT").child("ELEMENT");
  Check(static_cast<bool>(element));
  const std::map<std::string, std::string> before = SavedAttributes(element);
  qx::ItemRef item;
  item.entry = element;
  item.folder_directory = g_folder.c_str();
  item.folder_type = 1;
  bool written = false;
  Check(qx::Contact_Save(item, &written) == 1 && written);
  LoadIndex(&index);
  Check(SavedAttributes(index.child("BASEELEMENT").child("ELEMENT")) == before);
  return 0;
}
