#include "common/file_iterator.h"

#include <utility>

namespace qx {

FileIterator::FileIterator(std::string pattern) : pattern_(std::move(pattern)) {}

FileIterator::FileIterator(std::string pattern, uint32_t attribute_mask)
    : pattern_(std::move(pattern)), filter_(1), attribute_mask_(attribute_mask) {}

FileIterator::FileIterator(std::string pattern, platform::ListingScope scope)
    : pattern_(std::move(pattern)), scope_(scope) {}

FileIterator::~FileIterator() = default;

std::string FileIterator::First() {
  listing_ = platform::Listing::Open(pattern_, scope_);
  more_ = listing_.valid();
  return SkipFiltered();
}

std::string FileIterator::Next() {
  if (!more_) return {};
  if (!listing_.Next()) {
    more_ = false;
    listing_ = platform::Listing();
    return {};
  }
  return SkipFiltered();
}

std::string FileIterator::SkipFiltered() {
  while (more_) {
    const platform::FindData& found = listing_.current();
    if (filter_ == 0 || (found.attributes & attribute_mask_) != 0) return found.name;
    if (!listing_.Next()) {
      more_ = false;
      listing_ = platform::Listing();
    }
  }
  return {};
}

}  // namespace qx
