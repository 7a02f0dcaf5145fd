#pragma once
// Last-error codes in the original platform's numbering, kept per thread.
// Every platform call that can fail sets the calling thread's last error.

#include <cstdint>

namespace qx::platform {

enum ErrorCode : uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorNotSameDevice = 17,
  kErrorNoMoreFiles = 18,
  kErrorNotReady = 21,  // the device is not ready: the power is off (fault_injection.h)
  kErrorGenFailure = 31,
  kErrorSharingViolation = 32,
  kErrorHandleEof = 38,  // a file ended before the bytes asked for
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInvalidName = 123,
  kErrorDirNotEmpty = 145,
  kErrorAlreadyExists = 183,
  kErrorFileTooLarge = 223,
  kErrorDirectoryName = 267,
  kErrorIoDevice = 1117,
  kErrorTimeout = 1460,
  kErrorWouldBlock = 10035,
};

uint32_t GetLastError();
void SetLastError(uint32_t code);

// Holds the thread's last error from its making to its end, so that
// clean-up after a failure (a block released, a cache adjusted) leaves the
// failure's reason for the caller:
//   const platform::LastErrorKept reason;
//   ReleaseBlock(...);
class LastErrorKept {
 public:
  LastErrorKept() : error_(GetLastError()) {}
  ~LastErrorKept() { SetLastError(error_); }
  LastErrorKept(const LastErrorKept&) = delete;
  LastErrorKept& operator=(const LastErrorKept&) = delete;

 private:
  uint32_t error_;
};

// What a caller knows about a failed call that errno alone does not say.
struct ErrnoContext {
  // A component before the last one is missing: ENOENT becomes 3, not 2.
  bool parent_missing = false;
  // The call created a directory or moved an entry: EEXIST becomes 183, not 80.
  bool exists_is_already_exists = false;
};

// Translates an errno value into the original numbering, stores it as the
// thread's last error and returns it. The one place errno is mapped; socket
// errors take the socket library's numbers (10035 and up).
uint32_t SetLastErrorFromErrno(int err);
uint32_t SetLastErrorFromErrno(int err, ErrnoContext context);
uint32_t ErrorFromErrno(int err);
uint32_t ErrorFromErrno(int err, ErrnoContext context);

}  // namespace qx::platform
