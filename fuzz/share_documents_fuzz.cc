// Arbitrary bytes as a mailbox's share list, the shared folder's access
// list and a grantee's security file ("shares\0access\0security"), then all
// of the mailbox's shares withdrawn as when it is deleted. Whatever the
// files held, what is left of each must load, and a share the list named
// plainly (one RESOURCE, already in its normal form) must be gone from it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "shares/mailbox_shares.h"
#include "shares/share_documents.h"
#include "xml/xml_document.h"

namespace {

std::string g_mailbox;
std::string g_security;

std::string SharesPath() { return g_mailbox + "/_Shares.xml"; }

// The resources of the list's top-level shares that name them plainly.
std::vector<std::string> PlainResources(const qx::XmlDocument& shares) {
  std::vector<std::string> resources;
  const pugi::xml_node root = shares.DocumentElement();
  if (std::string_view(root.name()) != "SHARES") return resources;
  for (pugi::xml_node share : root.children("SHARE")) {
    if (share.child("RESOURCE").next_sibling("RESOURCE")) return {};
    const std::string resource = qx::NodeText(share.child("RESOURCE"));
    if (resource.size() < qx::kShareResourceSize &&
        qx::NormalisedShareResource(resource) == resource) {
      resources.push_back(resource);
    }
  }
  return resources;
}

// Whether any text of the document holds "..": such a resource would reach
// outside the mailbox, and a fuzzer must not delete files there.
bool HoldsParentStep(pugi::xml_node node) {
  if (std::string_view(node.value()).find("..") != std::string_view::npos) return true;
  for (pugi::xml_node child : node.children()) {
    if (HoldsParentStep(child)) return true;
  }
  return false;
}

// A file the withdrawal rewrote must load.
void CheckRewritten(const std::string& path, std::string_view before) {
  const std::string now = qx::fuzz::ReadBytes(path);
  if (now.empty() || now == before) return;
  if (!qx::LoadShareDocument(path)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  qx::fuzz::SetStoreSetting("Configuration Directory", qx::fuzz::ScratchRoot());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 3);
  qx::fuzz::EmptyDirectory(qx::fuzz::MailRoot());
  g_mailbox = qx::fuzz::MailRoot() + "/MAIN/MAILROOT/anne";
  g_security = qx::fuzz::ScratchRoot() + "/Postoffices/MAIN/Security/bob.xml";
  qx::fuzz::MakeDirectories(g_mailbox + "/Inbox");
  qx::fuzz::MakeDirectories(qx::fuzz::ScratchRoot() + "/Postoffices/MAIN/Security");
  qx::fuzz::WriteBytes(SharesPath(), parts[0]);
  qx::fuzz::WriteBytes(g_mailbox + "/Inbox/_Access.XML", parts[1]);
  qx::fuzz::WriteBytes(g_security, parts[2]);

  const qx::XmlDocument shares = qx::LoadShareDocument(SharesPath());
  if (shares && HoldsParentStep(shares.DocumentElement())) return 0;
  const std::vector<std::string> resources = shares ? PlainResources(shares) : std::vector<std::string>();

  if (qx::RemoveMailboxShares("anne", "MAIN") != (shares ? 1u : 0u)) __builtin_trap();
  CheckRewritten(SharesPath(), parts[0]);
  CheckRewritten(g_mailbox + "/Inbox/_Access.XML", parts[1]);
  CheckRewritten(g_security, parts[2]);
  if (resources.empty() || qx::fuzz::ReadBytes(SharesPath()).empty()) return 0;
  const qx::XmlDocument left = qx::LoadShareDocument(SharesPath());
  for (pugi::xml_node share : left.DocumentElement().children("SHARE")) {
    for (const std::string& resource : resources) {
      if (qx::NodeText(share.child("RESOURCE")) == resource) __builtin_trap();
    }
  }
  return 0;
}
