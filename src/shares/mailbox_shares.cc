#include "shares/mailbox_shares.h"

#include <string>
#include <vector>

#include "frame/bounded_text.h"
#include "xml/xml_document.h"
#include "shares/share_documents.h"
#include "shares/share_remove.h"

namespace qx {

uint32_t RemoveMailboxShares(const char* mailbox, const char* postoffice) {
  if (mailbox == nullptr || postoffice == nullptr) return 0;
  XmlDocument shares = LoadShareDocument(ShareListPath(mailbox, postoffice));
  if (!shares) return 0;
  // The resources are read from this copy of the list; each removal loads
  // and rewrites the file on its own.
  for (const pugi::xpath_node& share : SelectNodes(shares.DocumentElement(), "//SHARES/SHARE")) {
    char resource[kShareResourceSize];
    CopyBounded(resource, NodeText(share.node().child("RESOURCE")).c_str(), sizeof resource);
    Share_Remove(resource, sizeof resource, 1, mailbox, postoffice);
  }
  return 1;
}

}  // namespace qx
