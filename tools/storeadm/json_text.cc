#include "json_text.h"

#include <cstdio>
#include <string>

namespace qx::storeadm {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
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
