#pragma once
// The security files of grantees: for each mailbox that was granted shares
// of a postoffice's mailboxes, a list of the shares it may use,
//   <configuration directory>\Postoffices\<owner's postoffice>\Security\<mailbox>.xml
//   <LIST><ITEM URI="SF:Company/sales/Inbox/Projects"><ACL>...</ACL></ITEM>...</LIST>
// where the configuration directory is the "Configuration Directory"
// setting. "{$EVERYONE}" stands for every mailbox of the postoffice.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// The mailbox part of a grantee's USER value ("Company/anne" gives "anne",
// "Company/{$EVERYONE}" gives "{$EVERYONE}"): the text after its first '/',
// or all of it when there is none.
std::string GranteeMailboxName(std::string_view user);

// The grantee's security file. Creates "Postoffices", its postoffice and
// "Security" below the configuration directory when missing. Empty, and
// nothing created, when no configuration directory is set or the grantee's
// name could reach outside that directory (a separator, "." or "..").
std::string SecurityFilePath(std::string_view user, const char* owner_postoffice);

// Removes the entry for `share_key` from the grantee's security file, and
// the file itself when that was its last entry. 1 when an entry was
// removed; 0 when the file does not load or holds no entry for the share.
uint32_t RemoveSecurityEntry(std::string_view user, std::string_view share_key,
                             const char* owner_postoffice);

}  // namespace qx
