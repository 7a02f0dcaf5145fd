#include "message/message_uid.h"

#include <atomic>
#include <cstdio>

#include "frame/registry_readers.h"
#include "message/message_rewrite.h"
#include "frame/number_text.h"
#include "platform/text_compare.h"

namespace qx {

using platform::StartsWithNoCase;

namespace {

constexpr const char* kUidHeader = "X-UID: ";
constexpr const char* kTempFlagsHeader = "X-QXTempFlags: ";

// -1 until read; then 0 or 1.
std::atomic<int> uid_branding{-1};

class SetUidRewrite : public HeaderRewrite {
 public:
  SetUidRewrite(std::string uid_line, std::optional<std::string_view> flags)
      : uid_line_(std::move(uid_line)), flags_(flags) {}

  void RewriteLine(std::string_view line, std::string* out) override {
    if (StartsWithNoCase(line, kUidHeader)) {
      out->append(uid_line_);
      uid_written_ = true;
      return;
    }
    if (StartsWithNoCase(line, kTempFlagsHeader)) temp_flags_seen_ = true;
    out->append(line);
  }

  void BeforeBlockEnd(std::string* out) override {
    if (!uid_written_) out->append(uid_line_);
    if (flags_ && !temp_flags_seen_) {
      out->append(kTempFlagsHeader);
      out->append(*flags_);
      out->append("\r\n");
    }
  }

 private:
  std::string uid_line_;
  std::optional<std::string_view> flags_;
  bool uid_written_ = false;
  bool temp_flags_seen_ = false;
};

class StripRewrite : public HeaderRewrite {
 public:
  void RewriteLine(std::string_view line, std::string* out) override {
    if (StartsWithNoCase(line, kUidHeader) || StartsWithNoCase(line, kTempFlagsHeader)) {
      ++dropped_;
      return;
    }
    out->append(line);
  }

  bool ShouldReplace() const override { return dropped_ > 0; }

 private:
  int dropped_ = 0;
};

}  // namespace

bool UidBrandingEnabled() {
  int value = uid_branding.load();
  if (value < 0) {
    value = RegistryDwordOr(kSettingsRoot, "UID Branding Enabled", 1) != 0 ? 1 : 0;
    uid_branding.store(value);
  }
  return value == 1;
}

void ForgetUidBrandingSetting() { uid_branding.store(-1); }

std::string FormatUidHeader(uint32_t uid_validity, uint32_t uid) {
  char line[48];
  if (uid_validity != 0) {
    std::snprintf(line, sizeof line, "X-UID: %u.%u\r\n", uid_validity, uid);
  } else {
    std::snprintf(line, sizeof line, "X-UID: %u\r\n", uid);
  }
  return line;
}

std::optional<uint32_t> UidFromHeaderValue(std::string_view value, uint32_t uid_validity) {
  size_t dot = value.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  if (LeadingUnsigned32(value.substr(0, dot)) != uid_validity) return std::nullopt;
  return LeadingUnsigned32(value.substr(dot + 1));
}

namespace {

UidAssignment NewUid(uint32_t* last_uid, bool rewrite_file) {
  UidAssignment result;
  if (*last_uid == 0xFFFFFFFFu) {
    result.exhausted = true;
    return result;
  }
  result.uid = ++*last_uid;
  result.rewrite_file = rewrite_file;
  return result;
}

}  // namespace

UidAssignment AssignMessageUid(uint32_t uid_validity, bool renumber, uint32_t uid_from_file,
                               uint32_t* last_uid) {
  if (uid_validity != 0 && !renumber) {
    if (uid_from_file == 0) return NewUid(last_uid, false);
    if (uid_from_file > *last_uid) return NewUid(last_uid, true);
    UidAssignment kept;
    kept.uid = uid_from_file;
    return kept;
  }
  return NewUid(last_uid, uid_from_file != 0);
}

uint32_t WriteMessageUid(std::string_view folder_dir, std::string_view file_name,
                         uint32_t uid_validity, uint32_t uid,
                         std::optional<std::string_view> flags) {
  if (!UidBrandingEnabled()) return 1;
  SetUidRewrite rewrite(FormatUidHeader(uid_validity, uid), flags);
  RewriteMessageHeaders(folder_dir, file_name, rewrite);
  return 1;
}

uint32_t StripStoreHeaders(std::string_view folder_dir, std::string_view file_name) {
  if (!UidBrandingEnabled()) return 1;
  StripRewrite rewrite;
  RewriteMessageHeaders(folder_dir, file_name, rewrite);
  return 1;
}

}  // namespace qx
