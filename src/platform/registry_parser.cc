#include "platform/registry_parser.h"

#include <cstdint>
#include <optional>

#include "platform/text_compare.h"
#include "platform/utf16_text.h"

namespace qx::platform {

namespace {

constexpr std::string_view kVersion4Header = "REGEDIT4";
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";

enum class FileVersion { k4, k5 };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// UTF-16LE with its byte-order mark becomes UTF-8; 8-bit text is kept as it
// is, without a UTF-8 byte-order mark.
std::string DecodeFileText(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

// Lines end with CR LF, LF or CR.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::optional<uint64_t> ParseHexNumber(std::string_view digits, size_t max_digits) {
  if (digits.empty() || digits.size() > max_digits) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return value;
}

// Reads the quoted text at the start of `text` with its \\ and \" escapes;
// `rest` is what follows the closing quote. Nullopt when it is not closed.
std::optional<std::string> ReadQuoted(std::string_view text, std::string_view* rest) {
  std::string value;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
      value.push_back(text[++i]);
    } else if (c == '"') {
      *rest = text.substr(i + 1);
      return value;
    } else {
      value.push_back(c);
    }
  }
  return std::nullopt;
}

std::optional<RegistryRoot> ParseRootName(std::string_view name) {
  if (EqualsNoCase(name, "HKEY_LOCAL_MACHINE")) return RegistryRoot::kLocalMachine;
  if (EqualsNoCase(name, "HKEY_CURRENT_USER")) return RegistryRoot::kCurrentUser;
  return std::nullopt;
}

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// String data is served narrow, as the ANSI registry calls give it: a
// Version 5 file holds it as UTF-16LE, a REGEDIT4 file as 8-bit text. It
// always ends in its NUL (two for a multi-string).
std::vector<uint8_t> NarrowStringData(uint32_t type, std::vector<uint8_t> bytes,
                                      FileVersion version) {
  if (version == FileVersion::k5) {
    const std::string text = Utf16LeToUtf8(bytes.data(), bytes.size());
    bytes.assign(text.begin(), text.end());
  }
  if (bytes.empty() || bytes.back() != 0) bytes.push_back(0);
  if (type == kRegMultiSz && bytes.size() >= 2 && bytes[bytes.size() - 2] != 0) bytes.push_back(0);
  return bytes;
}

void DeleteKeyTree(RegistryKeyMap* keys, const std::string& folded_path) {
  if (folded_path.empty()) {
    keys->clear();
    return;
  }
  keys->erase(folded_path);
  const std::string prefix = folded_path + '\\';
  auto it = keys->lower_bound(prefix);
  while (it != keys->end() && it->first.compare(0, prefix.size(), prefix) == 0) {
    it = keys->erase(it);
  }
}

struct ValueLine {
  std::string name;
  bool remove = false;
  RegistryValue value;
};

class RegistryTextParser {
 public:
  RegistryTextParser(std::vector<std::string_view> lines, RegistrySnapshot* out)
      : lines_(std::move(lines)), out_(out) {}

  void Run() {
    if (!ReadHeader()) return;
    while (next_ < lines_.size()) {
      line_number_ = static_cast<int>(next_) + 1;
      const std::string_view line = Trim(lines_[next_++]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        ParseKeyLine(line);
      } else if (line.front() == '"' || line.front() == '@') {
        ParseValueLine(line);
      } else {
        Warn("unrecognised line");
      }
    }
  }

 private:
  enum class KeyState { kNone, kIgnored, kKey };

  bool ReadHeader() {
    line_number_ = 1;
    const std::string_view header = lines_.empty() ? std::string_view() : Trim(lines_[0]);
    next_ = 1;
    if (header == kVersion5Header) {
      version_ = FileVersion::k5;
      return true;
    }
    if (header == kVersion4Header) {
      version_ = FileVersion::k4;
      return true;
    }
    Warn("not a registry file: the first line must be \"REGEDIT4\" or "
         "\"Windows Registry Editor Version 5.00\"");
    return false;
  }

  void ParseKeyLine(std::string_view line) {
    // Values under a key line that cannot be used are skipped with it.
    state_ = KeyState::kIgnored;
    current_ = nullptr;
    if (line.size() < 2 || line.back() != ']') {
      Warn("key line without closing ']'");
      return;
    }
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    const size_t separator = inner.find('\\');
    const std::string_view root_name = inner.substr(0, separator);
    const std::optional<RegistryRoot> root = ParseRootName(root_name);
    if (!root) {
      Warn("unsupported root key \"" + std::string(root_name) + "\"");
      return;
    }
    const std::string path =
        NormaliseKeyPath(separator == std::string_view::npos ? "" : inner.substr(separator + 1));
    RegistryKeyMap& keys = out_->keys(*root);
    if (remove) {
      DeleteKeyTree(&keys, UpperCased(path));
      return;
    }
    auto [it, inserted] = keys.try_emplace(UpperCased(path));
    if (inserted) it->second.path = path;
    current_ = &it->second;
    state_ = KeyState::kKey;
  }

  void ParseValueLine(std::string_view line) {
    std::optional<ValueLine> parsed = ParseValue(line);
    if (!parsed) return;
    if (state_ == KeyState::kNone) {
      Warn("value outside a key");
      return;
    }
    if (state_ == KeyState::kIgnored) return;
    auto& values = current_->values;
    auto existing = values.begin();
    while (existing != values.end() && !EqualsNoCase(existing->first, parsed->name)) ++existing;
    if (parsed->remove) {
      if (existing != values.end()) values.erase(existing);
    } else if (existing != values.end()) {
      existing->second = std::move(parsed->value);
    } else {
      values.emplace_back(std::move(parsed->name), std::move(parsed->value));
    }
  }

  std::optional<ValueLine> ParseValue(std::string_view line) {
    ValueLine parsed;
    std::string_view rest;
    if (line.front() == '@') {
      rest = line.substr(1);
    } else {
      std::optional<std::string> name = ReadQuoted(line, &rest);
      if (!name) return Fail("value name without closing quote");
      parsed.name = std::move(*name);
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return Fail("missing '=' after the value name");
    std::string_view data = Trim(rest.substr(1));
    if (data == "-") {
      parsed.remove = true;
      return parsed;
    }
    if (!data.empty() && data.front() == '"') {
      if (!ParseStringData(data, &parsed.value)) return std::nullopt;
    } else if (StartsWithNoCase(data, "dword:")) {
      if (!ParseDwordData(data.substr(6), &parsed.value)) return std::nullopt;
    } else if (StartsWithNoCase(data, "hex")) {
      const std::string joined = JoinContinuationLines(data);
      if (!ParseHexData(std::string_view(joined).substr(3), &parsed.value)) return std::nullopt;
    } else {
      return Fail("unrecognised value data");
    }
    return parsed;
  }

  bool ParseStringData(std::string_view data, RegistryValue* value) {
    std::string_view rest;
    std::optional<std::string> text = ReadQuoted(data, &rest);
    if (!text) return Warn("string without closing quote");
    if (!Trim(rest).empty()) return Warn("text after the closing quote");
    value->type = kRegSz;
    value->data.assign(text->begin(), text->end());
    value->data.push_back(0);
    return true;
  }

  bool ParseDwordData(std::string_view digits, RegistryValue* value) {
    const std::optional<uint64_t> number = ParseHexNumber(Trim(digits), 8);
    if (!number) return Warn("a dword needs 1 to 8 hexadecimal digits");
    value->type = kRegDword;
    for (int i = 0; i < 4; ++i) value->data.push_back(static_cast<uint8_t>(*number >> (8 * i)));
    return true;
  }

  // Long byte lists go on over several lines, each but the last ending in '\'.
  std::string JoinContinuationLines(std::string_view first) {
    std::string joined(first);
    while (!joined.empty() && joined.back() == '\\' && next_ < lines_.size()) {
      joined.pop_back();
      joined += Trim(lines_[next_++]);
    }
    return joined;
  }

  // `text` follows "hex": ":bytes" or "(type):bytes".
  bool ParseHexData(std::string_view text, RegistryValue* value) {
    uint32_t type = kRegBinary;
    if (!text.empty() && text.front() == '(') {
      const size_t close = text.find(')');
      const std::optional<uint64_t> number =
          close == std::string_view::npos ? std::nullopt : ParseHexNumber(text.substr(1, close - 1), 8);
      if (!number) return Warn("bad type in hex(...)");
      type = static_cast<uint32_t>(*number);
      text.remove_prefix(close + 1);
    }
    if (text.empty() || text.front() != ':') return Warn("missing ':' after hex");
    std::vector<uint8_t> bytes;
    if (!ParseByteList(text.substr(1), &bytes)) return false;
    if (type == kRegQword && bytes.size() != 8) return Warn("a qword needs 8 bytes");
    value->type = type;
    value->data = IsStringType(type) ? NarrowStringData(type, std::move(bytes), version_)
                                     : std::move(bytes);
    return true;
  }

  bool ParseByteList(std::string_view list, std::vector<uint8_t>* bytes) {
    size_t start = 0;
    while (start <= list.size()) {
      size_t comma = list.find(',', start);
      if (comma == std::string_view::npos) comma = list.size();
      const std::string_view token = Trim(list.substr(start, comma - start));
      start = comma + 1;
      if (token.empty()) continue;
      const std::optional<uint64_t> byte = ParseHexNumber(token, 2);
      if (!byte) return Warn("bad hex byte \"" + std::string(token) + "\"");
      bytes->push_back(static_cast<uint8_t>(*byte));
    }
    return true;
  }

  bool Warn(std::string message) {
    out_->warnings.push_back(RegistryWarning{line_number_, std::move(message)});
    return false;
  }

  std::nullopt_t Fail(std::string message) {
    Warn(std::move(message));
    return std::nullopt;
  }

  std::vector<std::string_view> lines_;
  RegistrySnapshot* out_;
  size_t next_ = 0;
  int line_number_ = 0;
  FileVersion version_ = FileVersion::k5;
  KeyState state_ = KeyState::kNone;
  RegistryKey* current_ = nullptr;
};

}  // namespace

std::string NormaliseKeyPath(std::string_view path) {
  std::string normalised;
  size_t start = 0;
  while (start <= path.size()) {
    size_t separator = path.find('\\', start);
    if (separator == std::string_view::npos) separator = path.size();
    if (separator > start) {
      if (!normalised.empty()) normalised += '\\';
      normalised += path.substr(start, separator - start);
    }
    start = separator + 1;
  }
  return normalised;
}

const RegistryKey* FindRegistryKey(const RegistrySnapshot& snapshot, RegistryRoot root,
                                   std::string_view key) {
  const RegistryKeyMap& keys = snapshot.keys(root);
  auto it = keys.find(UpperCased(NormaliseKeyPath(key)));
  return it == keys.end() ? nullptr : &it->second;
}

bool RegistryKeyExistsIn(const RegistrySnapshot& snapshot, RegistryRoot root,
                         std::string_view key) {
  const std::string folded = UpperCased(NormaliseKeyPath(key));
  if (folded.empty()) return true;
  const RegistryKeyMap& keys = snapshot.keys(root);
  if (keys.count(folded) != 0) return true;
  const std::string prefix = folded + '\\';
  auto it = keys.lower_bound(prefix);
  return it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

const RegistryValue* FindRegistryValue(const RegistryKey& key, std::string_view name) {
  for (const auto& [value_name, value] : key.values) {
    if (EqualsNoCase(value_name, name)) return &value;
  }
  return nullptr;
}

std::vector<std::string> RegistrySubKeyNames(const RegistrySnapshot& snapshot, RegistryRoot root,
                                             std::string_view key) {
  const std::string folded = UpperCased(NormaliseKeyPath(key));
  const std::string prefix = folded.empty() ? std::string() : folded + '\\';
  const RegistryKeyMap& keys = snapshot.keys(root);
  std::map<std::string, std::string> names;  // folded -> as written
  for (auto it = keys.lower_bound(prefix);
       it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (it->first.size() == prefix.size()) continue;  // the root key itself
    const size_t end = it->first.find('\\', prefix.size());
    const size_t length = (end == std::string::npos ? it->first.size() : end) - prefix.size();
    names.try_emplace(it->first.substr(prefix.size(), length),
                      it->second.path.substr(prefix.size(), length));
  }
  std::vector<std::string> result;
  result.reserve(names.size());
  for (auto& [folded_name, name] : names) result.push_back(std::move(name));
  return result;
}

std::vector<RegistryWarning> ParseRegistryText(std::string_view bytes, RegistrySnapshot* out) {
  *out = RegistrySnapshot();
  const std::string text = DecodeFileText(bytes);
  RegistryTextParser(SplitLines(text), out).Run();
  return out->warnings;
}

}  // namespace qx::platform
