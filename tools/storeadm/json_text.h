#pragma once
// Text for the --json output of storeadm commands. Every data command
// prints one shape: an array of objects whose keys do not depend on the
// data ("[{...},\n {...}]"), so a reader handles all of them alike.

#include <cstdint>
#include <string>
#include <vector>

namespace qx::storeadm {

// `text` as a JSON string literal, quotes included; control bytes, and bytes
// that are not UTF-8 (taken as Latin-1), become \u escapes.
std::string JsonString(const std::string& text);

// One object, its members in the order they are added.
class JsonObject {
 public:
  JsonObject& Add(const char* key, const std::string& text);
  JsonObject& Add(const char* key, const char* text) { return Add(key, std::string(text)); }
  JsonObject& AddNumber(const char* key, int64_t number);
  JsonObject& AddBool(const char* key, bool value);
  // `json` is already JSON (an array, an object, null).
  JsonObject& AddRaw(const char* key, const std::string& json);
  std::string Text() const { return "{" + members_ + "}"; }

 private:
  void Key(const char* key);
  std::string members_;
};

// The array of the objects, one a line.
std::string JsonArray(const std::vector<JsonObject>& objects);

// Prints JsonArray(objects) and a line end to standard output.
void PrintJsonArray(const std::vector<JsonObject>& objects);

}  // namespace qx::storeadm
