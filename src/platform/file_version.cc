#include "platform/file_version.h"

#include "platform/path_resolver.h"

namespace qx::platform {

std::optional<FileVersion> FileVersionOf(std::string_view path) {
  const ResolvedPath resolved = ResolvePath(path);
  if (!resolved.exists) return std::nullopt;
  return FileVersion{resolved.info.stx_ino, resolved.info.stx_mtime.tv_sec,
                     resolved.info.stx_mtime.tv_nsec};
}

}  // namespace qx::platform
