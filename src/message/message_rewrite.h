#pragma once
// The one way the store rewrites a message file's header block: copy the
// message into "_" + its name in the same folder, changing header lines on
// the way, then swap the copy in. The message is never lost: when the copy
// cannot be made in full, the message stays byte for byte as it was.

#include <string>
#include <string_view>

namespace qx {

// Decides what the copy holds in place of the header block's lines.
class HeaderRewrite {
 public:
  virtual ~HeaderRewrite() = default;
  // Appends to `out` what replaces `line` (a whole line with its line end);
  // appending nothing drops the line.
  virtual void RewriteLine(std::string_view line, std::string* out) = 0;
  // Appends to `out` what goes in front of the empty line that ends the
  // header block (not called when the file ends inside the block).
  virtual void BeforeBlockEnd(std::string* out) { (void)out; }
  // Asked once the copy is complete: false discards the copy and leaves the
  // message as it was.
  virtual bool ShouldReplace() const { return true; }
};

// Rewrites `folder_dir\file_name` through `folder_dir\_file_name`. Returns
// true when the message was replaced by the rewritten copy. Failures print
// one line and leave the message untouched: "Could not open message file for
// input\r\n" when it cannot be read, "Could not open message file for
// writing\r\n" when the copy cannot be created. A file name that leads out of
// the folder (store_names.h) is refused at once: false, nothing printed.
bool RewriteMessageHeaders(std::string_view folder_dir, std::string_view file_name,
                           HeaderRewrite& rewrite);

}  // namespace qx
