#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "library/lifecycle.h"
#include "platform/clock.h"

namespace qx::fuzz {

namespace {

std::string g_root;
std::map<std::string, std::string> g_settings;

void WriteRegistry() {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]\r\n";
  for (const auto& [name, value] : g_settings) text += "\"" + name + "\"=\"" + value + "\"\r\n";
  WriteBytes(g_root + "/registry.reg", text + "\r\n");
}

// The system's time ten seconds on, so that files written just now already
// count as settled (size caches trust a file one second old), and sleeps
// that pass at once: a wait on a busy block file costs nothing.
class ScratchClock : public platform::Clock {
 public:
  uint64_t NowFileTime() override {
    return system_.NowFileTime() + (kLeadMilliseconds + slept_ms_) * 10000;
  }
  uint64_t TickMilliseconds() override { return system_.TickMilliseconds() + slept_ms_; }
  void SleepMilliseconds(uint32_t ms) override { slept_ms_ += ms; }

 private:
  static constexpr uint64_t kLeadMilliseconds = 10000;
  platform::Clock& system_ = platform::CurrentClock();
  uint64_t slept_ms_ = 0;
};

void RemoveScratchRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

}  // namespace

void StartScratchStore() {
  if (!g_root.empty()) return;
  // Memory-backed when the system has it: most targets write files on
  // every run.
  std::error_code ignored;
  std::string pattern = std::filesystem::is_directory("/dev/shm", ignored) ? "/dev/shm" : "/tmp";
  pattern += "/qxstore-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  g_root = pattern;
  std::atexit(RemoveScratchRoot);
  MakeDirectories(MailRoot());

  g_settings["Mail Root"] = MailRoot();
  WriteRegistry();
  setenv("QXSTORE_REGISTRY", (g_root + "/registry.reg").c_str(), 1);
  setenv("QXSTORE_PROGRAM", "/opt/qxstore/bin/STOREADM.EXE", 1);
  setenv("QXSTORE_DIAG", "off", 1);
  setenv("QXSTORE_FSYNC", "never", 1);
  static ScratchClock clock;
  platform::SetClock(&clock);
  if (StoreLibraryInit() == 0) std::abort();
}

void SetStoreSetting(const std::string& name, const std::string& value) {
  g_settings[name] = value;
  WriteRegistry();
}

const std::string& ScratchRoot() { return g_root; }

std::string MailRoot() { return g_root + "/mail"; }

void MakeDirectories(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void EmptyDirectory(const std::string& directory) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

std::vector<std::string_view> SplitInput(std::string_view input, size_t parts) {
  std::vector<std::string_view> pieces;
  while (pieces.size() + 1 < parts) {
    const size_t nul = input.find('\0');
    if (nul == std::string_view::npos) break;
    pieces.push_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  pieces.push_back(input);
  pieces.resize(parts);
  return pieces;
}

}  // namespace qx::fuzz
