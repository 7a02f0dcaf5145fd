#include "json_text.h"

#include <cstdio>
#include <string>

#include "platform/utf8_code_point.h"

namespace qx::storeadm {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  char escaped[8];
  for (size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    const size_t start = at;
    char32_t code_point = 0;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++at;
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
      ++at;
    } else if (c < 0x20) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
      ++at;
    } else if (platform::NextUtf8CodePoint(text, &at, &code_point)) {
      out.append(text, start, at - start);
    } else {
      // A byte that is not UTF-8 (a Latin-1 header, a binary part) stands
      // for the character of its value, so the output stays JSON.
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
      ++at;
    }
  }
  return out + "\"";
}

}  // namespace qx::storeadm

namespace qx::storeadm {

void JsonObject::Key(const char* key) {
  if (!members_.empty()) members_ += ", ";
  members_ += JsonString(key) + ": ";
}

JsonObject& JsonObject::Add(const char* key, const std::string& text) {
  Key(key);
  members_ += JsonString(text);
  return *this;
}

JsonObject& JsonObject::AddNumber(const char* key, int64_t number) {
  Key(key);
  members_ += std::to_string(number);
  return *this;
}

JsonObject& JsonObject::AddBool(const char* key, bool value) {
  Key(key);
  members_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddRaw(const char* key, const std::string& json) {
  Key(key);
  members_ += json;
  return *this;
}

std::string JsonArray(const std::vector<JsonObject>& objects) {
  std::string text = "[";
  for (size_t i = 0; i < objects.size(); ++i) {
    text += (i == 0 ? "" : ",\n ") + objects[i].Text();
  }
  return text + "]";
}

void PrintJsonArray(const std::vector<JsonObject>& objects) {
  std::printf("%s\n", JsonArray(objects).c_str());
}

}  // namespace qx::storeadm
