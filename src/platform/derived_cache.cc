#include "platform/derived_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/file_time.h"
#include "platform/path_resolver.h"
#include "platform/registry.h"

namespace qx::platform {

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera";
constexpr const char* kDirectoryValueName = "Index Cache Directory";
constexpr const char* kDirectoryVariable = "QXSTORE_CACHE_DIR";
constexpr const char* kDefaultDirectory = "/var/cache/qxstore";
constexpr char kMagic[8] = {'Q', 'X', 'C', 'A', 'C', 'H', 'E', '2'};

// A file whose times are this close to now may still change within the
// same time step: a clock tick (at most 10 ms) where times carry
// nanoseconds, two seconds where they are whole seconds (or FAT's two).
constexpr uint64_t kFineSettleTicks = kTicksPerSecond / 50;
constexpr uint64_t kCoarseSettleTicks = 2 * kTicksPerSecond;

std::optional<std::string> RegistryDirectory() {
  const std::optional<RegistryValue> value =
      RegistryQuery(RegistryRoot::kLocalMachine, kSettingsKey, kDirectoryValueName);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// FNV-1a: records are spread over file names; the full path inside the
// record decides whether it is the one asked for.
uint64_t PathHash(std::string_view text) {
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
  return hash;
}

std::string RecordPath(const std::string& directory, std::string_view kind,
                       std::string_view native_path) {
  char name[64];
  std::snprintf(name, sizeof name, "/%016llx.", static_cast<unsigned long long>(PathHash(native_path)));
  return directory + name + std::string(kind);
}

// Magic, identity, path length and path: what a record begins with.
std::string RecordHeader(std::string_view native_path, const FileVersion& identity) {
  std::string header(kMagic, sizeof kMagic);
  const auto append = [&](uint64_t number) {
    header.append(reinterpret_cast<const char*>(&number), sizeof number);
  };
  append(identity.device);
  append(identity.inode);
  append(identity.size);
  append(static_cast<uint64_t>(identity.modified_seconds));
  append(identity.modified_nanoseconds);
  append(static_cast<uint64_t>(identity.changed_seconds));
  append(identity.changed_nanoseconds);
  append(native_path.size());
  header.append(native_path);
  return header;
}

// A checksum of a record's bytes, taken eight at a time: a record read
// while another process writes it over, or torn by a crash, does not add
// up and is a miss.
// The header and the payload are summed one after the other, `sum` carrying
// on from the first.
uint64_t RecordChecksum(std::string_view bytes, uint64_t sum = 1469598103934665603ULL) {
  constexpr uint64_t kPrime = 1099511628211ULL;
  sum ^= bytes.size();
  size_t at = 0;
  for (; at + sizeof(uint64_t) <= bytes.size(); at += sizeof(uint64_t)) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    sum = (sum ^ word) * kPrime;
    sum ^= sum >> 29;
  }
  for (; at < bytes.size(); ++at) sum = (sum ^ static_cast<unsigned char>(bytes[at])) * kPrime;
  return sum;
}

bool ReadAll(int fd, std::string* out) {
  // Sized by the record as it is now, so that one read takes it whole.
  struct stat info {};
  const size_t expected = ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  out->resize(expected + 1);
  size_t filled = 0;
  for (;;) {
    if (filled == out->size()) out->resize(filled + 16384);
    const ssize_t got = ::read(fd, out->data() + filled, out->size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) {
      out->resize(filled);
      return true;
    }
    filled += static_cast<size_t>(got);
  }
}

bool WriteAllAt(int fd, uint64_t offset, std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t put = ::pwrite(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(offset + at));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    at += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

std::optional<FileVersion> IdentifyFile(std::string_view store_path, std::string* native_path) {
  const ResolvedPath resolved = ResolvePath(store_path);
  if (!resolved.exists || !S_ISREG(resolved.info.stx_mode)) return std::nullopt;
  if (native_path != nullptr) *native_path = resolved.native;
  return VersionFromStatx(resolved.info);
}

bool ChangedTooRecently(const FileVersion& identity) {
  const uint64_t now = NowFileTime();
  const bool whole_seconds = identity.modified_nanoseconds == 0 && identity.changed_nanoseconds == 0;
  const uint64_t settle = whole_seconds ? kCoarseSettleTicks : kFineSettleTicks;
  for (const auto& [seconds, nanoseconds] :
       {std::pair{identity.modified_seconds, identity.modified_nanoseconds},
        std::pair{identity.changed_seconds, identity.changed_nanoseconds}}) {
    const struct timespec when{static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
    if (FileTimeFromTimespec(when) + settle > now) return true;
  }
  return false;
}

std::string DerivedCacheDirectory() {
  const char* variable = std::getenv(kDirectoryVariable);
  if (variable != nullptr) return variable;
  return RegistryDirectory().value_or(kDefaultDirectory);
}

std::optional<std::string> ReadDerivedCache(std::string_view kind, std::string_view native_path,
                                            const FileVersion& identity) {
  const std::string directory = DerivedCacheDirectory();
  if (directory.empty()) return std::nullopt;
  const int fd = ::open(RecordPath(directory, kind, native_path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string record;
  const bool read = ReadAll(fd, &record);
  ::close(fd);
  uint64_t checksum = 0;
  if (!read || record.size() < sizeof checksum) return std::nullopt;
  std::memcpy(&checksum, record.data() + record.size() - sizeof checksum, sizeof checksum);
  record.resize(record.size() - sizeof checksum);
  const std::string header = RecordHeader(native_path, identity);
  if (!std::string_view(record).starts_with(header) ||
      RecordChecksum(std::string_view(record).substr(header.size()), RecordChecksum(header)) != checksum) {
    return std::nullopt;
  }
  record.erase(0, header.size());
  return record;
}

bool WriteDerivedCache(std::string_view kind, std::string_view native_path,
                       const FileVersion& identity, std::string_view payload) {
  const std::string directory = DerivedCacheDirectory();
  if (directory.empty()) return false;
  ::mkdir(directory.c_str(), 0700);
  const std::string header = RecordHeader(native_path, identity);
  const uint64_t checksum = RecordChecksum(payload, RecordChecksum(header));
  const std::string_view checksum_bytes(reinterpret_cast<const char*>(&checksum), sizeof checksum);
  const uint64_t size = header.size() + payload.size() + sizeof checksum;
  // Written over in place, not replaced: a rename over the old record would
  // free its blocks and make the file system write the new one out at
  // once, milliseconds a record on a busy disk. The checksum tells a reader
  // that met the record half written. A lost record is only a miss, so
  // nothing is synced.
  const int fd = ::open(RecordPath(directory, kind, native_path).c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat info {};
  bool written = WriteAllAt(fd, 0, header) && WriteAllAt(fd, header.size(), payload) &&
                 WriteAllAt(fd, header.size() + payload.size(), checksum_bytes) && ::fstat(fd, &info) == 0;
  if (written && static_cast<uint64_t>(info.st_size) > size) {
    written = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  }
  return ::close(fd) == 0 && written;
}

}  // namespace qx::platform
