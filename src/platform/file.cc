#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/path_resolver.h"
#include "platform/power_loss_model.h"
#include "platform/store_modes.h"

namespace qx::platform {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

int AccessFlags(Access access) {
  switch (access) {
    case Access::kRead: return O_RDONLY;
    case Access::kWrite: return O_WRONLY;
    case Access::kReadWrite: return O_RDWR;
  }
  return O_RDONLY;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void SetMissingError(const ResolvedPath& resolved) {
  SetLastErrorFromErrno(resolved.error != 0 ? resolved.error : ENOENT,
                        ErrnoContext{.parent_missing = resolved.parent_missing});
}

// Takes the handle's share lock without waiting. False only when another
// handle holds a lock that conflicts; file systems without flock share freely.
bool TakeShareLock(int fd, Sharing sharing) {
  const int operation = (sharing == Sharing::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return errno != EWOULDBLOCK;
  }
  return true;
}

// Whether some handle holds the file at `native` exclusively. A file that
// cannot be opened for the probe is taken as not held.
bool HeldExclusively(const std::string& native) {
  const int fd = OpenRetrying(native, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = !TakeShareLock(fd, Sharing::kShared);
  ::close(fd);
  return held;
}

bool IsReadOnlyMode(mode_t mode) { return (mode & kWriteBits) == 0; }

// open(2) and mkdir(2) take the umask's bits away from the store's mode.
// The owner's bits survive any umask a service runs with; the group's and
// others' are set again, so a store shared with its group stays shared.
bool UmaskMayNarrow(mode_t mode) { return (mode & ~static_cast<mode_t>(S_IRWXU)) != 0; }

// The store keeps plain files and directories only. A FIFO, device or
// socket found under a store name is refused rather than waited on: the
// opens never block (O_NONBLOCK, which plain files ignore), and this check
// comes before anything is read or written (for a handle read through once,
// before its second read: see File::OpenForReadingThrough).
bool IsStoreFileType(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return true;
  return S_ISREG(info.st_mode) || S_ISDIR(info.st_mode);
}

struct Opened {
  int fd = -1;
  bool created = false;
  std::string native;
};

// The slow road of File::Open: the exact spelling is missing, or the call
// creates and must first know whether another spelling exists.
Opened OpenResolved(std::string_view path, int flags, Disposition disposition) {
  Opened opened;
  ResolvedPath resolved =
      disposition == Disposition::kCreateNew ? ResolveUsuallyMissing(path) : ResolvePath(path);
  opened.native = std::move(resolved.native);
  if (resolved.exists) {
    if (disposition == Disposition::kCreateNew) {
      SetLastError(kErrorFileExists);
      return opened;
    }
    opened.fd = OpenRetrying(opened.native, flags);
    if (opened.fd < 0) SetLastErrorFromErrno(errno);
    return opened;
  }
  const bool creates = disposition == Disposition::kCreateNew ||
                       disposition == Disposition::kCreateAlways ||
                       disposition == Disposition::kOpenAlways;
  if (!creates || resolved.parent_missing || resolved.error != ENOENT) {
    SetMissingError(resolved);
    return opened;
  }
  const mode_t mode = StoreFileMode();
  opened.fd = OpenRetrying(opened.native, flags | O_CREAT | O_EXCL, mode);
  opened.created = opened.fd >= 0;
  if (opened.created && UmaskMayNarrow(mode)) ::fchmod(opened.fd, mode);
  if (opened.fd < 0 && errno == EEXIST && disposition != Disposition::kCreateNew) {
    opened.fd = OpenRetrying(opened.native, flags);
  }
  if (opened.fd < 0) SetLastErrorFromErrno(errno);
  return opened;
}

bool IsAsSpelled(Disposition disposition) {
  return disposition == Disposition::kCreateNewAsSpelled ||
         disposition == Disposition::kCreateAlwaysAsSpelled;
}

// The disposition an as-spelled one stands for once the file is open.
Disposition WithoutSpelling(Disposition disposition) {
  if (disposition == Disposition::kCreateNewAsSpelled) return Disposition::kCreateNew;
  if (disposition == Disposition::kCreateAlwaysAsSpelled) return Disposition::kCreateAlways;
  return disposition;
}

// Creates `opened->native` as spelled; with kCreateAlways a file already
// there is opened instead.
void CreateAsSpelled(Opened* opened, int flags, Disposition disposition) {
  const mode_t mode = StoreFileMode();
  opened->fd = OpenRetrying(opened->native, flags | O_CREAT | O_EXCL, mode);
  opened->created = opened->fd >= 0;
  if (opened->created && UmaskMayNarrow(mode)) ::fchmod(opened->fd, mode);
  if (opened->fd < 0 && errno == EEXIST && disposition == Disposition::kCreateAlways) {
    opened->fd = OpenRetrying(opened->native, flags);
  }
  if (opened->fd < 0) SetLastErrorFromErrno(errno);
}

// EXDEV: a file is copied and the source deleted, as the original moved files
// between volumes; directories cannot cross.
bool MoveAcrossDevices(std::string_view from, std::string_view to, const ResolvedPath& source,
                       bool replace) {
  if (S_ISDIR(source.info.stx_mode)) {
    SetLastError(kErrorNotSameDevice);
    return false;
  }
  return CopyFile(from, to, !replace) && DeleteFile(from);
}

// What a rename from `from` over `to` replaces, for the power-loss model:
// nothing when both name one entry (a change of spelling).
SavedEntry ReplacedByRename(const std::string& from, const std::string& to) {
  struct stat source {};
  struct stat target {};
  if (::stat(from.c_str(), &source) == 0 && ::stat(to.c_str(), &target) == 0 &&
      source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
    return SavedEntry{};
  }
  return SaveEntryForUndo(to);
}

// rename(2); 0 or errno. Renames go through here (or are recorded beside
// RenameNoReplace), so that the power-loss model sees them.
int RenameEntry(const std::string& from, const std::string& to) {
  SavedEntry replaced;
  if (PowerLossTracking()) replaced = ReplacedByRename(from, to);
  if (::rename(from.c_str(), to.c_str()) != 0) return errno;
  RecordRenamed(from, to, std::move(replaced));
  return 0;
}

// unlinkat(2) of `name` in the directory open as `directory_fd` (or a
// whole path with AT_FDCWD), which `native` names in full; 0 or errno.
// Every delete of a file goes through here.
int UnlinkEntryAt(int directory_fd, const std::string& name, const std::string& native) {
  SavedEntry deleted;
  if (PowerLossTracking()) deleted = SaveEntryForUndo(native);
  if (::unlinkat(directory_fd, name.c_str(), 0) != 0) return errno;
  RecordDeleted(native, std::move(deleted));
  return 0;
}

int UnlinkEntry(const std::string& native) { return UnlinkEntryAt(AT_FDCWD, native, native); }

// rename without replacing: renameat2 where the file system has it, else a
// hard link and unlink for files (also atomic), else a checked rename.
int RenameNoReplace(const std::string& from, const std::string& to, bool is_directory) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (!is_directory) {
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
  }
  struct stat existing {};
  if (::stat(to.c_str(), &existing) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool SyncDescriptor(int fd, bool data_only) {
  if (FaultFiresForDescriptor(FaultOp::kSync, fd)) return false;
  if ((data_only ? ::fdatasync(fd) : ::fsync(fd)) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  RecordSynced(fd);
  return true;
}

std::string_view LastComponent(std::string_view path) {
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string ParentOf(const std::string& native) {
  const size_t separator = native.find_last_of('/');
  if (separator == std::string::npos) return std::string();
  return native.substr(0, separator == 0 ? 1 : separator + 1);
}

bool SameEntry(const struct statx& a, const struct statx& b) {
  return a.stx_dev_major == b.stx_dev_major && a.stx_dev_minor == b.stx_dev_minor &&
         a.stx_ino == b.stx_ino;
}

bool CopyContents(int from_fd, int to_fd) {
  while (true) {
    const ssize_t copied = ::copy_file_range(from_fd, nullptr, to_fd, nullptr, 1 << 30, 0);
    if (copied == 0) return true;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return false;
  }
  char buffer[65536];
  while (true) {
    ssize_t got = ::read(from_fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t written = ::write(to_fd, buffer + done, static_cast<size_t>(got - done));
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += written;
    }
  }
}

bool StatDescriptor(int fd, struct statx* info) {
  if (::statx(fd, "", AT_EMPTY_PATH, kTimesStatxMask, info) == 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

void FillTimespecs(const FileTimes& times, struct timespec stamps[2]) {
  stamps[0].tv_nsec = UTIME_OMIT;
  stamps[1].tv_nsec = UTIME_OMIT;
  if (times.last_access != 0) stamps[0] = TimespecFromFileTime(times.last_access);
  if (times.last_write != 0) stamps[1] = TimespecFromFileTime(times.last_write);
}

bool CopyFileWithTime(std::string_view from, std::string_view to, bool fail_if_exists) {
  if (FaultFires(FaultOp::kCopy, SpelledNativePath(from)) ||
      FaultFires(FaultOp::kCopy, SpelledNativePath(to))) {
    return false;
  }
  File source = File::Open(from, Access::kRead, Disposition::kOpenExisting);
  if (!source.valid()) return false;
  struct statx source_info {};
  if (!StatDescriptor(source.fd(), &source_info)) return false;
  if (S_ISDIR(source_info.stx_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  File target = File::Open(to, Access::kWrite,
                           fail_if_exists ? Disposition::kCreateNew : Disposition::kOpenAlways);
  if (!target.valid()) return false;
  struct statx target_info {};
  if (!StatDescriptor(target.fd(), &target_info)) return false;
  if (SameEntry(source_info, target_info)) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  const FileTimes source_times = TimesFromStatx(source_info, FileRef{.fd = source.fd()});
  bool copied = ::ftruncate(target.fd(), 0) == 0 && CopyContents(source.fd(), target.fd());
  int error = errno;
  if (copied) {
    struct timespec stamps[2];
    FillTimespecs(FileTimes{.last_write = source_times.last_write}, stamps);
    ::futimens(target.fd(), stamps);
    // Read-only is the one attribute a copy carries; who may read the
    // copy is the store's business, not the source's.
    if (IsReadOnlyMode(source_info.stx_mode)) {
      ::fchmod(target.fd(), StoreFileMode() & ~kWriteBits);
    }
    if (!target.Close()) return false;
    SetLastError(kErrorSuccess);
    return true;
  }
  // As the original, a copy that fails half-way leaves no target behind.
  target.Close();
  const ResolvedPath written = ResolvePath(to);
  if (written.exists) ::unlink(written.native.c_str());
  SetLastErrorFromErrno(error);
  return false;
}

}  // namespace

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

File::File(File&& other) noexcept : fd_(other.fd_), probe_(other.probe_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    probe_ = other.probe_;
    other.fd_ = -1;
  }
  return *this;
}

File File::Open(std::string_view path, Access access, Disposition asked, Sharing sharing) {
  const int flags = AccessFlags(access) | O_NONBLOCK;
  const Disposition disposition = WithoutSpelling(asked);
  Opened opened;
  opened.native = SpelledNativePath(path);
  if (FaultFires(FaultOp::kOpen, opened.native)) return File();
  if (IsAsSpelled(asked)) {
    opened.native = NativePathWithNameAsSpelled(path);
    CreateAsSpelled(&opened, flags, disposition);
    if (opened.fd < 0) return File();
  }
  // The exact spelling first: opening an existing file costs one open and one flock.
  if (opened.fd < 0 && disposition != Disposition::kCreateNew) {
    opened.fd = OpenRetrying(opened.native, flags);
    if (opened.fd < 0 && errno != ENOENT) {
      SetLastErrorFromErrno(errno);
      return File();
    }
  }
  if (opened.fd < 0) {
    opened = OpenResolved(path, flags, disposition);
    if (opened.fd < 0) return File();
  }
  if (!IsStoreFileType(opened.fd)) {
    ::close(opened.fd);
    SetLastError(kErrorAccessDenied);
    return File();
  }
  if (!TakeShareLock(opened.fd, sharing)) {
    ::close(opened.fd);
    // Someone opened the file between our create and our lock; give the
    // name back rather than leave a file nobody owns.
    if (opened.created) ::unlink(opened.native.c_str());
    SetLastError(kErrorSharingViolation);
    return File();
  }
  const bool truncates = disposition == Disposition::kCreateAlways ||
                         disposition == Disposition::kTruncateExisting;
  if (truncates && !opened.created && ::ftruncate(opened.fd, 0) != 0) {
    SetLastErrorFromErrno(errno);
    ::close(opened.fd);
    return File();
  }
  if (opened.created || truncates) RecordOpened(opened.fd, opened.native, opened.created);
  // As the original, opening or re-creating an existing file succeeds with 183.
  const bool reports_existing = !opened.created && (disposition == Disposition::kCreateAlways ||
                                                    disposition == Disposition::kOpenAlways);
  SetLastError(reports_existing ? kErrorAlreadyExists : kErrorSuccess);
  return File(opened.fd);
}

File File::OpenForReadingThrough(std::string_view path) {
  const int flags = O_RDONLY | O_NONBLOCK;
  std::string native = SpelledNativePath(path);
  if (AnyFaultArmed() && FaultFires(FaultOp::kOpen, native)) return File();
  int fd = OpenRetrying(native, flags);
  if (fd < 0 && errno == ENOENT) {
    fd = OpenResolved(path, flags, Disposition::kOpenExisting).fd;
    if (fd < 0) return File();
  } else if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return File();
  }
  SetLastError(kErrorSuccess);
  File file(fd);
  file.probe_ = TypeProbe::kAfterFirstRead;
  return file;
}

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

Directory::Directory(Directory&& other) noexcept : fd_(other.fd_), native_(std::move(other.native_)) {
  other.fd_ = -1;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    native_ = std::move(other.native_);
    other.fd_ = -1;
  }
  return *this;
}

Directory Directory::Open(std::string_view path) {
  Directory directory;
  ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return directory;
  }
  directory.fd_ = OpenRetrying(resolved.native.empty() ? "." : resolved.native, O_RDONLY | O_DIRECTORY);
  if (directory.fd_ < 0) {
    SetLastErrorFromErrno(errno);
    return directory;
  }
  directory.native_ = std::move(resolved.native);
  return directory;
}

File Directory::OpenUnlockedForReading(std::string_view name) const {
  if (AnyFaultArmed() && FaultFires(FaultOp::kOpen, native_ + "/" + std::string(name))) return File();
  const std::string spelled(name);
  int fd;
  do {
    fd = ::openat(fd_, spelled.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return File();
  }
  SetLastError(kErrorSuccess);
  return File(fd);
}

bool Directory::DeleteUnlocked(std::string_view name) {
  const std::string spelled(name);
  const std::string native = native_ + "/" + spelled;
  if (AnyFaultArmed() && FaultFires(FaultOp::kDelete, native)) return false;
  if (const int error = UnlinkEntryAt(fd_, spelled, native); error != 0) {
    SetLastErrorFromErrno(error);
    return false;
  }
  SetLastError(kErrorSuccess);
  return true;
}

bool Directory::Sync() {
  if (AnyFaultArmed() && FaultFires(FaultOp::kSync, native_)) return false;
  if (::fsync(fd_) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  RecordDirectorySynced(fd_);
  return true;
}

int64_t File::Read(void* buffer, size_t count) {
  if (probe_ == TypeProbe::kBeforeNextRead) {
    probe_ = TypeProbe::kMade;
    if (!IsStoreFileType(fd_)) {
      SetLastError(kErrorAccessDenied);
      return -1;
    }
  }
  while (true) {
    const ssize_t got = ::read(fd_, buffer, count);
    if (got >= 0) {
      if (probe_ == TypeProbe::kAfterFirstRead) probe_ = TypeProbe::kBeforeNextRead;
      return got;
    }
    if (errno != EINTR) {
      SetLastErrorFromErrno(errno);
      return -1;
    }
  }
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  char* bytes = static_cast<char*>(buffer);
  size_t filled = 0;
  while (filled < count) {
    const ssize_t got = ::pread(fd_, bytes + filled, count - filled, static_cast<off_t>(offset + filled));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      return -1;
    }
    filled += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(filled);
}

bool File::Write(const void* data, size_t count) {
  if (FaultFiresForDescriptor(FaultOp::kWrite, fd_)) return false;
  if (PowerLossTracking()) NoteWriting(fd_);
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t written = ::write(fd_, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      return false;
    }
    bytes += written;
    count -= static_cast<size_t>(written);
  }
  RecordStep(DurabilityStep::kWrite);
  return true;
}

bool File::Seek(int64_t offset) {
  if (::lseek(fd_, offset, SEEK_SET) >= 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

bool File::Truncate(int64_t length) {
  if (::ftruncate(fd_, length) == 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

bool File::Flush() { return SyncDescriptor(fd_, false); }

bool File::SyncData() { return SyncDescriptor(fd_, true); }

int64_t File::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) == 0) return info.st_size;
  SetLastErrorFromErrno(errno);
  return -1;
}

bool File::GetTimes(FileTimes* times) const {
  struct statx info {};
  if (!StatDescriptor(fd_, &info)) return false;
  *times = TimesFromStatx(info, FileRef{.fd = fd_});
  return true;
}

bool File::GetLastWriteTime(uint64_t* last_write) const {
  uint64_t size = 0;
  return GetSizeAndLastWriteTime(&size, last_write);
}

bool File::GetSizeAndLastWriteTime(uint64_t* size, uint64_t* last_write) const {
  struct statx info {};
  if (::statx(fd_, "", AT_EMPTY_PATH, STATX_SIZE | STATX_MTIME, &info) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  *size = info.stx_size;
  *last_write = FileTimeFromStatx(info.stx_mtime);
  return true;
}

bool File::SetTimes(const FileTimes& times) {
  struct timespec stamps[2];
  FillTimespecs(times, stamps);
  if (::futimens(fd_, stamps) == 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

bool File::Close() {
  if (fd_ < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) == 0 || errno == EINTR) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

bool File::ShareWithOthers() {
  while (::flock(fd_, LOCK_SH | LOCK_NB) != 0) {
    if (errno != EINTR) {
      SetLastErrorFromErrno(errno);
      return false;
    }
  }
  return true;
}

// Descriptor + 1, so that descriptor 0 never looks like "no handle".
uintptr_t File::ReleaseToHandle() {
  if (fd_ < 0) return 0;
  const uintptr_t handle = static_cast<uintptr_t>(fd_) + 1;
  fd_ = -1;
  return handle;
}

File File::FromHandle(uintptr_t handle) {
  if (handle == 0 || handle > static_cast<uintptr_t>(INT32_MAX)) {
    SetLastError(kErrorInvalidHandle);
    return File();
  }
  const int fd = static_cast<int>(handle - 1);
  if (::fcntl(fd, F_GETFD) < 0) {
    SetLastError(kErrorInvalidHandle);
    return File();
  }
  return File(fd);
}

uint32_t AttributesFromMode(uint32_t mode) {
  uint32_t attributes = 0;
  if (S_ISDIR(mode)) attributes |= kAttributeDirectory;
  if (IsReadOnlyMode(mode)) attributes |= kAttributeReadOnly;
  return attributes == 0 ? static_cast<uint32_t>(kAttributeNormal) : attributes;
}

uint32_t GetFileAttributes(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return kInvalidAttributes;
  }
  SetLastError(kErrorSuccess);
  return AttributesFromMode(resolved.info.stx_mode);
}

bool SetFileAttributes(std::string_view path, uint32_t attributes) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return false;
  }
  const mode_t mode = resolved.info.stx_mode & 07777;
  mode_t wanted = mode;
  if ((attributes & kAttributeReadOnly) != 0) {
    wanted &= ~kWriteBits;
  } else if (IsReadOnlyMode(mode)) {
    wanted |= S_IWUSR;
  }
  if (wanted != mode && ::chmod(resolved.native.c_str(), wanted) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool IsDirectory(std::string_view path) {
  return (GetFileAttributes(path) & kAttributeDirectory) != 0 &&
         GetLastError() == kErrorSuccess;
}

bool DeleteFile(std::string_view path) {
  std::string native = SpelledNativePath(path);
  if (FaultFires(FaultOp::kDelete, native)) return false;
  int fd = OpenRetrying(native, O_RDONLY | O_NONBLOCK);
  if (fd < 0 && errno == ENOENT) {
    ResolvedPath resolved = ResolvePath(path);
    if (!resolved.exists) {
      SetMissingError(resolved);
      return false;
    }
    native = std::move(resolved.native);
    fd = OpenRetrying(native, O_RDONLY | O_NONBLOCK);
  }
  // The probe descriptor holds a shared lock until the unlink is done, so an
  // exclusive open cannot slip in between.
  if (fd >= 0) {
    struct stat info {};
    uint32_t refusal = kErrorSuccess;
    if (::fstat(fd, &info) == 0 && (S_ISDIR(info.st_mode) || IsReadOnlyMode(info.st_mode))) {
      refusal = kErrorAccessDenied;
    } else if (!TakeShareLock(fd, Sharing::kShared)) {
      refusal = kErrorSharingViolation;
    }
    if (refusal != kErrorSuccess) {
      ::close(fd);
      SetLastError(refusal);
      return false;
    }
  }
  const int error = UnlinkEntry(native);
  if (fd >= 0) ::close(fd);
  if (error == 0) {
    SetLastError(kErrorSuccess);
    return true;
  }
  SetLastErrorFromErrno(error);
  return false;
}

bool DeleteHeldFile(File* held, std::string_view path) {
  std::string native = SpelledNativePath(path);
  // An injected failure is left for DeleteFile, which callers fall back to.
  if (FaultArmed(FaultOp::kDelete, native)) return false;
  if (!held->valid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  int error = UnlinkEntry(native);
  if (error == ENOENT) {
    ResolvedPath resolved = ResolvePath(path);
    if (!resolved.exists) {
      SetMissingError(resolved);
      return false;
    }
    error = UnlinkEntry(resolved.native);
  }
  if (error != 0) {
    SetLastErrorFromErrno(error);
    return false;
  }
  held->Close();
  SetLastError(kErrorSuccess);
  return true;
}

bool DeleteFileIfUnheld(std::string_view path, uint64_t written_before) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return false;
  }
  if (FaultFires(FaultOp::kDelete, resolved.native)) return false;
  const int fd = OpenRetrying(resolved.native, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  // Unlike TakeShareLock, a file system without flock counts as held here:
  // there nobody could tell a live holder from a dead one.
  int locked;
  while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  uint32_t refusal = kErrorSuccess;
  struct statx held {};
  struct statx named {};
  if (locked != 0) {
    refusal = kErrorSharingViolation;
  } else if (!StatDescriptor(fd, &held)) {
    refusal = GetLastError();
  } else if (!S_ISREG(held.stx_mode)) {
    refusal = kErrorAccessDenied;
  } else if (FileTimeFromTimespec(timespec{held.stx_mtime.tv_sec, held.stx_mtime.tv_nsec}) >=
             written_before) {
    refusal = kErrorFileExists;
  } else if (::statx(AT_FDCWD, resolved.native.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO, &named) != 0 ||
             !SameEntry(held, named)) {
    refusal = kErrorFileNotFound;  // someone else broke it and took its name meanwhile
  } else if (const int error = UnlinkEntry(resolved.native); error != 0) {
    SetLastErrorFromErrno(error);
    refusal = GetLastError();
  }
  ::close(fd);
  SetLastError(refusal);
  return refusal == kErrorSuccess;
}

bool CreateDirectory(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (FaultFires(FaultOp::kCreateDirectory, resolved.native)) return false;
  if (resolved.exists) {
    SetLastError(kErrorAlreadyExists);
    return false;
  }
  if (resolved.parent_missing || resolved.error != ENOENT) {
    SetMissingError(resolved);
    return false;
  }
  const mode_t mode = StoreDirectoryMode();
  if (::mkdir(resolved.native.c_str(), mode) == 0) {
    if (UmaskMayNarrow(mode)) ::chmod(resolved.native.c_str(), mode);
    SetLastError(kErrorSuccess);
    return true;
  }
  SetLastErrorFromErrno(errno, ErrnoContext{.exists_is_already_exists = true});
  return false;
}

bool RemoveDirectory(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return false;
  }
  if (!S_ISDIR(resolved.info.stx_mode)) {
    SetLastError(kErrorDirectoryName);
    return false;
  }
  if (::rmdir(resolved.native.c_str()) == 0) {
    SetLastError(kErrorSuccess);
    return true;
  }
  // Some file systems say EEXIST for a directory that still has entries.
  SetLastErrorFromErrno(errno == EEXIST ? ENOTEMPTY : errno);
  return false;
}

bool MoveFile(std::string_view from, std::string_view to) { return MoveFileEx(from, to, false); }

bool ReplaceWithWrittenFile(File* written, std::string_view from, std::string_view to) {
  if (!written->Close()) return false;
  const std::string source = SpelledNativePath(from);
  const ResolvedPath target = ResolvePath(to);
  if (FaultFires(FaultOp::kMove, source) || FaultFires(FaultOp::kMove, target.native)) return false;
  const bool plain_target = !target.exists || S_ISREG(target.info.stx_mode);
  if (target.exists && plain_target && HeldExclusively(target.native)) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  if (plain_target && !target.parent_missing && RenameEntry(source, target.native) == 0) {
    SetLastError(kErrorSuccess);
    return true;
  }
  return MoveFileEx(from, to, true);
}

bool PlaceWrittenFileAsNew(File* written, std::string_view from, std::string_view to) {
  if (!written->Close()) return false;
  if (FaultFires(FaultOp::kMove, SpelledNativePath(from)) ||
      FaultFires(FaultOp::kMove, SpelledNativePath(to))) {
    return false;
  }
  const std::string source = NativePathWithNameAsSpelled(from);
  const std::string target = NativePathWithNameAsSpelled(to);
  const int error = RenameNoReplace(source, target, false);
  if (error != 0) {
    SetLastErrorFromErrno(error);
    return false;
  }
  RecordRenamed(source, target, SavedEntry{});
  SetLastError(kErrorSuccess);
  return true;
}

bool MoveFileEx(std::string_view from, std::string_view to, bool replace) {
  const ResolvedPath source = ResolvePath(from);
  ResolvedPath target = ResolvePath(to);
  if (FaultFires(FaultOp::kMove, source.native) || FaultFires(FaultOp::kMove, target.native)) {
    return false;
  }
  if (!source.exists) {
    SetMissingError(source);
    return false;
  }
  const bool source_is_directory = S_ISDIR(source.info.stx_mode);
  if (!source_is_directory && HeldExclusively(source.native)) {
    SetLastError(kErrorSharingViolation);
    return false;
  }
  int error = 0;
  if (target.exists && SameEntry(source.info, target.info)) {
    // Another spelling of the same entry: the move changes its spelling.
    const std::string respelled = ParentOf(target.native) + std::string(LastComponent(to));
    if (respelled != source.native) error = RenameEntry(source.native, respelled);
  } else if (target.exists) {
    if (!replace) {
      error = EEXIST;
    } else if (S_ISDIR(target.info.stx_mode) || source_is_directory) {
      error = EACCES;
    } else if (HeldExclusively(target.native)) {
      SetLastError(kErrorSharingViolation);
      return false;
    } else {
      error = RenameEntry(source.native, target.native);
    }
  } else if (target.parent_missing || target.error != ENOENT) {
    SetMissingError(target);
    return false;
  } else {
    error = RenameNoReplace(source.native, target.native, source_is_directory);
    if (error == 0) RecordRenamed(source.native, target.native, SavedEntry{});
  }
  if (error == EXDEV) return MoveAcrossDevices(from, to, source, replace);
  if (error != 0) {
    SetLastErrorFromErrno(error, ErrnoContext{.exists_is_already_exists = true});
    return false;
  }
  SetLastError(kErrorSuccess);
  return true;
}

bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists) {
  return CopyFileWithTime(from, to, fail_if_exists);
}

bool CopyOpenFile(const File& from, File* to, CopiedTime time) {
  struct statx source_info {};
  if (!StatDescriptor(from.fd(), &source_info)) return false;
  if (FaultFiresForDescriptor(FaultOp::kWrite, to->fd())) return false;
  if (PowerLossTracking()) NoteWriting(to->fd());
  if (::lseek(from.fd(), 0, SEEK_SET) < 0 || !CopyContents(from.fd(), to->fd())) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  RecordStep(DurabilityStep::kWrite);
  if (time == CopiedTime::kNow) return true;
  const FileTimes source_times = TimesFromStatx(source_info, FileRef{.fd = from.fd()});
  return to->SetTimes(FileTimes{.last_write = source_times.last_write});
}

bool CopyFileRange(const File& from, uint64_t offset, uint64_t length, File* to) {
  if (FaultFiresForDescriptor(FaultOp::kWrite, to->fd())) return false;
  if (PowerLossTracking()) NoteWriting(to->fd());
  auto in_offset = static_cast<off_t>(offset);
  uint64_t left = length;
  while (left > 0) {
    const ssize_t copied = ::copy_file_range(from.fd(), &in_offset, to->fd(), nullptr, left, 0);
    if (copied > 0) {
      left -= static_cast<uint64_t>(copied);
      continue;
    }
    if (copied == 0) {
      SetLastError(kErrorHandleEof);
      return false;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    SetLastErrorFromErrno(errno);
    return false;
  }
  // Where the kernel refuses, the rest goes through a buffer.
  char buffer[65536];
  while (left > 0) {
    const int64_t got =
        from.ReadAt(static_cast<uint64_t>(in_offset), buffer, std::min<uint64_t>(left, sizeof buffer));
    if (got < 0) return false;
    if (got == 0) {
      SetLastError(kErrorHandleEof);
      return false;
    }
    if (!to->Write(buffer, static_cast<size_t>(got))) return false;
    in_offset += got;
    left -= static_cast<uint64_t>(got);
  }
  RecordStep(DurabilityStep::kWrite);
  return true;
}

bool GetFileTimes(std::string_view path, FileTimes* times) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return false;
  }
  *times = TimesFromStatx(resolved.info, FileRef{.native_path = resolved.native.c_str()});
  return true;
}

bool SetFileTimes(std::string_view path, const FileTimes& times) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return false;
  }
  struct timespec stamps[2];
  FillTimespecs(times, stamps);
  if (::utimensat(AT_FDCWD, resolved.native.c_str(), stamps, 0) == 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

int64_t GetFileSize(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) {
    SetMissingError(resolved);
    return -1;
  }
  return S_ISDIR(resolved.info.stx_mode) ? 0 : static_cast<int64_t>(resolved.info.stx_size);
}

bool OverwriteFile(std::string_view path, std::string_view bytes) {
  File file = File::Open(path, Access::kWrite, Disposition::kOpenAlways);
  if (!file.valid() || !file.Write(bytes)) return false;
  const int64_t length = static_cast<int64_t>(bytes.size());
  if (file.Size() > length && !file.Truncate(length)) return false;
  return file.Close();
}

bool ReadWholeFile(std::string_view path, std::string* contents, size_t room) {
  File file = File::Open(path, Access::kRead, Disposition::kOpenExisting);
  return file.valid() && ReadWholeOpenFile(&file, contents, room);
}

bool ReadWholeOpenFile(File* file, std::string* contents, size_t room) {
  // Read straight into the string, sized for the file as it is now; a file
  // that grows meanwhile is read on to its end.
  const int64_t size = file->Size();
  const size_t expected = size > 0 ? static_cast<size_t>(size) : 0;
  size_t filled = 0;
  contents->clear();
  contents->reserve(expected + room);
  contents->resize(expected);
  while (true) {
    if (filled == contents->size()) contents->resize(filled + 65536);
    const int64_t got = file->Read(contents->data() + filled, contents->size() - filled);
    if (got < 0) return false;
    if (got == 0) {
      contents->resize(filled);
      return true;
    }
    filled += static_cast<size_t>(got);
  }
}

}  // namespace qx::platform
