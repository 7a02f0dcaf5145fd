#pragma once
// The special folders of a mailbox ("Inbox", "Sent Items", ...): clients
// create and ask for them in any case, but the top folder's child list and
// its directories carry one spelling.

#include <string_view>

#include "qxstore.h"

namespace qx {

// The canonical spelling of a special folder name given in any case, or
// null when `name` is not one.
const char* CanonicalSpecialFolderName(std::string_view name);

// At the top level of a mailbox (IsTopLevelParent), replaces a special name
// in the record's name field by its canonical spelling. Other records are
// left as they are.
void CanonicaliseSpecialFolderName(STOREFOLDER* folder);

}  // namespace qx
