// Arbitrary bytes as the option provider's options file, then one option set
// and read back through the provider's entries. Input: "file\0postoffice\0
// option\0value". For plain names and values, the option must read back as
// set (gone when set empty), and an option of another postoffice or name
// must keep its value.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "options/qxaiso.h"
#include "platform/text_compare.h"

namespace {

std::string g_options;

bool Plain(std::string_view text, std::string_view allowed_punctuation) {
  return !text.empty() && text.front() != ' ' && text.back() != ' ' &&
         std::all_of(text.begin(), text.end(), [&](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  allowed_punctuation.find(c) != std::string_view::npos;
         });
}

std::optional<std::string> Read(const std::string& name, const std::string& option) {
  char value[QXAISO_VALUE_SIZE];
  if (GetOption_Ex(QXAISO_SCOPE_POSTOFFICE, name.c_str(), option.c_str(), value, sizeof value) == 0) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_options = qx::fuzz::ScratchRoot() + "/options.ini";
  setenv("QXSTORE_OPTIONS", g_options.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 4);
  qx::fuzz::WriteBytes(g_options, parts[0]);
  const std::string name(parts[1]), option(parts[2]), value(parts[3]);
  const std::string probe_name = "MAIN", probe_option = "PostofficeRoot";
  const std::optional<std::string> probe_before = Read(probe_name, probe_option);

  const bool set = SetOption(QXAISO_SCOPE_POSTOFFICE, name.c_str(), option.c_str(), value.c_str()) != 0;
  if (!set) {
    if (qx::fuzz::ReadBytes(g_options) != parts[0]) __builtin_trap();
    return 0;
  }
  if (!Plain(name, " _.-") || !Plain(option, "_.-") || !(value.empty() || Plain(value, " _.-/"))) {
    return 0;
  }
  const std::optional<std::string> now = Read(name, option);
  if (value.empty() ? now.has_value() : now != value) __builtin_trap();
  const bool probe_touched = qx::platform::EqualsNoCase(name, probe_name) &&
                             qx::platform::EqualsNoCase(option, probe_option);
  if (!probe_touched && Read(probe_name, probe_option) != probe_before) __builtin_trap();
  return 0;
}
