#pragma once
// Withdrawing one share of a mailbox: its entry in the mailbox's share list
// and, on request, the shared folder's access list and every grantee's
// security entry for it. Folder removal does this before it deletes a
// shared folder.

#include <cstdint>

namespace qx {

// Withdraws the share of `resource`, a caller's buffer of `resource_size`
// bytes that is normalised in place ('\' to '/', a leading '/'). The SHARE
// element is removed from the share list, which is deleted when it was the
// last. With remove_access nonzero the access list's grantees lose their
// security entries and the access list is deleted. Returns 0 when the share
// list does not load or does not list the resource, or (with remove_access)
// when the access list does not load; the share entry is removed even then.
// Otherwise 1.
uint32_t Share_Remove(char* resource, uint32_t resource_size, uint32_t remove_access,
                      const char* mailbox, const char* postoffice);

}  // namespace qx
