#pragma once
// The message BLOB record that names one file of a store folder, as cat and
// put fill it from their arguments.

#include <string>

#include "qxstore.h"

namespace qx::storeadm {

// The folder text as the message BLOB functions take it: texts that begin
// with a separator or with "Public" are kept ("\Inbox", "Public/Sales");
// any other gets the leading '\' those functions expect ("Inbox" gives
// "\Inbox", "" the mailbox directory "\").
std::string LegacyFolderText(const std::string& folder);

// Fills the record's names (postoffice, mailbox, folder text, file name)
// and clears the rest. False, naming the argument in *error, when one does
// not fit its field.
bool FillMessageBlobRecord(MESSAGEBLOBRECORD* record, const std::string& postoffice,
                           const std::string& mailbox, const std::string& folder,
                           const std::string& file_name, std::string* error);

}  // namespace qx::storeadm
