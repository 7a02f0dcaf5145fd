#include "shares/share_documents.h"

#include <cstring>

#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "frame/bounded_text.h"
#include "frame/store_roots.h"
#include "index/index_document.h"
#include "platform/text_compare.h"
#include "platform/diagnostics.h"
#include "platform/file.h"

namespace qx {

using platform::StartsWithNoCase;

namespace {

// The directory of an access list, or empty when the names lead out of the
// store.
std::string AccessListDirectory(const char* mailbox, const char* postoffice,
                                std::string_view resource) {
  char base[kStorePathSize];
  const std::string resource_text(resource);
  if (!AcceptStoreNames(postoffice, mailbox, resource_text.c_str()) ||
      GetPostofficeDirectory(base, sizeof base, postoffice) == 0) {
    return {};
  }
  std::string_view inner = resource;
  if (!inner.empty() && (inner[0] == '/' || inner[0] == '\\')) inner.remove_prefix(1);
  const std::string directory =
      StartsWithNoCase(inner, "$FILEROOT")
          ? std::string(base) + "\\FILEROOT\\" + mailbox + std::string(inner.substr(9))
          : std::string(base) + "\\MAILROOT\\" + mailbox + resource_text;
  return IsInsideStore(directory, postoffice) ? directory : std::string();
}

}  // namespace

std::string ShareListPath(const char* mailbox, const char* postoffice) {
  const std::string mailbox_directory = PostofficeMailboxDirectory(postoffice, mailbox);
  if (mailbox_directory.empty()) return {};
  return JoinStorePathWithin(mailbox_directory, kShareListFileName, kStorePathSize);
}

std::string NormalisedShareResource(std::string_view resource) {
  std::string text(resource);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  if (text.empty() || text[0] != '/') text.insert(0, "/");
  return text;
}

void NormaliseShareResource(char* resource, size_t size) {
  if (resource == nullptr || size == 0) return;
  std::string text = NormalisedShareResource(std::string_view(resource, strnlen(resource, size)));
  CopyBounded(resource, text.c_str(), size);
}

std::string ShareKey(const char* postoffice, const char* mailbox, std::string_view resource) {
  return "SF:" + std::string(postoffice) + "/" + mailbox + std::string(resource);
}

std::string AccessListPath(const char* mailbox, const char* postoffice, std::string_view resource) {
  const std::string directory = AccessListDirectory(mailbox, postoffice, resource);
  if (directory.empty()) return {};
  return JoinStorePathWithin(directory, kAccessListFileName, kStorePathSize);
}

XmlDocument LoadShareDocument(std::string_view path) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return document;
  bool missing = false;
  if (path.empty() || !LoadDocumentFileIfPresent(document, path, &missing)) {
    if (!missing) platform::DiagPrintf("General error loading index file\n");
    return XmlDocument();
  }
  return document;
}

bool SaveOrDeleteShareDocument(const XmlDocument& document, std::string_view path) {
  if (document.DocumentElement().first_child()) return SaveDocumentFile(document, path) == 1;
  return platform::DeleteFile(path);
}

std::string XpathLiteral(std::string_view value) {
  if (value.find('\'') == std::string_view::npos) return "'" + std::string(value) + "'";
  if (value.find('"') == std::string_view::npos) return "\"" + std::string(value) + "\"";
  // Both quotes: pieces without a single quote joined with "'".
  std::string text = "concat(";
  size_t start = 0;
  for (size_t quote; (quote = value.find('\'', start)) != std::string_view::npos;
       start = quote + 1) {
    text += "'" + std::string(value.substr(start, quote - start)) + "', \"'\", ";
  }
  return text + "'" + std::string(value.substr(start)) + "')";
}

}  // namespace qx
