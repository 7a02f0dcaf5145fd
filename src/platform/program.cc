#include "platform/program.h"

#include <unistd.h>

#include <cstdlib>

namespace qx::platform {

namespace {

bool HasExtension(const std::string& path) {
  return FileNamePart(path).find('.') != std::string::npos;
}

}  // namespace

std::string ExecutablePath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<size_t>(length));
}

std::string MainModulePath() {
  const char* configured = std::getenv("QXSTORE_PROGRAM");
  if (configured != nullptr && configured[0] != '\0') return configured;
  std::string path = ExecutablePath();
  // The server's own programs are known by their original names, which end
  // in ".EXE"; the host check compares without regard to case.
  if (!path.empty() && !HasExtension(path)) path += ".EXE";
  return path;
}

std::string FileNamePart(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace qx::platform
