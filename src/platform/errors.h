#pragma once
// Last-error codes in the original platform's numbering, kept per thread.
// Every platform call that can fail sets the calling thread's last error.

#include <cstdint>

namespace qx::platform {

enum ErrorCode : uint32_t {
  kErrorSuccess = 0,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorNoMoreFiles = 18,
  kErrorSharingViolation = 32,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorDiskFull = 112,
  kErrorInvalidName = 123,
  kErrorDirNotEmpty = 145,
  kErrorAlreadyExists = 183,
  kErrorTimeout = 1460,
  kErrorWouldBlock = 10035,
};

uint32_t GetLastError();
void SetLastError(uint32_t code);

// Translates an errno value into the original numbering, stores it as the
// thread's last error and returns it. The one place errno is mapped.
uint32_t SetLastErrorFromErrno(int err);
uint32_t ErrorFromErrno(int err);

}  // namespace qx::platform
