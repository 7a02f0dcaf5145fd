#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/registry_parser.h"

namespace qx::platform {

namespace {

constexpr const char* kDefaultRegistryPath = "/etc/qxstore/registry.reg";

// File times advance in coarse steps, so a file written within this window
// before (or after) it was read may have changed without a visible change of
// time or size. Until a reading is that much younger than the file, each
// query reads the bytes again and compares them.
constexpr int64_t kRacyWindowNs = 2'000'000'000;

int64_t Nanoseconds(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

int64_t RealTimeNowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

struct FileIdentity {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified_ns = 0;
  int64_t changed_ns = 0;

  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityFromStat(const struct stat& st) {
  return FileIdentity{true,          st.st_dev, st.st_ino, st.st_size, Nanoseconds(st.st_mtim),
                      Nanoseconds(st.st_ctim)};
}

FileIdentity StatIdentity(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FileIdentity{};
  return IdentityFromStat(st);
}

struct FileReading {
  FileIdentity identity;
  int64_t read_at_ns = 0;
  std::string bytes;
  std::string error;  // why an existing file could not be read
};

FileReading ReadRegistryFile(const std::string& path) {
  FileReading reading;
  reading.read_at_ns = RealTimeNowNs();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) reading.error = std::strerror(errno);
    return reading;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0) reading.identity = IdentityFromStat(st);
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      reading.bytes.append(buffer, static_cast<size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      if (count < 0) reading.error = std::strerror(errno);
      break;
    }
  }
  ::close(fd);
  return reading;
}

std::shared_ptr<const RegistrySnapshot> ParseReading(const std::string& path,
                                                     const FileReading& reading) {
  auto snapshot = std::make_shared<RegistrySnapshot>();
  if (!reading.error.empty()) {
    snapshot->warnings.push_back(
        RegistryWarning{0, "cannot read " + path + ": " + reading.error});
  } else if (reading.identity.present) {
    ParseRegistryText(reading.bytes, snapshot.get());
  }
  return snapshot;
}

class RegistryCache {
 public:
  std::shared_ptr<const RegistrySnapshot> Current() {
    const std::string path = RegistryFilePath();
    const FileIdentity identity = StatIdentity(path);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (IsTrusted(path, identity)) return snapshot_;
    }
    FileReading reading = ReadRegistryFile(path);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (HoldsSameBytes(path, reading)) {
        Remember(path, std::move(reading), snapshot_);
        return snapshot_;
      }
    }
    std::shared_ptr<const RegistrySnapshot> parsed = ParseReading(path, reading);
    std::lock_guard<std::mutex> lock(mutex_);
    Remember(path, std::move(reading), parsed);
    return parsed;
  }

 private:
  bool IsTrusted(const std::string& path, const FileIdentity& identity) const {
    if (snapshot_ == nullptr || path != path_ || !(identity == reading_.identity)) return false;
    if (!identity.present) return reading_.error.empty();
    const int64_t last_change = std::max(identity.modified_ns, identity.changed_ns);
    return reading_.read_at_ns - last_change > kRacyWindowNs;
  }

  bool HoldsSameBytes(const std::string& path, const FileReading& reading) const {
    return snapshot_ != nullptr && path == path_ && reading.error.empty() &&
           reading_.error.empty() && reading.identity.present == reading_.identity.present &&
           reading.bytes == reading_.bytes;
  }

  void Remember(const std::string& path, FileReading reading,
                std::shared_ptr<const RegistrySnapshot> snapshot) {
    path_ = path;
    reading_ = std::move(reading);
    snapshot_ = std::move(snapshot);
  }

  std::mutex mutex_;
  // Guarded by mutex_: the file last read, what it held, and its parse.
  std::string path_;
  FileReading reading_;
  std::shared_ptr<const RegistrySnapshot> snapshot_;
};

RegistryCache& Cache() {
  static RegistryCache* cache = new RegistryCache;
  return *cache;
}

std::shared_ptr<const RegistrySnapshot> CurrentSnapshot() { return Cache().Current(); }

}  // namespace

std::string RegistryFilePath() {
  const char* configured = std::getenv("QXSTORE_REGISTRY");
  return configured != nullptr && configured[0] != '\0' ? configured : kDefaultRegistryPath;
}

bool RegistryKeyExists(RegistryRoot root, std::string_view key) {
  return RegistryKeyExistsIn(*CurrentSnapshot(), root, key);
}

std::optional<RegistryValue> RegistryQuery(RegistryRoot root, std::string_view key,
                                           std::string_view value_name) {
  const std::shared_ptr<const RegistrySnapshot> snapshot = CurrentSnapshot();
  const RegistryKey* found_key = FindRegistryKey(*snapshot, root, key);
  if (found_key == nullptr) return std::nullopt;
  const RegistryValue* value = FindRegistryValue(*found_key, value_name);
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::vector<std::pair<std::string, RegistryValue>> RegistryValues(RegistryRoot root,
                                                                  std::string_view key) {
  const std::shared_ptr<const RegistrySnapshot> snapshot = CurrentSnapshot();
  const RegistryKey* found_key = FindRegistryKey(*snapshot, root, key);
  if (found_key == nullptr) return {};
  return found_key->values;
}

std::vector<std::string> RegistrySubKeys(RegistryRoot root, std::string_view key) {
  return RegistrySubKeyNames(*CurrentSnapshot(), root, key);
}

std::vector<RegistryWarning> RegistryWarnings() { return CurrentSnapshot()->warnings; }

}  // namespace qx::platform
