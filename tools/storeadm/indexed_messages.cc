#include "indexed_messages.h"

#include <cstdlib>

#include "folder/folder_files.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "report.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {

// A folder nothing has opened yet has no index: that is no error to report.
std::optional<XmlDocument> LoadIndex(const std::string& folder_dir) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  bool missing = false;
  if (!document ||
      !LoadDocumentFileIfPresent(document, FolderFilePath(folder_dir, kIndexFileName), &missing)) {
    return std::nullopt;
  }
  return document;
}

}  // namespace

bool IsUidReference(const std::string& text) {
  return !text.empty() && text.size() <= 10 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::optional<std::vector<IndexedMessage>> ReadIndexedMessages(const std::string& folder_dir) {
  std::optional<XmlDocument> document = LoadIndex(folder_dir);
  if (!document) return std::nullopt;
  std::vector<IndexedMessage> messages;
  pugi::xml_node root = document->DocumentElement();
  for (pugi::xml_node entry : root.children(kEntryElement)) {
    IndexedMessage message;
    message.file = entry.attribute(kIdAttribute).value();
    message.uid = static_cast<uint32_t>(entry.attribute(kUidAttribute).as_ullong());
    message.flags = GetChildText(entry, kFlagStatusElement);
    message.modified = GetChildText(entry, kModifiedDateElement);
    message.subject = GetChildText(entry, kSubjectElement);
    message.date = GetChildText(entry, kMessageDateElement);
    message.size = static_cast<uint32_t>(std::strtoul(GetChildText(entry, kSizeElement).c_str(),
                                                      nullptr, 10));
    messages.push_back(std::move(message));
  }
  return messages;
}

uint32_t ReadLastUid(const std::string& folder_dir) {
  std::optional<XmlDocument> document = LoadIndex(folder_dir);
  return document ? DocumentLastUid(*document) : 0;
}

std::optional<IndexedMessage> FindIndexedMessage(const std::string& folder_dir,
                                                 const std::string& reference) {
  std::optional<std::vector<IndexedMessage>> messages = ReadIndexedMessages(folder_dir);
  if (!messages) {
    ReportError("the index of %s does not load", ShownPath(folder_dir).c_str());
    return std::nullopt;
  }
  const bool by_uid = IsUidReference(reference);
  const uint32_t uid = by_uid ? static_cast<uint32_t>(std::strtoul(reference.c_str(), nullptr, 10))
                              : 0;
  for (const IndexedMessage& message : *messages) {
    if (by_uid ? message.uid == uid : message.file == reference) return message;
  }
  ReportError("no message %s%s in %s", by_uid ? "with UID " : "", reference.c_str(),
              ShownPath(folder_dir).c_str());
  return std::nullopt;
}

}  // namespace qx::storeadm
