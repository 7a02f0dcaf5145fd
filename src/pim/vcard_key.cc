#include "pim/vcard_key.h"

namespace qx {

namespace {

bool IsBlankedControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 32 && c != '\t' && c != '\r' && c != '\n';
}

}  // namespace

void BlankControlBytes(std::string* text) {
  for (char& c : *text) {
    if (IsBlankedControl(c)) c = ' ';
  }
}

std::string AttributeNameOfKey(std::string_view key) {
  std::string name(key);
  for (char& c : name) {
    if (c == ';') c = '_';
  }
  for (char& c : name) {
    if (c == '=') c = '-';
  }
  BlankControlBytes(&name);
  return name;
}

std::string KeyOfAttributeName(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    if (c == '_') {
      c = ';';
    } else if (c == '-') {
      c = '=';
    }
  }
  return key;
}

std::string_view PropertyNameOfKey(std::string_view key) { return key.substr(0, key.find(';')); }

}  // namespace qx
