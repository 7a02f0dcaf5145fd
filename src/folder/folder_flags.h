#pragma once
// The flag files through which other processes tell the store that a folder
// changed ("_CHANGE.DTY", "_FOLDER.DTY" in the folder directory) or that
// mail was delivered ("_<N>.NEW" in the mailbox directory, N growing with
// each delivery), read and written here. Only their presence counts; a
// consumer deletes them. The store raises only the change flag.

#include <cstdint>
#include <string_view>

#include "folder/folder_files.h"

namespace qx {

// Looks for a flag file in a folder directory: kind kChanged "_CHANGE.DTY",
// kFolder "_FOLDER.DTY", kAnyDirty any "_*.DTY" (kIndexCheck names no flag
// and finds none). `directory_ends_with_separator` says that the directory
// text already ends with '\' or '/'. With consume, every file found is
// deleted. 1 when a flag file was found; when none was, 1 if the folder has
// no "_index.xml" (a folder never indexed counts as changed), else 0.
uint32_t CheckFolderFlags(std::string_view folder_directory, bool directory_ends_with_separator,
                          FolderFlag kind, bool consume);

// Consumes the delivery flags of a mailbox directory: every "_*.NEW" file is
// deleted, and the result is the highest N among them (the decimal text
// between the leading "_" and the first "."), 0 when there are none.
int32_t ConsumeDeliveryFlags(std::string_view mailbox_directory);

// The same for the mailbox directory "R\P\MAILROOT\M" of a postoffice and
// mailbox on the mail root.
int32_t ConsumeDeliveryFlags(const char* postoffice, const char* mailbox);

// The text of the change flag file.
inline constexpr const char* kChangeFlagText =
    "This file is a flag file that denotes that this folder has been changed";

// Writes the change flag "_CHANGE.DTY" into the folder directory, so the
// next open rescans the folder. Always 1, also when it cannot be written.
uint32_t MarkFolderChanged(const char* folder_directory);

// The highest N among the delivery flags of a mailbox directory, read as
// ConsumeDeliveryFlags reads it, 0 when there are none; nothing is deleted.
int32_t NewestDeliveryFlag(std::string_view mailbox_directory);

// What the server's delivery agent does after a delivery: creates the flag
// "_<N+1>.NEW" for the newest N. A flag that another delivery creates at the
// same moment keeps its number and the next one is tried, so every delivery
// leaves a flag of its own. False when a flag cannot be created.
bool RaiseDeliveryFlag(std::string_view mailbox_directory);

}  // namespace qx
