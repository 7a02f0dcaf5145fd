#include "platform/directory_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/fork_safe_instance.h"
#include "platform/path_resolver.h"
#include "platform/text_compare.h"

namespace qx::platform {
namespace {

std::atomic<uint64_t> listing_count{0};

// A directory is known by its inode, so that two spellings of its path share
// one listing and a directory put in another's place is never taken for it.
struct DirectoryKey {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const DirectoryKey&) const = default;
};

struct DirectoryKeyHash {
  size_t operator()(const DirectoryKey& key) const {
    return std::hash<uint64_t>()(static_cast<uint64_t>(key.inode) * 31 + key.device);
  }
};

DirectoryKey KeyOf(const struct statx& info) {
  return {makedev(info.stx_dev_major, info.stx_dev_minor), static_cast<ino_t>(info.stx_ino)};
}

// The names of one directory by folded spelling; an empty value means the
// name is spelled as its folded form (the store's own names mostly are).
class NameSet {
 public:
  void Add(std::string_view name) {
    std::string folded = UpperCased(name);
    std::string spelling = folded == name ? std::string() : std::string(name);
    auto [it, inserted] = by_folded_.try_emplace(std::move(folded), spelling);
    if (inserted) return;
    std::string_view kept = it->second.empty() ? std::string_view(it->first) : it->second;
    if (kept == name) return;
    ambiguous_ = true;
    if (name < kept) it->second = std::move(spelling);
  }

  // False when the set can no longer tell what remains: the name had
  // another spelling beside it, which the set does not keep.
  bool Remove(std::string_view name) {
    auto it = by_folded_.find(UpperCased(name));
    if (it == by_folded_.end()) return true;
    if (ambiguous_) return false;
    by_folded_.erase(it);
    return true;
  }

  bool Find(const std::string& folded, std::string* actual) const {
    auto it = by_folded_.find(folded);
    if (it == by_folded_.end()) return false;
    *actual = it->second.empty() ? it->first : it->second;
    return true;
  }

  size_t size() const { return by_folded_.size(); }

 private:
  std::unordered_map<std::string, std::string> by_folded_;
  bool ambiguous_ = false;
};

struct Listing {
  NameSet names;
  // The inotify watch that keeps `names` current, or -1: then `names` holds
  // only while the directory's change time is `changed`.
  int watch = -1;
  struct statx_timestamp changed {};
};

bool SameStamp(const struct statx_timestamp& a, const struct statx_timestamp& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A listing followed only by its change time may be kept when the directory
// was last changed on an earlier clock tick than now: a change made later in
// the same tick could leave the change time as it is. File systems stamp
// times from the coarse real-time clock, so that is the clock compared with.
bool IsSettled(const struct statx& info) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  const auto& changed = info.stx_ctime;
  return changed.tv_sec < now.tv_sec || (changed.tv_sec == now.tv_sec && changed.tv_nsec < now.tv_nsec);
}

// inotify sees only the changes made on this machine: a shared store on a
// network file system is changed by others too.
bool ChangesAreLocal(const std::string& directory) {
  struct statfs fs {};
  if (::statfs(directory.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE
    case 0x00C36400UL:  // Ceph
    case V9FS_MAGIC:
    case CODA_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
      return false;
    default:
      return true;
  }
}

// Reads the directory's names into `names`. False when it cannot be listed
// or is no longer the directory `key` names.
bool ListNames(const std::string& directory, const DirectoryKey& key, NameSet* names) {
  const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat opened {};
  DIR* dir = ::fstat(fd, &opened) == 0 ? ::fdopendir(fd) : nullptr;
  if (dir == nullptr) {
    ::close(fd);
    return false;
  }
  listing_count.fetch_add(1, std::memory_order_relaxed);
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names->Add(name);
  }
  ::closedir(dir);
  return DirectoryKey{opened.st_dev, opened.st_ino} == key;
}

class DirectoryNameCache {
 public:
  static DirectoryNameCache& Instance() { return ForkSafeInstance<DirectoryNameCache>(); }

  bool ProbeRatherThanList(const struct statx& info) {
    constexpr uint32_t kProbesBeforeListing = 16;
    std::lock_guard<std::mutex> lock(mutex_);
    if (probed_.size() >= kNameBudget) probed_.clear();  // a long-lived process forgets
    return ++probed_[KeyOf(info)] <= kProbesBeforeListing;
  }

  // A name looked up in each of its spellings and found in none: asked
  // again while the directory has not changed since, it is still absent.
  void KeepAbsent(const struct statx& info, std::string_view name) {
    if (!IsSettled(info)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!(absent_.key == KeyOf(info)) || !SameStamp(absent_.changed, info.stx_ctime)) {
      absent_ = AbsentNames{KeyOf(info), info.stx_ctime, {}};
    }
    if (absent_.folded.size() < kAbsentNamesKept) absent_.folded.push_back(UpperCased(name));
  }

  // The kept listing's answer, or kNotKept when there is no current one.
  NameLookup FindKept(const struct statx& info, std::string_view name, std::string* actual) {
    const std::string folded = UpperCased(name);
    std::lock_guard<std::mutex> lock(mutex_);
    if (IsKeptAbsent(info, folded)) return NameLookup::kMissing;
    ApplyQueuedChanges();
    auto it = listings_.find(KeyOf(info));
    if (it == listings_.end()) return NameLookup::kNotKept;
    if (it->second.watch < 0 && !SameStamp(it->second.changed, info.stx_ctime)) return NameLookup::kNotKept;
    return Look(it->second, folded, actual);
  }

  NameLookup Find(const std::string& directory, const struct statx& info, std::string_view name,
                  std::string* actual) {
    const std::string folded = UpperCased(name);
    const DirectoryKey key = KeyOf(info);
    std::lock_guard<std::mutex> lock(mutex_);
    ApplyQueuedChanges();
    auto it = listings_.find(key);
    if (it != listings_.end()) {
      if (it->second.watch >= 0 || SameStamp(it->second.changed, info.stx_ctime)) return Look(it->second, folded, actual);
      Forget(it);
    }
    Listing listing;
    listing.changed = info.stx_ctime;
    // A directory is followed from its second listing on: a process that
    // looks into it once (one delivery, one status) does not pay for an
    // inotify instance, whose release at exit waits for the kernel. The
    // watch comes first, so that no change made during the listing is missed.
    if (listed_once_.size() >= kNameBudget) listed_once_.clear();  // a long-lived process forgets
    const bool listed_before = !listed_once_.insert(key).second;
    if (listed_before && ChangesAreLocal(directory)) listing.watch = Watch(directory);
    const bool current = ListNames(directory, key, &listing.names);
    if (!current || (listing.watch < 0 && !IsSettled(info))) {
      Unwatch(listing.watch);
      return current ? Look(listing, folded, actual) : NameLookup::kUnreadable;
    }
    const NameLookup listed = Look(listing, folded, actual);
    if (Keep(key, std::move(listing)) == listings_.end()) return listed;
    // Changes made while the directory was read; they may also drop the listing.
    ApplyQueuedChanges();
    it = listings_.find(key);
    return it == listings_.end() ? listed : Look(it->second, folded, actual);
  }

 private:
  template <class T>
  friend T& platform::ForkSafeInstance();

  static constexpr size_t kNameBudget = 200000;
  static constexpr size_t kAbsentNamesKept = 16;

  // The names found absent in the one directory looked into last, and the
  // change time they were found absent at.
  struct AbsentNames {
    DirectoryKey key;
    struct statx_timestamp changed {};
    std::vector<std::string> folded;
  };

  // REQUIRES: mutex_ held.
  bool IsKeptAbsent(const struct statx& info, const std::string& folded) const {
    return absent_.key == KeyOf(info) && SameStamp(absent_.changed, info.stx_ctime) &&
           std::find(absent_.folded.begin(), absent_.folded.end(), folded) != absent_.folded.end();
  }

  static NameLookup Look(const Listing& listing, const std::string& folded, std::string* actual) {
    return listing.names.Find(folded, actual) ? NameLookup::kFound : NameLookup::kMissing;
  }

  using Listings = std::unordered_map<DirectoryKey, Listing, DirectoryKeyHash>;

  // REQUIRES: mutex_ held.
  int Watch(const std::string& directory) {
    if (!inotify_tried_) {
      inotify_tried_ = true;
      inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    }
    if (inotify_ < 0) return -1;
    constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
    return ::inotify_add_watch(inotify_, directory.empty() ? "." : directory.c_str(), kChanges);
  }

  void Unwatch(int watch) {
    if (watch >= 0) ::inotify_rm_watch(inotify_, watch);
  }

  // Keeps `listing` within the name budget. Returns end() when it is too large to keep.
  Listings::iterator Keep(const DirectoryKey& key, Listing listing) {
    const size_t size = listing.names.size();
    while (!listings_.empty() && names_ + size > kNameBudget) Forget(listings_.begin());
    if (size > kNameBudget) {
      Unwatch(listing.watch);
      return listings_.end();
    }
    names_ += size;
    if (listing.watch >= 0) by_watch_[listing.watch] = key;
    return listings_.emplace(key, std::move(listing)).first;
  }

  void Forget(Listings::iterator it) {
    names_ -= it->second.names.size();
    if (it->second.watch >= 0) {
      by_watch_.erase(it->second.watch);
      Unwatch(it->second.watch);
    }
    listings_.erase(it);
  }

  // Brings every followed listing up to date with the changes queued since
  // the last call. REQUIRES: mutex_ held.
  void ApplyQueuedChanges() {
    if (inotify_ < 0 || by_watch_.empty()) return;
    alignas(struct inotify_event) char buffer[16384];
    constexpr size_t kLargestEvent = sizeof(struct inotify_event) + NAME_MAX + 1;
    for (;;) {
      const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
      if (got <= 0) return;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        Apply(*event);
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
      }
      // A read returns every queued event that fits: room left over means the queue is empty.
      if (static_cast<size_t>(got) + kLargestEvent <= sizeof buffer) return;
    }
  }

  void Apply(const struct inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) {
      while (!listings_.empty()) Forget(listings_.begin());
      return;
    }
    auto watched = by_watch_.find(event.wd);
    if (watched == by_watch_.end()) return;
    auto it = listings_.find(watched->second);
    if (it == listings_.end()) {
      by_watch_.erase(watched);
      return;
    }
    if (event.mask & IN_IGNORED) {  // the directory is gone, and its watch with it
      names_ -= it->second.names.size();
      listings_.erase(it);
      by_watch_.erase(watched);
      return;
    }
    if (event.len == 0) return;
    NameSet& names = it->second.names;
    const size_t before = names.size();
    if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
      names.Add(event.name);
    } else if (event.mask & (IN_DELETE | IN_MOVED_FROM)) {
      if (!names.Remove(event.name)) {
        Forget(it);
        return;
      }
    }
    names_ = names_ - before + names.size();
  }

  // The child of a fork shares the parent's inotify instance: reading from
  // it would take the parent's events, so the child starts without one.
  void StartOverInChild() {
    if (inotify_ >= 0) ::close(inotify_);
    inotify_ = -1;
    inotify_tried_ = false;
    listings_.clear();
    by_watch_.clear();
    listed_once_.clear();
    probed_.clear();
    names_ = 0;
    mutex_.unlock();
  }

  std::mutex mutex_;
  int inotify_ = -1;            // guarded by mutex_
  bool inotify_tried_ = false;  // guarded by mutex_
  Listings listings_;           // guarded by mutex_
  AbsentNames absent_;          // guarded by mutex_
  std::unordered_map<int, DirectoryKey> by_watch_;  // guarded by mutex_
  size_t names_ = 0;                                 // guarded by mutex_
  std::unordered_set<DirectoryKey, DirectoryKeyHash> listed_once_;  // guarded by mutex_
  std::unordered_map<DirectoryKey, uint32_t, DirectoryKeyHash> probed_;  // guarded by mutex_
};

}  // namespace

NameLookup FindDirectoryName(const std::string& directory, const struct statx& info,
                             std::string_view name, std::string* actual) {
  return DirectoryNameCache::Instance().Find(directory, info, name, actual);
}

void KeepAbsentDirectoryName(const struct statx& info, std::string_view name) {
  DirectoryNameCache::Instance().KeepAbsent(info, name);
}

NameLookup FindKeptDirectoryName(const struct statx& info, std::string_view name,
                                 std::string* actual) {
  return DirectoryNameCache::Instance().FindKept(info, name, actual);
}

bool ProbeRatherThanList(const struct statx& info) {
  return DirectoryNameCache::Instance().ProbeRatherThanList(info);
}

uint64_t DirectoryListingCount() { return listing_count.load(std::memory_order_relaxed); }

}  // namespace qx::platform
