#pragma once
// Where the options file lives and how it is read and replaced.

#include <string>

namespace qxaiso {

// QXSTORE_OPTIONS when set and not empty, else "options.ini" in the
// directory this library was loaded from.
std::string OptionsFilePath();

// The file's text; a missing file reads as empty. False when it exists but
// cannot be read.
bool ReadOptionsFile(const std::string& path, std::string* text);

// Replaces the file with `text` through the store's durable replace
// (platform/durable_replace.h), so readers see the old or the new file, never
// part of one. Keeps the old file's mode.
bool ReplaceOptionsFile(const std::string& path, const std::string& text);

// Holds an exclusive flock on "<path>.lock" for its lifetime, serialising
// read-modify-write cycles across threads and processes. held() is false
// when the lock file cannot be opened or locked.
class OptionsFileLock {
 public:
  explicit OptionsFileLock(const std::string& path);
  ~OptionsFileLock();
  OptionsFileLock(const OptionsFileLock&) = delete;
  OptionsFileLock& operator=(const OptionsFileLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace qxaiso
