#include "support/test_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qxstore.h"

namespace qx::test {

namespace {

std::string EscapeRegString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

void RegistryFile::SetString(const std::string& key, const std::string& name,
                             const std::string& value) {
  keys_[key][name] = "\"" + EscapeRegString(value) + "\"";
}

void RegistryFile::SetDword(const std::string& key, const std::string& name, uint32_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "dword:%08x", value);
  keys_[key][name] = text;
}

void RegistryFile::Remove(const std::string& key, const std::string& name) {
  auto it = keys_.find(key);
  if (it != keys_.end()) it->second.erase(name);
}

void RegistryFile::Save() const {
  std::ostringstream out;
  out << "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const auto& [key, values] : keys_) {
    out << "[" << key << "]\r\n";
    for (const auto& [name, data] : values) {
      out << "\"" << EscapeRegString(name) << "\"=" << data << "\r\n";
    }
    out << "\r\n";
  }
  // Written beside and renamed, so a reader never sees half a file.
  std::string temp = path_ + ".tmp";
  std::ofstream(temp, std::ios::binary) << out.str();
  std::rename(temp.c_str(), path_.c_str());
}

uint64_t FakeClock::NowFileTime() { return start_file_time_ + elapsed_ms_ * 10000ULL; }
uint64_t FakeClock::TickMilliseconds() { return elapsed_ms_; }
void FakeClock::SleepMilliseconds(uint32_t ms) {
  ++sleeps_;
  elapsed_ms_ += ms;
}
void FakeClock::Advance(uint64_t ms) { elapsed_ms_ += ms; }

void StoreTest::SetUp() {
  char pattern[] = "/tmp/qxstore-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  ASSERT_NE(made, nullptr);
  root_ = made;
  MakeDirs(mail_root());
  registry_ = std::make_unique<RegistryFile>(root_ + "/registry.reg");
  registry_->SetString(kLibraryRootKey, "Mail Root", mail_root());
  registry_->Save();
  setenv("QXSTORE_REGISTRY", registry_->path().c_str(), 1);
  setenv("QXSTORE_PROGRAM", "/opt/qxstore/bin/STOREADM.EXE", 1);
  setenv("QXSTORE_DIAG", "off", 0);
  // Derived caches stay inside the test root, never in the machine's cache directory.
  setenv("QXSTORE_CACHE_DIR", (root_ + "/cache").c_str(), 1);
  platform::SetClock(&clock_);
  ReloadLibrary();
}

void StoreTest::TearDown() {
  StoreLibrary_ThreadRelease();
  StoreLibrary_UnInit();
  platform::SetClock(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void StoreTest::ReloadLibrary() {
  registry_->Save();
  StoreLibrary_UnInit();
  ASSERT_EQ(StoreLibrary_Init(), 1u);
}

void StoreTest::InstallSiblingLibrary(const std::string& shared_object) {
  MakeDirs(root() + "/app64");
  const std::string built = std::string(QX_BINARY_DIR) + "/" + shared_object;
  ASSERT_TRUE(Exists(built)) << "build " << shared_object << " first";
  ASSERT_EQ(symlink(built.c_str(), (root() + "/app64/" + shared_object).c_str()), 0);
  registry_->SetString(kLibraryRootKey, "Application Directory", root() + "/app");
  registry_->Save();
}

void StoreTest::WriteFile(const std::string& path, const std::string& contents) {
  MakeDirs(std::filesystem::path(path).parent_path().string());
  std::ofstream(path, std::ios::binary) << contents;
}

std::string StoreTest::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool StoreTest::Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void StoreTest::MakeDirs(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directories(path, ignored);
}

}  // namespace qx::test
