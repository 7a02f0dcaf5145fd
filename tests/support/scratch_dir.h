#pragma once
// A fresh directory per test for the platform and common layers, with the
// path forms the layer takes: store paths (backslashes) and native ones.

#include <gtest/gtest.h>

#include <string>

namespace qx::test {

class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Also clears any fault a test armed and did not use up.
  void TearDown() override;

  // "<root>\relative" and "<root>/relative".
  std::string Store(const std::string& relative) const { return root_ + "\\" + relative; }
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }

  // Native file access below the root, bypassing the layer under test.
  void Put(const std::string& relative, const std::string& contents = "") const;
  std::string Get(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void MakeDirs(const std::string& relative) const;

  std::string root_;
};

}  // namespace qx::test
