#include "shares/share_remove.h"

#include <string>

#include "xml/xml_document.h"
#include "platform/file.h"
#include "shares/security_files.h"
#include "shares/share_documents.h"

namespace qx {

namespace {

// Removes the SHARE element of the resource; false when the list does not
// load or has none.
bool RemoveShareEntry(const std::string& share_list_path, const std::string& resource) {
  XmlDocument shares = LoadShareDocument(share_list_path);
  if (!shares) return false;
  const std::string query = "//SHARES/SHARE[RESOURCE=" + XpathLiteral(resource) + "]";
  pugi::xml_node share = SelectSingleNode(shares.DocumentElement(), query.c_str());
  if (!share || !RemoveChild(shares.DocumentElement(), share)) return false;
  SaveOrDeleteShareDocument(shares, share_list_path);
  return true;
}

bool RemoveAccessList(const std::string& access_list_path, const std::string& share_key,
                      const char* postoffice) {
  XmlDocument access = LoadShareDocument(access_list_path);
  if (!access) return false;
  for (const pugi::xpath_node& item : SelectNodes(access.DocumentElement(), "//LIST/ITEM")) {
    if (const char* user = AttributeValue(item.node(), "USER")) {
      RemoveSecurityEntry(user, share_key, postoffice);
    }
  }
  platform::DeleteFile(access_list_path);
  return true;
}

}  // namespace

uint32_t Share_Remove(char* resource, uint32_t resource_size, uint32_t remove_access,
                      const char* mailbox, const char* postoffice) {
  if (resource == nullptr || resource_size == 0 || mailbox == nullptr || postoffice == nullptr) {
    return 0;
  }
  const std::string share_list_path = ShareListPath(mailbox, postoffice);
  NormaliseShareResource(resource, resource_size);
  const std::string normalised = resource;
  const std::string share_key = ShareKey(postoffice, mailbox, normalised);
  const std::string access_list_path = AccessListPath(mailbox, postoffice, normalised);
  if (!RemoveShareEntry(share_list_path, normalised)) return 0;
  if (remove_access == 0) return 1;
  return RemoveAccessList(access_list_path, share_key, postoffice) ? 1 : 0;
}

}  // namespace qx
