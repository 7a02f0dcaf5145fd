#pragma once
// The postoffice configuration provider QXAIPO.DLL (libqxaipo.so), which
// lists a postoffice's mailboxes into mailbox size records. Loaded from the
// "Application Directory" setting with "64" appended, for one postoffice
// size at a time, and freed afterwards.

#include <string>

#include "qxstore.h"
#include "platform/library_loader.h"

namespace qx {

// Both take the record with its postoffice filled in and return 1 while
// they placed a mailbox in it.
using MailboxFindEntry = int (*)(MAILBOXSIZE* mailbox);

class PostofficeProvider {
 public:
  // Loads the provider; valid() tells whether both entries were found.
  // Nothing is loaded from a path that is not absolute
  // (frame/sibling_library.h).
  PostofficeProvider();
  ~PostofficeProvider();
  PostofficeProvider(const PostofficeProvider&) = delete;
  PostofficeProvider& operator=(const PostofficeProvider&) = delete;

  bool loaded() const { return library_ != nullptr; }
  bool valid() const { return find_first_ != nullptr && find_next_ != nullptr; }
  int FindFirst(MAILBOXSIZE* mailbox) const { return find_first_(mailbox); }
  int FindNext(MAILBOXSIZE* mailbox) const { return find_next_(mailbox); }

 private:
  platform::LibraryHandle library_ = nullptr;
  MailboxFindEntry find_first_ = nullptr;
  MailboxFindEntry find_next_ = nullptr;
};

// "<Application Directory>64\QXAIPO.DLL"; empty when it does not fit in
// 1024 bytes.
std::string PostofficeProviderPath();

}  // namespace qx
