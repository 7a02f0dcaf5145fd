#include "mailbox_listing.h"

#include <algorithm>

#include "frame/number_text.h"
#include "frame/store_paths.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qxaipo {

namespace {

constexpr size_t kMailboxNameLimit = 63;
constexpr const char* kQuotaFileName = "\\_QUOTA.TXT";

}  // namespace

std::string MailrootDirectory(const std::string& postoffice) {
  // The store's own settings: this library shares them with the store that
  // loaded it (libqxcore.so.1), so both resolve a postoffice alike.
  char directory[qx::kStorePathSize];
  if (qx::GetPostofficeDirectory(directory, sizeof directory, postoffice.c_str()) == 0) return "";
  return std::string(directory) + "\\MAILROOT";
}

std::vector<std::string> ListMailboxes(const std::string& mailroot) {
  std::vector<std::string> names;
  for (qx::platform::Listing listing = qx::platform::Listing::Open(mailroot + "\\*.*");
       listing.valid(); listing.Next()) {
    const qx::platform::FindData& entry = listing.current();
    if ((entry.attributes & qx::platform::kAttributeDirectory) == 0) continue;
    if (entry.name == "." || entry.name == ".." || entry.name.front() == '_') continue;
    if (entry.name.size() > kMailboxNameLimit) continue;
    names.push_back(entry.name);
  }
  return names;
}

int32_t MailboxQuotaKilobytes(const std::string& mailbox_directory) {
  std::string text;
  if (!qx::platform::ReadWholeFile(mailbox_directory + kQuotaFileName, &text)) return 0;
  const int64_t kilobytes = qx::LeadingInteger(text);
  return kilobytes > 0 ? static_cast<int32_t>(std::min<int64_t>(kilobytes, INT32_MAX)) : 0;
}

}  // namespace qxaipo
