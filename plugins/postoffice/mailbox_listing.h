#pragma once
// A postoffice's mailboxes as the provider lists them, and their quota
// limits (see qxaipo.h for where they live).

#include <cstdint>
#include <string>
#include <vector>

namespace qxaipo {

// The postoffice's "MAILROOT" directory as the store resolves it; empty when
// the postoffice names no directory.
std::string MailrootDirectory(const std::string& postoffice);

// The mailbox directories in `mailroot`, by name without regard to case,
// without names that begin with '_' or exceed 63 characters.
std::vector<std::string> ListMailboxes(const std::string& mailroot);

// The limit in KB from "<mailbox directory>\_QUOTA.TXT"; 0 (no limit) when
// the file is missing or does not start with a number above 0.
int32_t MailboxQuotaKilobytes(const std::string& mailbox_directory);

}  // namespace qxaipo
