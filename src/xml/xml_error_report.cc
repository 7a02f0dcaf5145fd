#include "xml/xml_error_report.h"

#include <cstdio>
#include <string>

#include "platform/diagnostics.h"

namespace qx {

namespace {

constexpr uint32_t kSystemErrorFacility = 0x80070000;

struct KnownMeaning {
  uint32_t system_error;
  const char* text;
};

constexpr KnownMeaning kMeanings[] = {
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {32, "The process cannot access the file because it is being used by another process."},
    {80, "The file exists."},
    {112, "There is not enough space on the disk."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {183, "Cannot create a file when that file already exists."},
};

}  // namespace

uint32_t ErrorCodeFromSystemError(uint32_t system_error) {
  return system_error == 0 ? 0x80004005u : (kSystemErrorFacility | (system_error & 0xFFFF));
}

std::string ErrorCodeMeaning(uint32_t code) {
  if ((code & 0xFFFF0000u) == kSystemErrorFacility) {
    for (const KnownMeaning& meaning : kMeanings) {
      if (meaning.system_error == (code & 0xFFFF)) return meaning.text;
    }
  }
  if (code == 0x80004005u) return "Unspecified error";
  char text[48];
  std::snprintf(text, sizeof text, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  return text;
}

void PrintXmlErrorBlock(uint32_t code, std::string_view source, std::string_view description) {
  platform::DiagPrintf("Error:\n");
  platform::DiagPrintf("Code = %08lx\n", static_cast<unsigned long>(code));
  platform::DiagPrintf("Code meaning = %s\n", ErrorCodeMeaning(code).c_str());
  if (!source.empty()) platform::DiagPrintf("Source = %s\n", std::string(source).c_str());
  if (!description.empty()) {
    platform::DiagPrintf("Error Description = %s\n", std::string(description).c_str());
  }
}

}  // namespace qx
