#include "frame/store_names.h"

#include "frame/refusal_report.h"
#include "platform/errors.h"

namespace qx {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool Refused(std::string_view name) {
  ReportRefusal(name, platform::kErrorInvalidName);
  platform::SetLastError(platform::kErrorInvalidName);
  return false;
}

const char* Shown(const char* name) { return name == nullptr ? "" : name; }

}  // namespace

bool HoldsParentReference(std::string_view text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    if (text.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

bool IsStoreName(std::string_view name) {
  return (name.empty() || !IsSeparator(name.front())) && !HoldsParentReference(name);
}

bool IsStoreName(const char* name) {
  return name == nullptr || IsStoreName(std::string_view(name));
}

bool IsStoreFolderText(const char* folder) {
  return folder == nullptr || !HoldsParentReference(folder);
}

bool IsStoreDirectoryName(const char* name) {
  if (name == nullptr) return true;
  const std::string_view text(name);
  return text != "." && text != ".." && text.find_first_of("\\/") == std::string_view::npos;
}

bool AcceptStoreNames(const char* postoffice, const char* mailbox, const char* folder) {
  if (!IsStoreDirectoryName(postoffice)) return Refused(Shown(postoffice));
  if (!IsStoreDirectoryName(mailbox)) return Refused(Shown(mailbox));
  if (!IsStoreFolderText(folder)) return Refused(Shown(folder));
  return true;
}

bool AcceptStoreFileName(std::string_view file_name) {
  return IsStoreName(file_name) ? true : Refused(file_name);
}

bool IsConfinementRefusal(uint32_t last_error) {
  return last_error == platform::kErrorInvalidName || last_error == platform::kErrorAccessDenied;
}

}  // namespace qx
