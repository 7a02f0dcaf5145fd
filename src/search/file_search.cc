#include "search/file_search.h"

#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/walk_guard.h"
#include "search/file_match.h"

namespace qx {
namespace {

bool IsDirectoryEntry(const platform::FindData& entry) {
  return (entry.attributes & platform::kAttributeDirectory) != 0;
}

class TreeSearch {
 public:
  explicit TreeSearch(const SearchRequest& request) : request_(request), guard_(request.directory) {}

  // Appends "<prefix><name>," for each match in <directory>\<prefix>.
  void SearchFolder(const std::string& prefix) {
    const std::string folder = JoinStorePath(request_.directory, prefix);
    if (folder.size() + 1 > kSearchPathLimit) return;
    for (platform::Listing listing = platform::Listing::Open(folder + "*"); listing.valid();
         listing.Next()) {
      const platform::FindData& entry = listing.current();
      // A confined search neither enters nor reads what a link leads to
      // outside the store.
      if (FullPathsConfined() && !IsAllowedFullPath(folder + entry.name)) continue;
      if (IsDirectoryEntry(entry)) {
        if (request_.subfolders && entry.name.front() != '.' && guard_.MayEnter(entry)) {
          SearchFolder(prefix + entry.name + "\\");
        }
      } else if (guard_.MayRead(folder + entry.name, entry) && FileMatches(folder + entry.name)) {
        results_ += prefix;
        results_ += entry.name;
        results_ += ',';
      }
    }
  }

  std::string TakeResults() {
    if (!results_.empty()) results_.pop_back();
    return std::move(results_);
  }

 private:
  bool FileMatches(const std::string& path) const {
    return path.size() <= kSearchPathLimit &&
           FileMatchesPattern(path, request_.pattern, request_.case_sensitive);
  }

  const SearchRequest& request_;
  const platform::WalkGuard guard_;
  std::string results_;
};

}  // namespace

std::string FindMatchingFiles(const SearchRequest& request) {
  if (!IsAllowedFullPath(request.directory)) return {};
  TreeSearch search(request);
  search.SearchFolder("");
  return search.TakeResults();
}

}  // namespace qx
