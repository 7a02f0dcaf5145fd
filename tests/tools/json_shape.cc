#include "json_shape.h"

#include <cctype>
#include <cstring>

namespace qx::test {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  // Parses one value; `kind` gets its first byte ('{', '[', '"', ...).
  bool Value(char* kind = nullptr) {
    Blanks();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (kind != nullptr) *kind = c;
    if (c == '{') return Object();
    if (c == '[') return Array(nullptr);
    if (c == '"') return String();
    if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return Number();
    return Word("true") || Word("false") || Word("null");
  }

  bool Array(bool* all_objects) {
    ++at_;
    Blanks();
    if (Take(']')) return true;
    do {
      char kind = 0;
      if (!Value(&kind)) return false;
      if (all_objects != nullptr && kind != '{') *all_objects = false;
      Blanks();
    } while (Take(','));
    return Take(']');
  }

  bool Object() {
    ++at_;
    Blanks();
    if (Take('}')) return true;
    do {
      Blanks();
      if (at_ >= text_.size() || text_[at_] != '"' || !String()) return false;
      Blanks();
      if (!Take(':') || !Value()) return false;
      Blanks();
    } while (Take(','));
    return Take('}');
  }

  bool AtEnd() {
    Blanks();
    return at_ == text_.size();
  }

  void Blanks() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) != nullptr) ++at_;
  }

  size_t at_ = 0;

 private:
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool String() {
    ++at_;
    while (at_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at_ >= text_.size() || std::strchr("\"\\/bfnrtu", text_[at_]) == nullptr) return false;
        if (text_[at_] == 'u') {
          for (int i = 1; i <= 4; ++i) {
            if (at_ + i >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_ + i]))) {
              return false;
            }
          }
          at_ += 4;
        }
        ++at_;
      }
    }
    return false;
  }

  bool Number() {
    const size_t start = at_;
    if (text_[at_] == '-') ++at_;
    while (at_ < text_.size() && std::strchr("0123456789.eE+-", text_[at_]) != nullptr) ++at_;
    return at_ > start && std::isdigit(static_cast<unsigned char>(text_[at_ - 1]));
  }

  bool Word(const char* word) {
    if (text_.compare(at_, std::strlen(word), word) != 0) return false;
    at_ += std::strlen(word);
    return true;
  }

  const std::string& text_;
};

}  // namespace

bool IsJson(const std::string& text) {
  Parser parser(text);
  return parser.Value() && parser.AtEnd();
}

bool IsArrayOfObjects(const std::string& text) {
  Parser parser(text);
  parser.Blanks();
  if (parser.at_ >= text.size() || text[parser.at_] != '[') return false;
  bool all_objects = true;
  return parser.Array(&all_objects) && parser.AtEnd() && all_objects;
}

bool IsJsonError(const std::string& text) {
  return IsJson(text) && text.rfind("{\"error\": \"", 0) == 0 &&
         text.find("\", ") == std::string::npos && text.find('\n') == text.size() - 1;
}

}  // namespace qx::test
