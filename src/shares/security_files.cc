#include "shares/security_files.h"

#include "frame/registry_readers.h"
#include "frame/store_paths.h"
#include "xml/xml_document.h"
#include "platform/file.h"
#include "shares/share_documents.h"

namespace qx {

namespace {

std::string ConfigurationDirectory() {
  char directory[kStorePathSize];
  ReadRegistryString(kSettingsRoot, "Configuration Directory", directory, sizeof directory);
  return directory;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/") == std::string_view::npos;
}

void CreateDirectoryWhenMissing(const std::string& directory) {
  if (!DirectoryExists(directory.c_str())) platform::CreateDirectory(directory);
}

}  // namespace

std::string GranteeMailboxName(std::string_view user) {
  size_t slash = user.find('/');
  return std::string(slash == std::string_view::npos ? user : user.substr(slash + 1));
}

std::string SecurityFilePath(std::string_view user, const char* owner_postoffice) {
  const std::string configuration = ConfigurationDirectory();
  const std::string name = GranteeMailboxName(user);
  if (configuration.empty() || !IsPlainName(name) || !IsPlainName(owner_postoffice)) return {};
  const std::string postoffices = JoinStorePath(configuration, "Postoffices");
  const std::string postoffice = JoinStorePath(postoffices, owner_postoffice);
  const std::string security = JoinStorePath(postoffice, "Security");
  std::string path = JoinStorePathWithin(security, name + ".xml", kStorePathSize);
  if (path.empty()) return {};
  CreateDirectoryWhenMissing(postoffices);
  CreateDirectoryWhenMissing(postoffice);
  CreateDirectoryWhenMissing(security);
  return path;
}

uint32_t RemoveSecurityEntry(std::string_view user, std::string_view share_key,
                             const char* owner_postoffice) {
  const std::string path = SecurityFilePath(user, owner_postoffice);
  if (path.empty()) return 0;
  XmlDocument document = LoadShareDocument(path);
  if (!document) return 0;
  const std::string query = "//LIST/ITEM[@URI=" + XpathLiteral(share_key) + "]";
  pugi::xml_node entry = SelectSingleNode(document.DocumentElement(), query.c_str());
  if (!entry || !RemoveChild(document.DocumentElement(), entry)) return 0;
  SaveOrDeleteShareDocument(document, path);
  return 1;
}

}  // namespace qx
