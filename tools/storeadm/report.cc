#include "report.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "json_text.h"
#include "command.h"
#include "platform/errors.h"
#include "platform/standard_output.h"

namespace qx::storeadm {
namespace {

bool g_json = false;
bool g_reported = false;

std::string Format(const char* format, va_list args) {
  char text[2048];
  std::vsnprintf(text, sizeof text, format, args);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (char& c : line) {
    if (c == '\n') c = ' ';
  }
  return line;
}

void Print(const std::string& line) {
  if (g_reported) return;
  g_reported = true;
  if (g_json) {
    std::fprintf(stderr, "{\"error\": %s}\n", JsonString(line).c_str());
  } else {
    std::fprintf(stderr, "storeadm: %s\n", line.c_str());
  }
  std::fflush(stderr);
}

}  // namespace

void SetJsonErrors(bool json) { g_json = json; }

bool JsonErrors() { return g_json; }

void ReportError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = Format(format, args);
  va_end(args);
  Print(line);
}

int Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = Format(format, args);
  va_end(args);
  Print(line);
  return kExitFailure;
}

bool ErrorReported() { return g_reported; }

bool FlushStandardOutputOrReport() {
  if (platform::FlushStandardOutput()) return true;
  const std::string reason = LastErrorText();
  const std::string target = platform::StandardOutputTarget();
  ReportError("cannot write standard output%s: %s",
              target.empty() ? "" : (" (" + target + ")").c_str(), reason.c_str());
  return false;
}

std::string ErrorText(uint32_t code) {
  const char* words = nullptr;
  switch (code) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound: words = "No such file or directory"; break;
    case platform::kErrorAccessDenied: words = "Permission denied"; break;
    case platform::kErrorSharingViolation: words = "in use by another process"; break;
    case platform::kErrorFileExists:
    case platform::kErrorAlreadyExists: words = "File exists"; break;
    case platform::kErrorDiskFull: words = "No space left on device"; break;
    case platform::kErrorNotReady: words = "the device is not ready"; break;
    case platform::kErrorIoDevice: words = "Input/output error"; break;
    case platform::kErrorDirNotEmpty: words = "Directory not empty"; break;
    case platform::kErrorFileTooLarge: words = "File too large"; break;
    default: break;
  }
  const std::string number = "error " + std::to_string(code);
  return words != nullptr ? std::string(words) + " (" + number + ")" : number;
}

std::string Because(uint32_t code) {
  return code == platform::kErrorSuccess ? std::string() : " (" + ErrorText(code) + ")";
}

std::string LastErrorText() { return ErrorText(platform::GetLastError()); }

}  // namespace qx::storeadm
