// The option provider's entries, as the store library looks them up.

#include <cstring>
#include <optional>
#include <string>

#include "options_file.h"
#include "options_text.h"
#include "qxaiso.h"

#define QXAISO_EXPORT __attribute__((visibility("default")))

namespace {

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

// The option's value when it has a non-empty one.
std::optional<std::string> LookUp(int scope, const char* name, const char* option) {
  if (name == nullptr || option == nullptr) return std::nullopt;
  std::optional<std::string> section = qxaiso::SectionFor(scope, name);
  if (!section) return std::nullopt;
  std::string text;
  if (!qxaiso::ReadOptionsFile(qxaiso::OptionsFilePath(), &text)) return std::nullopt;
  std::optional<std::string> value = qxaiso::FindOption(text, *section, option);
  if (!value || value->empty()) return std::nullopt;
  return value;
}

int CopyAnswer(const std::string& value, char* out, size_t out_size) {
  if (value.size() + 1 > out_size) return 0;
  std::memcpy(out, value.c_str(), value.size() + 1);
  return 1;
}

}  // namespace

extern "C" {

QXAISO_EXPORT int GetOption(int scope, const char* name, const char* option, char* out) {
  if (out == nullptr) return 0;
  std::optional<std::string> value = LookUp(scope, name, option);
  return value ? CopyAnswer(*value, out, QXAISO_VALUE_SIZE) : 0;
}

QXAISO_EXPORT int GetOption_Ex(int scope, const char* name, const char* option, char* out,
                               int out_size) {
  if (out == nullptr || out_size <= 0) return 0;
  std::optional<std::string> value = LookUp(scope, name, option);
  return value ? CopyAnswer(*value, out, static_cast<size_t>(out_size)) : 0;
}

QXAISO_EXPORT int SetOption(int scope, const char* name, const char* option, const char* value) {
  if (name == nullptr || option == nullptr) return 0;
  if (value == nullptr) value = "";
  if (std::strchr(name, ']') != nullptr || HasLineBreak(name) || *option == '\0' ||
      std::strchr(option, '=') != nullptr || HasLineBreak(option) || HasLineBreak(value)) {
    return 0;
  }
  std::optional<std::string> section = qxaiso::SectionFor(scope, name);
  if (!section) return 0;
  std::string path = qxaiso::OptionsFilePath();
  qxaiso::OptionsFileLock lock(path);
  if (!lock.held()) return 0;
  std::string text;
  if (!qxaiso::ReadOptionsFile(path, &text)) return 0;
  std::string trimmed_value = value;
  while (!trimmed_value.empty() && (trimmed_value.back() == ' ' || trimmed_value.back() == '\t')) {
    trimmed_value.pop_back();
  }
  size_t first = trimmed_value.find_first_not_of(" \t");
  trimmed_value = first == std::string::npos ? std::string() : trimmed_value.substr(first);
  std::string updated = qxaiso::WithOption(text, *section, option, trimmed_value);
  return qxaiso::ReplaceOptionsFile(path, updated) ? 1 : 0;
}

}  // extern "C"
