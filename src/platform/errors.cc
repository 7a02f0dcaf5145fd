#include "platform/errors.h"

#include <cerrno>

namespace qx::platform {
namespace {

// Set by nearly every call of the library: read from the thread block
// directly rather than through __tls_get_addr (a few bytes of the static
// block that the C library keeps for modules loaded later, too).
[[gnu::tls_model("initial-exec")]] thread_local uint32_t last_error = kErrorSuccess;

uint32_t SocketError(int err) {
  switch (err) {
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case EOPNOTSUPP: return 10045;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case EPIPE: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return 0;
  }
}

}  // namespace

uint32_t GetLastError() { return last_error; }

void SetLastError(uint32_t code) { last_error = code; }

uint32_t ErrorFromErrno(int err, ErrnoContext context) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return context.parent_missing ? kErrorPathNotFound : kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    // A FIFO without a reader opened for writing without waiting, or a
    // device that is not there: nothing the store may use.
    case ENXIO: return kErrorAccessDenied;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EEXIST:
      return context.exists_is_already_exists ? kErrorAlreadyExists : kErrorFileExists;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP: return kErrorInvalidName;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EFBIG: return kErrorFileTooLarge;
    case EAGAIN: return kErrorWouldBlock;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EXDEV: return kErrorNotSameDevice;
    case EIO: return kErrorIoDevice;
    default: break;
  }
  uint32_t socket_error = SocketError(err);
  return socket_error != 0 ? socket_error : kErrorGenFailure;
}

uint32_t ErrorFromErrno(int err) { return ErrorFromErrno(err, ErrnoContext{}); }

uint32_t SetLastErrorFromErrno(int err, ErrnoContext context) {
  last_error = ErrorFromErrno(err, context);
  return last_error;
}

uint32_t SetLastErrorFromErrno(int err) { return SetLastErrorFromErrno(err, ErrnoContext{}); }

}  // namespace qx::platform
