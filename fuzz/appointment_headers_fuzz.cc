// Arbitrary bytes as an appointment message of a Calendar folder: indexed
// into an element (the header reader, the time texts, the dates), its
// start and finish read again, then its headers rewritten from the element.
// The rewrite must keep everything after the header block byte for byte,
// and indexing the rewritten message must give the same start and finish,
// since they are written back as time texts that read exactly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "index/index_document.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_index.h"
#include "pim/appointment_records.h"
#include "pim/appointment_save.h"
#include "store/item_kinds.h"
#include "xml/xml_document.h"

namespace {

using qx::fuzz::ReadBytes;

constexpr char kMessage[] = "FUZZ.MAI";

std::string g_calendar;

// What follows the line that ends the header block (one beginning with CR
// or LF), the part no rewrite may change; empty without such a line.
std::string_view AfterHeaderBlock(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (text[at] == '\r' || text[at] == '\n') return text.substr(next);
    at = next;
  }
  return {};
}

std::string Attribute(pugi::xml_node element, const char* name) {
  const char* value = qx::AttributeValue(element, name);
  return value == nullptr ? "(none)" : value;
}

pugi::xml_node Index(const qx::XmlDocument& document) {
  const APPOINTMENTRECORD record = qx::MakeAppointmentRecord("PO", "FUZZ", {1300179600, 1300183200, kMessage});
  return qx::Appointment_IndexMessage(document, document.DocumentElement(), record);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_calendar = qx::fuzz::MailRoot() + "/PO/MAILROOT/FUZZ/Calendar";
  qx::fuzz::MakeDirectories(g_calendar);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = qx::fuzz::AsText(data, size);
  const std::string path = g_calendar + "/" + kMessage;
  qx::fuzz::WriteBytes(path, bytes);

  const qx::XmlDocument document = qx::CreateIndexDocument("");
  if (!document || !qx::InitializeIndexDocument(document)) __builtin_trap();
  const pugi::xml_node element = Index(document);
  if (!element || Attribute(element, "ID") != kMessage) __builtin_trap();
  qx::ReadAppointmentTimes(path);

  qx::ItemRef item;
  item.entry = element;
  item.folder_directory = g_calendar.c_str();
  item.folder_type = 2;
  item.postoffice = "PO";
  item.mailbox = "FUZZ";
  item.folder = "Calendar";
  if (!qx::Appointment_RewriteHeaders(item)) __builtin_trap();
  const std::string rewritten = ReadBytes(path);
  if (AfterHeaderBlock(rewritten) != AfterHeaderBlock(bytes)) __builtin_trap();

  const pugi::xml_node again = Index(document);
  if (!again) __builtin_trap();
  for (const char* time : {qx::kStartTimeAttribute, qx::kFinishTimeAttribute}) {
    if (Attribute(again, time) != Attribute(element, time)) __builtin_trap();
  }
  return 0;
}
