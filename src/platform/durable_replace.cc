#include "platform/durable_replace.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/path_resolver.h"
#include "platform/random_id.h"
#include "platform/registry.h"
#include "platform/store_modes.h"
#include "platform/text_compare.h"

namespace qx::platform {
namespace {

constexpr const char* kFsyncValueName = "Store Fsync";
constexpr const char* kFsyncVariable = "QXSTORE_FSYNC";

std::optional<FsyncMode> ParseFsyncMode(std::string_view text) {
  if (EqualsNoCase(text, "always")) return FsyncMode::kAlways;
  if (EqualsNoCase(text, "optimized")) return FsyncMode::kOptimized;
  if (EqualsNoCase(text, "never")) return FsyncMode::kNever;
  return std::nullopt;
}

std::string RegistryFsyncText() {
  const std::optional<RegistryValue> value =
      RegistryQuery(RegistryRoot::kLocalMachine, kLibrarySettingsKey, kFsyncValueName);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return std::string();
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// The directory part of a store path, "." when it has none.
std::string_view DirectoryPart(std::string_view path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string_view::npos) return ".";
  return path.substr(0, separator == 0 ? 1 : separator);
}

bool InSameDirectory(std::string_view a, std::string_view b) {
  return EqualsNoCase(SpelledNativePath(DirectoryPart(a)), SpelledNativePath(DirectoryPart(b)));
}

std::string UniqueTemporaryFor(std::string_view target) {
  const Guid guid = NewGuid();
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08X%04X%04X.tmp", guid.data1, guid.data2, guid.data3);
  return std::string(target) + suffix;
}

}  // namespace

bool IsUniqueTemporaryName(std::string_view name) {
  constexpr std::string_view kExtension = ".tmp";
  constexpr size_t kHexDigits = 16;
  if (name.size() <= kHexDigits + 1 + kExtension.size() || !name.ends_with(kExtension)) {
    return false;
  }
  const size_t digits_start = name.size() - kExtension.size() - kHexDigits;
  const std::string_view digits = name.substr(digits_start, kHexDigits);
  return name[digits_start - 1] == '.' &&
         std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

namespace {

// A rewrite keeps who may read and write the file: the temporary gets the
// target's permission bits before it takes the target's place. A new file
// gets the store's mode, also when its temporary was left by someone else.
void TakePermissionsOf(std::string_view target, const File& file) {
  const ResolvedPath resolved = ResolvePath(target);
  if (resolved.exists && !S_ISREG(resolved.info.stx_mode)) return;
  const mode_t wanted = resolved.exists ? resolved.info.stx_mode & 07777 : StoreFileMode();
  struct stat own {};
  if (::fstat(file.fd(), &own) == 0 && (own.st_mode & 07777) != wanted) {
    ::fchmod(file.fd(), wanted);
  }
}

bool SyncDirectoryOf(std::string_view target) {
  Directory directory = Directory::Open(DirectoryPart(target));
  return directory.valid() && directory.Sync();
}

}  // namespace

FsyncMode StoreFsyncMode() {
  const char* variable = std::getenv(kFsyncVariable);
  std::optional<FsyncMode> mode;
  if (variable != nullptr && *variable != '\0') mode = ParseFsyncMode(variable);
  if (!mode) mode = ParseFsyncMode(RegistryFsyncText());
  return mode.value_or(FsyncMode::kAlways);
}

bool SyncsReplacementOf(FileKind kind) {
  switch (StoreFsyncMode()) {
    case FsyncMode::kAlways: return true;
    case FsyncMode::kOptimized: return kind != FileKind::kOther;
    case FsyncMode::kNever: return false;
  }
  return true;
}

FileReplacement::FileReplacement(std::string_view target, std::string_view temporary,
                                 FileKind kind, TargetName target_name)
    : target_(target),
      temporary_(temporary.empty() ? UniqueTemporaryFor(target) : std::string(temporary)),
      target_name_(target_name),
      syncs_(SyncsReplacementOf(kind)) {
  if (!InSameDirectory(target_, temporary_)) {
    SetLastError(kErrorInvalidParameter);
    done_ = true;
    return;
  }
  file_ = File::Open(temporary_, Access::kWrite,
                     temporary.empty() ? Disposition::kCreateNewAsSpelled
                                       : Disposition::kCreateAlwaysAsSpelled);
  done_ = !file_.valid();
}

FileReplacement::~FileReplacement() { Abandon(); }

bool FileReplacement::FinishWriting() {
  if (!written_) written_ = !syncs_ || file_.SyncData();
  return written_;
}

bool FileReplacement::Commit() {
  if (done_) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (!FinishWriting()) {
    Abandon();
    return false;
  }
  // A new name has no file whose permissions to keep: the temporary was
  // created with the store's mode.
  const bool placed = target_name_ == TargetName::kNewUnique
                          ? PlaceWrittenFileAsNew(&file_, temporary_, target_)
                          : (TakePermissionsOf(target_, file_),
                             ReplaceWithWrittenFile(&file_, temporary_, target_));
  if (!placed) {
    Abandon();
    return false;
  }
  done_ = true;
  return !syncs_ || SyncDirectoryOf(target_);
}

void FileReplacement::Abandon() {
  if (done_) return;
  done_ = true;
  const uint32_t error = GetLastError();
  if (file_.valid()) file_.Close();
  DeleteFile(temporary_);
  SetLastError(error);
}

bool DurablyReplaceFile(std::string_view target, std::string_view temporary,
                        std::string_view bytes, FileKind kind) {
  FileReplacement replacement(target, temporary, kind);
  return replacement.valid() && replacement.Write(bytes) && replacement.Commit();
}

bool DurablyCopyFile(std::string_view from, std::string_view target, FileKind kind,
                     TargetName target_name, CopiedTime time) {
  if (FaultFires(FaultOp::kCopy, SpelledNativePath(from)) ||
      FaultFires(FaultOp::kCopy, SpelledNativePath(target))) {
    return false;
  }
  const File source = File::Open(from, Access::kRead, Disposition::kOpenExisting);
  if (!source.valid()) return false;
  FileReplacement replacement(target, "", kind, target_name);
  return replacement.valid() && CopyOpenFile(source, &replacement.file(), time) && replacement.Commit();
}

}  // namespace qx::platform
