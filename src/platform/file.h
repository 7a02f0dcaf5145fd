#pragma once
// Files and directories as the store uses them. Paths are store paths (see
// path_resolver.h). Every failure sets the thread's last error (errors.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
};

// kExclusive is the original "no sharing": the handle holds an flock, and
// while it is held, opens and deletes from elsewhere fail with 32.
enum class Sharing { kShared, kExclusive };

struct FileTimes {
  uint64_t creation = 0;
  uint64_t last_access = 0;
  uint64_t last_write = 0;
};

// An open file. Move-only; closes on destruction.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An invalid File on failure, with the last error set.
  static File Open(std::string_view path, Access access, Disposition disposition,
                   Sharing sharing = Sharing::kShared);

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Bytes read (0 at the end), or -1 on failure.
  int64_t Read(void* buffer, size_t count);
  // Writes all bytes; false on failure (a full disk gives 112).
  bool Write(const void* data, size_t count);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  bool Seek(int64_t offset);
  bool Truncate(int64_t length);
  bool Flush();
  int64_t Size() const;  // -1 on failure
  bool GetTimes(FileTimes* times) const;
  // Times of 0 are left unchanged, as the original did with null pointers.
  bool SetTimes(const FileTimes& times);
  // False (with the last error) when the close itself fails.
  bool Close();

  // Hands the open file over as a pointer-sized handle that callers keep in
  // their records (never 0), and takes one back. Release gives up ownership.
  uintptr_t ReleaseToHandle();
  static File FromHandle(uintptr_t handle);

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Attributes of a file or directory, kInvalidAttributes when it cannot be
// found.
uint32_t GetFileAttributes(std::string_view path);
bool SetFileAttributes(std::string_view path, uint32_t attributes);
bool IsDirectory(std::string_view path);

bool DeleteFile(std::string_view path);                   // 32 while held exclusively
bool CreateDirectory(std::string_view path);              // one level; 183 when present
bool RemoveDirectory(std::string_view path);              // empty directories only
bool MoveFile(std::string_view from, std::string_view to);  // 183 when `to` exists
// Like MoveFile; with replace an existing file at `to` is replaced.
bool MoveFileEx(std::string_view from, std::string_view to, bool replace);
// Copies the contents; with fail_if_exists an existing target gives 80.
bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists);

bool GetFileTimes(std::string_view path, FileTimes* times);
bool SetFileTimes(std::string_view path, const FileTimes& times);
int64_t GetFileSize(std::string_view path);  // -1 when missing

// Whole-file helpers; ReadWholeFile returns false when the file cannot be read.
bool ReadWholeFile(std::string_view path, std::string* contents);

}  // namespace qx::platform
