#include "message/flag_words.h"

#include "platform/text_compare.h"

namespace qx {

using platform::FindNoCaseIn;

bool ListHasFlagWord(std::string_view list, std::string_view word) {
  return !word.empty() && FindNoCaseIn(list, word) != std::string_view::npos;
}

void AddFlagWord(std::string* list, std::string_view word) {
  std::string flag;
  if (word.find('\\') == std::string_view::npos) flag = "\\";
  flag.append(word);
  if (ListHasFlagWord(*list, flag)) return;
  if (!list->empty()) list->push_back(' ');
  list->append(flag);
}

}  // namespace qx
