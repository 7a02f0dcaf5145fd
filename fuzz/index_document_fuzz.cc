// Arbitrary bytes as a folder's `_index.xml`, read the way the store reads
// one: the load, LASTUID, the status count, each entry's fields found by its
// ID and by a field's value; then merged by the scan with the two message
// files the folder holds. Whatever the file held, the scan must leave an
// index that loads and lists both messages and nothing else.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "index/folder_status.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_scan.h"
#include "index/item_select.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "platform/text_compare.h"

namespace {

using qx::fuzz::WriteBytes;

constexpr std::array<std::pair<const char*, const char*>, 2> kMessages = {{
    {"A.MAI",
     "From: anne@example.com\r\nTo: bob@example.com\r\nSubject: first\r\n"
     "Date: Tue, 1 Mar 2022 10:00:00 +0000\r\n\r\nbody one\r\n"},
    {"B.MAI",
     "From: carl@example.com\r\nTo: anne@example.com\r\nSubject: second\r\n"
     "Date: Wed, 2 Mar 2022 11:00:00 +0000\r\n\r\nbody two\r\n"},
}};

std::string g_folder;

void ReadEntries(const qx::XmlDocument& document) {
  std::array<uint32_t, qx::kFolderStatusFields> counts{};
  if (qx::ComputeFolderStatus(document, counts)) {
    const uint32_t entries = counts[qx::kStatusEntries];
    for (size_t field : {qx::kStatusDeleted, qx::kStatusAnswered, qx::kStatusFlagged,
                         qx::kStatusSeen, qx::kStatusRecent}) {
      if (counts[field] > entries) __builtin_trap();
    }
  }
  qx::DocumentLastUid(document);

  StoreIndex* index = qx::CreateStoreIndex();
  if (index == nullptr) __builtin_trap();
  qx::HoldDocument(index, document);
  const pugi::xml_node root = document.DocumentElement();
  const bool index_root = std::string_view(root.name()) == qx::kRootElement;
  for (pugi::xml_node entry = root.first_child(); entry; entry = entry.next_sibling()) {
    const char* id = entry.attribute(qx::kIdAttribute).value();
    qx::GetElementNumber(entry.child(qx::kSizeElement));
    if (!index_root || entry.type() != pugi::node_element || *id == '\0' ||
        std::string_view(entry.name()) != qx::kEntryElement) {
      continue;
    }
    qx::MessageHeaders record;
    if (qx::GetStoreItemByMessageId(index, id, 0, &record) != 1) __builtin_trap();
    pugi::xml_node found;
    if (qx::SelectEntryById(index, &found, id) != 1) __builtin_trap();
    if (std::string_view(found.attribute(qx::kIdAttribute).value()) != id) __builtin_trap();
    const std::string subject = qx::GetChildText(entry, qx::kSubjectElement);
    qx::SelectEntryByField(index, &found, qx::kSubjectElement, subject, true);
    qx::SelectEntryByField(index, &found, qx::kSubjectElement, subject, false);
  }
  qx::ReleaseStoreIndex(index);
  qx::DestroyStoreIndex(index);
}

// The scanned index names each message file once, by ID, and nothing else.
void CheckScannedIndex() {
  qx::XmlDocument document = qx::CreateIndexDocument("");
  if (!qx::LoadDocumentFile(document, g_folder + "/_index.xml")) __builtin_trap();
  std::array<int, kMessages.size()> seen{};
  for (pugi::xml_node entry : document.DocumentElement().children(qx::kEntryElement)) {
    const std::string_view id = entry.attribute(qx::kIdAttribute).value();
    size_t which = 0;
    while (which < kMessages.size() && !qx::platform::EqualsNoCase(id, kMessages[which].first)) {
      ++which;
    }
    if (which == kMessages.size()) __builtin_trap();
    ++seen[which];
  }
  for (int count : seen) {
    if (count != 1) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_folder = qx::fuzz::ScratchRoot() + "/folder";
  qx::fuzz::MakeDirectories(g_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::fuzz::EmptyDirectory(g_folder);
  for (const auto& [name, text] : kMessages) WriteBytes(g_folder + "/" + name, text);
  WriteBytes(g_folder + "/_index.xml", qx::fuzz::AsText(data, size));

  qx::XmlDocument document = qx::CreateIndexDocument("");
  if (qx::LoadDocumentFile(document, g_folder + "/_index.xml")) ReadEntries(document);

  if (qx::ScanFolders(g_folder.c_str(), false, false) != 1) __builtin_trap();
  CheckScannedIndex();
  return 0;
}
