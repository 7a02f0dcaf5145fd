#include "index/index_text.h"

#include <array>

#include "index/index_format.h"

namespace qx {

namespace {

enum class Context { kText, kAttribute };

// Control characters the serialiser writes as "&#NN;": in text all but tab,
// line feed and carriage return (the first two are written as they are;
// a raw carriage return would read back as a line feed); in attribute
// values all of them.
bool EscapedControl(unsigned code, Context context) {
  if (code == 0 || code >= 32) return false;
  if (context == Context::kAttribute) return true;
  return code != '\t' && code != '\n' && code != '\r';
}

// Bytes the serialiser writes unescaped in each context.
struct ByteTables {
  std::array<bool, 256> text{};
  std::array<bool, 256> attribute{};
  std::array<bool, 256> name{};
  std::array<bool, 256> name_start{};
  ByteTables() {
    for (unsigned c = 0; c < 256; ++c) {
      const bool control = c < 32;
      text[c] = !(control && c != '\t' && c != '\n') && c != '<' && c != '&' && c != '>';
      attribute[c] = !control && c != '"' && c != '&' && c != '<';
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      name_start[c] = letter || c == '_' || c == ':' || c >= 0x80;
      name[c] = name_start[c] || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
  }
};

const ByteTables kBytes;

bool IsWhitespace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n'; }

struct Attribute {
  std::string_view name;
  size_t value_begin = 0;
  size_t value_end = 0;
};

struct StartTag {
  std::string_view name;
  bool self_closed = false;
  std::vector<Attribute> attributes;

  const Attribute* Find(std::string_view wanted) const {
    for (const Attribute& attribute : attributes) {
      if (attribute.name == wanted) return &attribute;
    }
    return nullptr;
  }
};

class Recogniser {
 public:
  explicit Recogniser(std::string_view bytes) : s_(bytes) {}

  std::optional<IndexText> Run();

 private:
  unsigned char At(size_t at) const { return at < s_.size() ? static_cast<unsigned char>(s_[at]) : 0; }
  bool Name(std::string_view* name);
  bool Escape(Context context);
  bool ReadStartTag(StartTag* tag);
  bool ReadText(size_t* begin);
  bool OpenElement(IndexText* text, std::vector<std::string_view>* open);

  std::string_view s_;
  size_t p_ = 0;
  StartTag tag_;
  std::string_view* capture_ = nullptr;
  bool seen_flag_status_ = false;
  bool seen_read_ = false;
};

bool Recogniser::Name(std::string_view* name) {
  const size_t begin = p_;
  if (!kBytes.name_start[At(p_)]) return false;
  while (p_ < s_.size() && kBytes.name[At(p_)]) ++p_;
  *name = s_.substr(begin, p_ - begin);
  return true;
}

// At '&': one escape the serialiser writes in `context`.
bool Recogniser::Escape(Context context) {
  const std::string_view rest = s_.substr(p_);
  size_t length = 0;
  if (rest.starts_with("&amp;")) {
    length = 5;
  } else if (rest.starts_with("&lt;")) {
    length = 4;
  } else if (rest.starts_with(context == Context::kText ? "&gt;" : "&quot;")) {
    length = context == Context::kText ? 4 : 6;
  } else if (rest.size() >= 5 && rest.starts_with("&#") && rest[4] == ';' &&
             rest[2] >= '0' && rest[2] <= '9' && rest[3] >= '0' && rest[3] <= '9') {
    if (!EscapedControl(unsigned(rest[2] - '0') * 10 + unsigned(rest[3] - '0'), context)) return false;
    length = 5;
  } else {
    return false;
  }
  p_ += length;
  return true;
}

bool Recogniser::ReadStartTag(StartTag* tag) {
  ++p_;  // '<'
  tag->attributes.clear();
  if (!Name(&tag->name)) return false;
  for (;;) {
    const unsigned char c = At(p_);
    if (c == '>') {
      ++p_;
      tag->self_closed = false;
      return true;
    }
    if (c == '/' && At(p_ + 1) == '>') {
      p_ += 2;
      tag->self_closed = true;
      return true;
    }
    if (c != ' ') return false;
    ++p_;
    Attribute attribute;
    if (!Name(&attribute.name) || At(p_) != '=' || At(p_ + 1) != '"') return false;
    p_ += 2;
    attribute.value_begin = p_;
    while (At(p_) != '"') {
      if (p_ >= s_.size()) return false;
      if (kBytes.attribute[At(p_)]) {
        ++p_;
      } else if (At(p_) != '&' || !Escape(Context::kAttribute)) {
        return false;
      }
    }
    attribute.value_end = p_++;
    tag->attributes.push_back(attribute);
  }
}

// Text up to the next '<'; false for a byte or escape the serialiser would
// not write, and for whitespace only (the parser drops such text).
bool Recogniser::ReadText(size_t* begin) {
  *begin = p_;
  bool visible = false;
  while (p_ < s_.size()) {
    const unsigned char c = At(p_);
    if (c == '<') break;
    if (kBytes.text[c]) {
      visible = visible || !IsWhitespace(c);
      ++p_;
    } else if (c != '&' || !Escape(Context::kText)) {
      return false;
    } else {
      visible = true;
    }
  }
  return visible && p_ < s_.size();
}

// After a start tag that is not the root's: notes a new child of the root,
// or the FLAGSTATUS and READ of the current child.
bool Recogniser::OpenElement(IndexText* text, std::vector<std::string_view>* open) {
  const size_t depth = open->size();
  if (depth == 1) {
    IndexTextChild child;
    child.begin = p_;
    if (!ReadStartTag(&tag_)) return false;
    child.is_entry = tag_.name == kEntryElement;
    if (const Attribute* id = tag_.Find(kIdAttribute)) {
      child.has_id = true;
      child.id = s_.substr(id->value_begin, id->value_end - id->value_begin);
    }
    if (const Attribute* uid = tag_.Find(kUidAttribute)) {
      child.uid = s_.substr(uid->value_begin, uid->value_end - uid->value_begin);
    }
    if (tag_.self_closed) child.end = p_;
    text->children.push_back(child);
    seen_flag_status_ = seen_read_ = false;
  } else {
    if (!ReadStartTag(&tag_)) return false;
    if (depth == 2) {
      // Only the first FLAGSTATUS and READ count, even when empty.
      IndexTextChild& child = text->children.back();
      std::string_view* target = nullptr;
      if (tag_.name == kFlagStatusElement && !seen_flag_status_) {
        seen_flag_status_ = true;
        target = &child.flag_status;
      } else if (tag_.name == kReadElement && !seen_read_) {
        seen_read_ = true;
        target = &child.read;
      }
      if (!tag_.self_closed) capture_ = target;
    }
  }
  if (!tag_.self_closed) open->push_back(tag_.name);
  return true;
}

std::optional<IndexText> Recogniser::Run() {
  IndexText text;
  text.bytes = s_;
  if (At(0) != '<' || !ReadStartTag(&tag_) || tag_.name != kRootElement || tag_.self_closed) {
    return std::nullopt;
  }
  const Attribute* last_uid = tag_.Find(kLastUidAttribute);
  if (last_uid == nullptr) return std::nullopt;
  text.last_uid_begin = last_uid->value_begin;
  text.last_uid_end = last_uid->value_end;

  std::vector<std::string_view> open{tag_.name};
  bool after_start_tag = true;  // the last token opened the innermost element
  while (p_ < s_.size()) {
    if (At(p_) != '<') {
      size_t begin = 0;
      if (!ReadText(&begin)) return std::nullopt;
      if (capture_ != nullptr && after_start_tag) *capture_ = s_.substr(begin, p_ - begin);
      capture_ = nullptr;
      after_start_tag = false;
      continue;
    }
    capture_ = nullptr;
    if (At(p_ + 1) != '/') {
      if (!OpenElement(&text, &open)) return std::nullopt;
      after_start_tag = !tag_.self_closed;
      continue;
    }
    // An element closed right after it opened is written "<X/>".
    if (after_start_tag) return std::nullopt;
    const size_t close_begin = p_;
    p_ += 2;
    std::string_view name;
    if (!Name(&name) || name != open.back() || At(p_) != '>') return std::nullopt;
    ++p_;
    open.pop_back();
    if (open.size() == 1) text.children.back().end = p_;
    if (open.empty()) {
      if (p_ != s_.size()) return std::nullopt;
      text.content_end = close_begin;
      return text;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<IndexText> RecogniseIndexText(std::string_view bytes) {
  return Recogniser(bytes).Run();
}

std::string DecodeIndexText(std::string_view raw) {
  std::string decoded;
  decoded.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      decoded += raw[i];
      continue;
    }
    const std::string_view rest = raw.substr(i);
    if (rest.starts_with("&amp;")) {
      decoded += '&';
      i += 4;
    } else if (rest.starts_with("&lt;")) {
      decoded += '<';
      i += 3;
    } else if (rest.starts_with("&gt;")) {
      decoded += '>';
      i += 3;
    } else if (rest.starts_with("&quot;")) {
      decoded += '"';
      i += 5;
    } else if (rest.size() >= 5 && rest[1] == '#') {
      decoded += static_cast<char>((rest[2] - '0') * 10 + (rest[3] - '0'));
      i += 4;
    } else {
      decoded += '&';
    }
  }
  return decoded;
}

}  // namespace qx
