#pragma once
// One temporary mail root and registry file per test. Tests never touch /etc.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace qx::test {

// A .reg file that tests fill value by value; written on Save().
class RegistryFile {
 public:
  explicit RegistryFile(std::string path) : path_(std::move(path)) {}
  // Full key names, e.g. "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera".
  void SetString(const std::string& key, const std::string& name, const std::string& value);
  void SetDword(const std::string& key, const std::string& name, uint32_t value);
  void Remove(const std::string& key, const std::string& name);
  void Save() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::map<std::string, std::map<std::string, std::string>> keys_;  // key -> name -> .reg data text
};

inline const char* kLibraryRootKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera";
inline const char* kProvidersBlockKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tal Mera\\Tal Mera\\Providers";

// A clock whose sleeps advance time instantly; counts the sleeps.
class FakeClock : public platform::Clock {
 public:
  uint64_t NowFileTime() override;
  uint64_t TickMilliseconds() override;
  void SleepMilliseconds(uint32_t ms) override;
  void Advance(uint64_t ms);
  int sleeps() const { return sleeps_; }

 private:
  uint64_t start_file_time_ = 133000000000000000ULL;  // a date in 2022
  uint64_t elapsed_ms_ = 0;
  int sleeps_ = 0;
};

// The fixture: a fresh directory holding "mail" (the mail root, set as
// "Mail Root" in the registry) and "registry.reg" (QXSTORE_REGISTRY), with
// QXSTORE_PROGRAM set to a program that is not one of the server's own.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes registry changes and (re)initialises the library so that values
  // read once at load are read again.
  void ReloadLibrary();

  // Makes a sibling library built here (e.g. "libqxaiso.so") reachable as
  // "<root>/app64/<name>", with "Application Directory" set to "<root>/app"
  // (saved, not yet reloaded).
  void InstallSiblingLibrary(const std::string& shared_object);

  std::string root() const { return root_; }
  std::string mail_root() const { return root_ + "/mail"; }
  RegistryFile& registry() { return *registry_; }
  FakeClock& clock() { return clock_; }

  // Helpers for files under the test root.
  static void WriteFile(const std::string& path, const std::string& contents);
  static std::string ReadFile(const std::string& path);
  static bool Exists(const std::string& path);
  static void MakeDirs(const std::string& path);

 private:
  std::string root_;
  std::unique_ptr<RegistryFile> registry_;
  FakeClock clock_;
};

}  // namespace qx::test
