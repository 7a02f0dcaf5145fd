#include "support/scratch_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fault_injection.h"

namespace qx::test {

void ScratchDirTest::SetUp() {
  char pattern[] = "/tmp/qx-scratch-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  root_ = pattern;
}

void ScratchDirTest::TearDown() {
  platform::ClearFaults();
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void ScratchDirTest::Put(const std::string& relative, const std::string& contents) const {
  std::ofstream(Native(relative), std::ios::binary) << contents;
}

std::string ScratchDirTest::Get(const std::string& relative) const {
  std::ifstream in(Native(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ScratchDirTest::Exists(const std::string& relative) const {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(Native(relative), ignored));
}

void ScratchDirTest::MakeDirs(const std::string& relative) const {
  std::error_code ignored;
  std::filesystem::create_directories(Native(relative), ignored);
}

}  // namespace qx::test
