#pragma once
// The one way the store replaces a file's contents: write a temporary file
// in the target's directory, sync its data, rename it over the target, sync
// the directory. Readers see the old file or the new one, never a partial
// one; after a crash or a power loss the target is the old file or the new
// one, and once Commit has returned true, the new one.
//
// How much is synced is the "Store Fsync" setting (a string under
// HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tal Mera\Tal Mera, read on each
// replace), which the environment variable QXSTORE_FSYNC overrides:
//   "always"    every replace syncs (the default, and what any other text means);
//   "optimized" only message files and indexes are synced: the other files
//               are rebuilt or refilled by their writers (as Dovecot's
//               mail_fsync=optimized);
//   "never"     nothing is synced: a crash may leave a replaced file empty.
//               For tests and benchmarks.
//
// The replaced file keeps the target's permission bits; a file that did not
// exist gets the store's file mode (store_modes.h).

#include <string>
#include <string_view>

#include "platform/file.h"

namespace qx::platform {

enum class FsyncMode { kAlways, kOptimized, kNever };

// What a replaced file is, for the "optimized" setting.
enum class FileKind { kMessage, kIndex, kOther };

// The setting as it reads now.
FsyncMode StoreFsyncMode();
// Whether replacing a file of `kind` syncs under the setting as it reads now.
bool SyncsReplacementOf(FileKind kind);

// How a replacement treats its target's name.
enum class TargetName {
  // The file under any spelling of the name is replaced.
  kAnySpelling,
  // The caller made the name unique (a new GUID name): the file is put in
  // place as spelled and never replaces another (80 when one is there).
  kNewUnique,
};

// One replacement of `target` in progress. Not copyable or movable; one
// thread at a time.
class FileReplacement {
 public:
  // Creates `temporary`, truncating a file left there, for writing. The name
  // is the caller's when the store's format fixes it; it must be in the
  // target's directory. An empty `temporary` gets a name no other writer
  // uses: "<target>.<16 hex digits>.tmp", created only if new. A temporary
  // is its writer's own, so it is created as spelled: no other spelling of
  // it is looked for in the directory. On failure valid() is false and the
  // last error is set (32 when another process holds the temporary without
  // sharing; it is left alone).
  FileReplacement(std::string_view target, std::string_view temporary, FileKind kind,
                  TargetName target_name = TargetName::kAnySpelling);
  // Abandons a replacement that was not committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  bool valid() const { return file_.valid(); }
  const std::string& temporary() const { return temporary_; }

  // The temporary, open for writing. Writes are not buffered here.
  File& file() { return file_; }
  bool Write(std::string_view bytes) { return file_.Write(bytes); }

  // Syncs the bytes written (when the setting asks for it). False, with the
  // last error set, when the sync fails. Commit calls it when the caller
  // has not.
  bool FinishWriting();

  // Puts the temporary in place of the target: it takes the target's
  // permission bits, replaces it in one rename, and the directory is synced
  // (when the setting asks for it). A target held without sharing elsewhere
  // gives 32. On failure the last error is set and the temporary is gone;
  // the target is untouched, except when only the directory sync failed:
  // then the new contents are in place but may not survive a crash.
  bool Commit();

  // Closes and deletes the temporary, leaving the target as it is. The last
  // error is kept. Nothing happens after Commit or when the temporary could
  // not be created.
  void Abandon();

 private:
  std::string target_;
  std::string temporary_;
  File file_;
  TargetName target_name_;
  bool syncs_;
  bool written_ = false;
  bool done_ = false;  // committed or abandoned
};

// Whether a file name ends the way UniqueTemporaryFor ends the names it
// makes (".<16 hex digits>.tmp"): a writer killed before its rename leaves
// such a file, which no reader takes for the target.
bool IsUniqueTemporaryName(std::string_view name);

// The whole replacement for contents held in memory: true when `bytes` are
// in place of the target.
bool DurablyReplaceFile(std::string_view target, std::string_view temporary,
                        std::string_view bytes, FileKind kind);

// Copies the file `from` to `target` through a replacement with a
// temporary name of its own (the contents, and the last-write time `time`
// says), so that a crash or a reader never meets part of the copy under the
// target's name. The copy gets the store's file mode, never the source's.
// A kNewUnique target that exists as spelled gives 80 and is left as it is.
bool DurablyCopyFile(std::string_view from, std::string_view target, FileKind kind,
                     TargetName target_name, CopiedTime time = CopiedTime::kSource);

}  // namespace qx::platform
