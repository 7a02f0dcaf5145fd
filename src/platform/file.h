#pragma once
// Files and directories as the store uses them. Paths are store paths (see
// path_resolver.h). Every failure sets the thread's last error (errors.h):
// a missing entry is 2, or 3 when a directory on the way is missing.
//
// Sharing: a handle opened with Sharing::kExclusive holds flock(LOCK_EX) for
// its life; every other handle holds flock(LOCK_SH). So while one process
// holds a file exclusively, opens and deletes elsewhere fail with 32, and an
// exclusive open fails with 32 while others have the file open, as the
// original "no sharing" did. Deleting or moving a file that is merely open
// elsewhere is allowed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_time.h"

namespace qx::platform {

enum FileAttribute : uint32_t {
  kAttributeReadOnly = 0x01,
  kAttributeHidden = 0x02,
  kAttributeDirectory = 0x10,
  kAttributeArchive = 0x20,
  kAttributeNormal = 0x80,
};
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

enum class Access { kRead, kWrite, kReadWrite };

enum class Disposition {
  kCreateNew,         // fails with 80 when the file exists (O_CREAT|O_EXCL)
  kCreateAlways,      // creates or truncates
  kOpenExisting,      // fails with 2 or 3 when missing
  kOpenAlways,        // opens or creates
  kTruncateExisting,  // opens and truncates; fails when missing
  // kCreateNew and kCreateAlways for names no other spelling of which is
  // looked for: a name the caller made unique (a new GUID) or a temporary
  // only its writer uses. They cost one open, however large the directory.
  kCreateNewAsSpelled,
  kCreateAlwaysAsSpelled,
};

// kExclusive is the original "no sharing": the handle holds an flock, and
// while it is held, opens and deletes from elsewhere fail with 32.
enum class Sharing { kShared, kExclusive };

// An open file. Move-only; closes on destruction.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An invalid File on failure, with the last error set. A file held
  // exclusively elsewhere gives 32 and is left untouched (also by the
  // truncating dispositions). Only plain files and directories open: a
  // FIFO, device or socket gives 5 at once, never a wait.
  static File Open(std::string_view path, Access access, Disposition disposition,
                   Sharing sharing = Sharing::kShared);

  // Opens the existing file at `path` for reading it through once, for a
  // reader that needs no share lock: one whose file is only ever replaced
  // whole, by a rename over its name (message files), so that an open
  // handle reads either the old file or the new one, never a mix. No lock
  // is taken, so the open does not take part in the sharing rules of Open:
  // a file held exclusively elsewhere opens too. Nor is the file's type
  // probed before the first read: a directory opens, and its first read
  // fails with 5 (EISDIR); a FIFO's reads give 0 or fail, never wait
  // (O_NONBLOCK). Only a read after the first makes the probe Open makes,
  // and fails with 5 for anything but a plain file, so a device reached
  // through a link is left after one read. A file that one read takes whole
  // costs one open, one read and one close.
  static File OpenForReadingThrough(std::string_view path);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Bytes read (0 at the end), or -1 on failure.
  int64_t Read(void* buffer, size_t count);
  // Reads up to `count` bytes from `offset` without moving the position;
  // bytes read (fewer only at the end), or -1 on failure.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  // Writes all bytes; false on failure (a full disk gives 112).
  bool Write(const void* data, size_t count);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // Moves to `offset` bytes from the start.
  bool Seek(int64_t offset);
  bool Truncate(int64_t length);
  // Makes the bytes written so far durable (fsync); writes are not buffered
  // in the process, so other handles see them without this.
  bool Flush();
  // Makes the bytes written so far durable, without the times (fdatasync).
  // The file's name is durable only once its directory is synced.
  bool SyncData();
  int64_t Size() const;  // -1 on failure
  bool GetTimes(FileTimes* times) const;
  // The last-write time alone (FILETIME ticks): one statx of the open file
  // for that time only, without the upkeep of a creation time that GetTimes
  // makes where the file system keeps no birth time (an attribute read,
  // and a write the first time).
  bool GetLastWriteTime(uint64_t* last_write) const;
  // Size() and GetLastWriteTime() from that one statx.
  bool GetSizeAndLastWriteTime(uint64_t* size, uint64_t* last_write) const;
  // Times of 0 are left unchanged, as the original did with null pointers.
  // The creation time cannot be changed here and is ignored.
  bool SetTimes(const FileTimes& times);
  // False (with the last error) when the close itself fails.
  bool Close();

  // Turns the exclusive hold of a handle opened with Sharing::kExclusive
  // into a shared one: others may open and delete the file again, while the
  // file still counts as held (DeleteFileIfUnheld leaves it alone).
  bool ShareWithOthers();

  // Hands the open file over as a pointer-sized handle that callers keep in
  // their records (never 0), and takes one back. Release gives up ownership;
  // an invalid File gives 0. FromHandle of 0 or of a closed handle is an
  // invalid File with last error 6.
  uintptr_t ReleaseToHandle();
  static File FromHandle(uintptr_t handle);

 private:
  friend class Directory;
  friend void CloseInBackground(File file);  // background_close.h
  explicit File(int fd) : fd_(fd) {}
  // When the type probe of a handle from OpenForReadingThrough is made.
  enum class TypeProbe : uint8_t { kMade, kAfterFirstRead, kBeforeNextRead };
  int fd_ = -1;
  TypeProbe probe_ = TypeProbe::kMade;
};

// A directory kept open, so that many of its files are opened by name
// without the whole path being walked each time. Move-only.
class Directory {
 public:
  Directory() = default;
  ~Directory();
  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // An invalid Directory, with the last error set, when `path` names none.
  static Directory Open(std::string_view path);

  bool valid() const { return fd_ >= 0; }

  // Opens `name`, spelled as a listing of this directory gave it, for
  // reading; 2 when it is gone. No shared lock is taken, so the open does
  // not take part in the sharing rules of File::Open: only for files that no
  // process holds without sharing. The lock would cost as much as the rest
  // of the open.
  File OpenUnlockedForReading(std::string_view name) const;

  // Deletes the file `name`, spelled as a listing of this directory gave
  // it, without the probe DeleteFile makes: no shared lock is taken and the
  // read-only bit is not looked at, so only for files that no process holds
  // without sharing and that the caller knows to be plain and writable.
  // False with the last error (2 when it is gone).
  bool DeleteUnlocked(std::string_view name);

  // Makes the creates, renames and deletes made in this directory so far
  // durable (fsync of the directory).
  bool Sync();

 private:
  int fd_ = -1;
  std::string native_;  // for injected faults, which name whole paths
};

// The attribute bits of a file mode: 0x10 for directories, 0x01 when no
// write permission bit is set, else 0x80 (normal) for a plain file.
uint32_t AttributesFromMode(uint32_t mode);

// Attributes of a file or directory, kInvalidAttributes when it cannot be
// found.
uint32_t GetFileAttributes(std::string_view path);
// Only the read-only bit has an effect: it clears or restores write permission.
bool SetFileAttributes(std::string_view path, uint32_t attributes);
bool IsDirectory(std::string_view path);

// 32 while held exclusively; 5 for a directory or a read-only file.
bool DeleteFile(std::string_view path);
// Deletes the file at `path` that `*held` has open without sharing, then
// closes `*held`. While this process holds it, no other can hold or delete
// it, so no probe for other holders is needed. False, with `*held` left
// open, when the delete fails.
bool DeleteHeldFile(File* held, std::string_view path);
// Deletes the file at `path` only when no handle anywhere holds it (no
// exclusive or shared hold) and its last write is before `written_before`
// (FILETIME ticks): how a lock file left behind by a process that died is
// broken. The test and the delete are made under an exclusive hold of the
// file, and only while `path` still names the file tested, so two processes
// breaking the same lock file never delete the one that either has just
// created in its place. False otherwise: 32 while held (or where the file
// system cannot tell), 80 when it is too young, 2 or 3 when missing.
bool DeleteFileIfUnheld(std::string_view path, uint64_t written_before);
bool CreateDirectory(std::string_view path);              // one level; 183 when present
bool RemoveDirectory(std::string_view path);              // empty directories only (145); 267 for a file
bool MoveFile(std::string_view from, std::string_view to);  // 183 when `to` exists
// Like MoveFile; with replace an existing file at `to` is replaced (a
// directory at `to` gives 5). Moving onto another spelling of the same
// entry changes the spelling. 32 when either file is held exclusively.
bool MoveFileEx(std::string_view from, std::string_view to, bool replace);
// Closes `*written`, the handle through which this process has just written
// `from`, then MoveFileEx(from, to, true) without probing `from` for other
// holders. A target held exclusively gives 32. Falls back to MoveFileEx when
// `from` is not found as spelled.
bool ReplaceWithWrittenFile(File* written, std::string_view from, std::string_view to);
// Closes `*written`, then renames `from` to `to` without replacing anything:
// 80 when `to` exists. Both names are taken as spelled, their folders found
// in any spelling (NativePathWithNameAsSpelled). For a target whose name the
// caller made unique.
bool PlaceWrittenFileAsNew(File* written, std::string_view from, std::string_view to);
// Copies the contents, the last-write time and the read-only bit; with
// fail_if_exists an existing target gives 80. A failed copy leaves no target.
// Copying a file onto itself fails with 32 and changes nothing. A new target
// gets the store's file mode (store_modes.h), less its write bits when the
// source is read-only.
bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists);
// Which last-write time a copy gets: the source's (a copy within the store)
// or the time of the copy (a file that comes into the store from outside).
enum class CopiedTime { kSource, kNow };
// Copies the contents of the open file `from` (from its start) into `to`
// (at its position), with the last-write time `time` says: a copy into a
// file the caller has opened itself (durable_replace.h). False with the last
// error on failure.
bool CopyOpenFile(const File& from, File* to, CopiedTime time = CopiedTime::kSource);
// Copies `length` bytes of the open file `from`, starting at `offset`, into
// `to` at its position, inside the kernel where the file system allows it
// (the bytes never pass through the process). False with the last error on
// failure, also when `from` ends before the range does (38).
bool CopyFileRange(const File& from, uint64_t offset, uint64_t length, File* to);

bool GetFileTimes(std::string_view path, FileTimes* times);
bool SetFileTimes(std::string_view path, const FileTimes& times);
int64_t GetFileSize(std::string_view path);  // -1 when missing

// Makes `bytes` the whole contents of the file at `path`, created when
// missing: written over the old bytes from the start, the file cut only
// where it was longer. A small cache file rewritten at the same size is so
// never truncated, which on ext4 waits for its earlier data to reach the
// disk. A reader at the same moment may see old and new bytes mixed, as it
// may see a truncated file otherwise. False with the last error on failure.
bool OverwriteFile(std::string_view path, std::string_view bytes);

// Whole-file helpers; ReadWholeFile returns false when the file cannot be read.
// `room` more bytes are reserved behind the contents, for a caller that
// appends to them without the string moving.
bool ReadWholeFile(std::string_view path, std::string* contents, size_t room = 0);
// The same for a file already open, read from its current position.
bool ReadWholeOpenFile(File* file, std::string* contents, size_t room = 0);

}  // namespace qx::platform
