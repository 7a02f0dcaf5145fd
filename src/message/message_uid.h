#pragma once
// Message UIDs: the "X-UID:" header the store writes into message files, the
// "UID Branding Enabled" setting that switches that off, the rule that gives
// a message its UID when its index entry is built, and the two header
// rewrites (set the X-UID line; strip the store's own headers).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// "UID Branding Enabled" under the settings root, 1 when absent. Read once
// and kept for the life of the process.
bool UidBrandingEnabled();
// Tests only: the next UidBrandingEnabled() reads the registry again.
void ForgetUidBrandingSetting();

// "X-UID: %u.%u\r\n" (validity, UID), or "X-UID: %u\r\n" when the folder's
// UID validity is 0.
std::string FormatUidHeader(uint32_t uid_validity, uint32_t uid);

// The UID in an X-UID value ("<validity>.<uid>") when its validity equals
// `uid_validity`. A value without a dot, as the store writes for validity 0,
// is not read back.
std::optional<uint32_t> UidFromHeaderValue(std::string_view value, uint32_t uid_validity);

struct UidAssignment {
  uint32_t uid = 0;
  bool rewrite_file = false;  // the file's X-UID line must be set to uid
  // A new UID was needed but the counter is at 0xFFFFFFFF: UIDs never wrap,
  // so none was handed out (uid is 0, the counter unchanged).
  bool exhausted = false;
};

// The UID of a message whose entry is being built, from the UID read from
// its file. `last_uid` is the folder's last-UID counter and is advanced when
// a new UID is handed out. `renumber` is set when the index is rebuilt from
// scratch. A UID above the counter is never trusted: it would collide with
// UIDs still to be handed out.
UidAssignment AssignMessageUid(uint32_t uid_validity, bool renumber, uint32_t uid_from_file,
                               uint32_t* last_uid);

// Sets the X-UID line of `folder_dir\file_name` (replacing any X-UID line, or
// adding one at the end of the header block) and, when `flags` is given and
// the file has no X-QXTempFlags line, adds "X-QXTempFlags: <flags>". Returns
// 1 always; with UID branding off the file is not touched. Failures print a
// line and leave the message as it was.
uint32_t WriteMessageUid(std::string_view folder_dir, std::string_view file_name,
                         uint32_t uid_validity, uint32_t uid,
                         std::optional<std::string_view> flags = std::nullopt);

// Removes every "X-UID: " and "X-QXTempFlags: " line from the header block of
// `folder_dir\file_name`; the file is replaced only when a line was removed.
// Returns 1 always; with UID branding off the file is not touched.
uint32_t StripStoreHeaders(std::string_view folder_dir, std::string_view file_name);

}  // namespace qx
