#include "platform/name_spellings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/text_compare.h"

namespace qx::platform {
namespace {

bool IsAsciiLetter(char c) { return UpperAscii(c) != LowerAscii(c); }

std::vector<size_t> LetterPositions(std::string_view name) {
  std::vector<size_t> positions;
  for (size_t i = 0; i < name.size(); ++i) {
    if (IsAsciiLetter(name[i])) positions.push_back(i);
  }
  return positions;
}

}  // namespace

bool CanProbeSpellings(std::string_view name, int most_letters) {
  return LetterPositions(name).size() <= static_cast<size_t>(most_letters);
}

NameLookup ProbeSpellings(const std::string& directory, std::string_view name, std::string* actual) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return NameLookup::kUnreadable;
  const std::vector<size_t> letters = LetterPositions(name);
  std::string spelling(name);
  std::optional<std::string> smallest;
  bool unreadable = false;
  for (uint32_t mask = 0; mask < (1u << letters.size()); ++mask) {
    for (size_t bit = 0; bit < letters.size(); ++bit) {
      const char c = spelling[letters[bit]];
      spelling[letters[bit]] = (mask >> bit) & 1 ? LowerAscii(c) : UpperAscii(c);
    }
    struct stat info {};
    if (::fstatat(fd, spelling.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
      if (!smallest || spelling < *smallest) smallest = spelling;
    } else if (errno != ENOENT) {
      unreadable = true;
    }
  }
  ::close(fd);
  if (smallest) {
    *actual = std::move(*smallest);
    return NameLookup::kFound;
  }
  return unreadable ? NameLookup::kUnreadable : NameLookup::kMissing;
}

}  // namespace qx::platform
