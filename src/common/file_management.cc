#include "common/file_management.h"

#include <string>

#include "common/exception.h"
#include "common/file_iterator.h"
#include "frame/store_paths.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/real_path.h"

namespace qx {

namespace {

constexpr const char* kUnit = "common/FileManagement";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

std::string LastErrorText() { return std::to_string(platform::GetLastError()); }

// A file in the current directory has no parent to create.
void CreateParentOf(std::string_view path, bool quiet) {
  std::string parent = GetParentDirectory(path);
  if (!parent.empty()) CreateDirectories(parent, quiet);
}

void CreateDirectoriesOrThrow(std::string_view path) {
  if (path.empty()) ThrowException(kUnit, "Empty path");
  if (!IsValidPath(path)) ThrowException(kUnit, "Invalid path: " + std::string(path));
  if (PathExists(path)) return;
  std::string parent = GetParentDirectory(path);
  if (!parent.empty()) CreateDirectoriesOrThrow(parent);
  // Another thread or process may have created it since the check above;
  // either way the directory is there, which is all the caller asked for.
  if (!platform::CreateDirectory(path) &&
      platform::GetLastError() != platform::kErrorAlreadyExists) {
    ThrowException(kUnit, "Failed to create directory (" + std::string(path) + ")");
  }
}

// Through a temporary beside the target: a copy cut short (a crash, a full
// disk) never leaves part of a message under a name the scans index.
bool CopyFileOver(std::string_view from, std::string_view to, bool quiet, uint32_t* error) {
  CreateParentOf(to, quiet);
  if (platform::DurablyCopyFile(from, to, platform::FileKind::kMessage,
                                platform::TargetName::kAnySpelling)) return true;
  uint32_t code = platform::GetLastError();
  if (error != nullptr) *error = code;
  if (quiet) return false;
  ThrowException(kUnit, "Call to CopyFile failed (GetLastError() returned " +
                            std::to_string(code) + ")");
}

bool CopyDirectory(std::string_view from, std::string_view to, bool quiet, uint32_t* error) {
  if (!CreateDirectories(to, quiet)) return false;
  FileIterator entries(std::string(from) + "\\*");
  for (std::string name = entries.First(); entries.More(); name = entries.Next()) {
    if (IsDotEntry(name)) continue;
    const std::string entry = JoinStorePath(from, name);
    // A link may lead anywhere: what it leads to is not pulled into the copy.
    if (platform::IsSymbolicLink(entry)) continue;
    if (!CopyTree(entry, JoinStorePath(to, name), quiet, error)) return false;
  }
  return true;
}

}  // namespace

bool IsValidPath(std::string_view path) {
  platform::Listing listing = platform::Listing::Open(path);
  return listing.valid() || platform::GetLastError() != platform::kErrorInvalidName;
}

bool PathExists(std::string_view path) { return platform::Listing::Open(path).valid(); }

std::string GetParentDirectory(std::string_view path) {
  size_t found = path.find_last_of("\\/");
  if (found == std::string_view::npos) return {};
  if (found + 1 == path.size()) {
    if (found == 0) return {};
    found = path.find_last_of("\\/", found - 1);
    if (found == std::string_view::npos) return {};
  }
  while (found > 0 && IsSeparator(path[found - 1])) --found;
  return std::string(path.substr(0, found));
}

bool CreateDirectories(std::string_view path, bool quiet) {
  try {
    CreateDirectoriesOrThrow(path);
    return true;
  } catch (const Exception&) {
    if (quiet) return false;
    throw;
  }
}

bool WriteBytesToFile(std::string_view path, const Array<unsigned char>& bytes, bool quiet) {
  CreateParentOf(path, quiet);
  platform::File file = platform::File::Open(path, platform::Access::kWrite,
                                             platform::Disposition::kCreateAlways,
                                             platform::Sharing::kShared);
  if (!file.valid()) {
    if (quiet) return false;
    ThrowException(kUnit, "Failed to open file " + std::string(path) + " for output");
  }
  if (!file.Write(bytes.data(), bytes.length()) || !file.Close()) {
    if (quiet) return false;
    ThrowException(kUnit, "Failed to write file " + std::string(path));
  }
  return true;
}

bool WriteTextToFile(std::string_view path, std::string_view text, bool quiet) {
  Array<unsigned char> bytes;
  bytes.Append(reinterpret_cast<const unsigned char*>(text.data()),
               static_cast<uint32_t>(text.size()));
  return WriteBytesToFile(path, bytes, quiet);
}

void DeleteTree(std::string_view path) {
  // A link goes, never what it leads to, which may lie outside the store.
  if (platform::IsSymbolicLink(path)) {
    if (platform::DeleteSymbolicLink(path)) return;
    std::string code = LastErrorText();
    ThrowException(kUnit, "Call to DeleteFile failed for " + std::string(path) +
                              " (GetLastError() returned " + code + ")");
  }
  if (platform::IsDirectory(path)) {
    FileIterator entries(std::string(path) + "\\*", platform::ListingScope::kEveryEntry);
    for (std::string name = entries.First(); entries.More(); name = entries.Next()) {
      if (!IsDotEntry(name)) DeleteTree(JoinStorePath(path, name));
    }
    if (!platform::RemoveDirectory(path)) {
      std::string code = LastErrorText();
      ThrowException(kUnit, "Call to RemoveDirectory failed for " + std::string(path) +
                                " (GetLastError() returned " + code + ")");
    }
    return;
  }
  if (!platform::DeleteFile(path)) {
    std::string code = LastErrorText();
    ThrowException(kUnit, "Call to DeleteFile failed for " + std::string(path) +
                              " (GetLastError() returned " + code + ")");
  }
}

void MoveFileOrTree(std::string_view from, std::string_view to, bool replace) {
  if (!PathExists(from)) ThrowException(kUnit, "File not found: " + std::string(from));
  CreateParentOf(to, false);
  if (platform::MoveFile(from, to)) return;
  uint32_t code = platform::GetLastError();
  if (code == platform::kErrorAlreadyExists && replace) {
    DeleteTree(to);
    if (platform::MoveFile(from, to)) return;
    code = platform::GetLastError();
  }
  ThrowException(kUnit, "Call to MoveFile failed (GetLastError() returned " +
                            std::to_string(code) + ")");
}

bool CopyTree(std::string_view from, std::string_view to, bool quiet, uint32_t* error) {
  try {
    if (!PathExists(from)) ThrowException(kUnit, "File not found: " + std::string(from));
    if (platform::IsDirectory(from)) return CopyDirectory(from, to, quiet, error);
    return CopyFileOver(from, to, quiet, error);
  } catch (const Exception&) {
    if (quiet) return false;
    throw;
  }
}

}  // namespace qx
