#include "folder/folder_files.h"

#include <string>

#include <gtest/gtest.h>

#include "frame/store_paths.h"

namespace qx {
namespace {

// The joins' bounds are what the flag and index readers rely on: a path one
// byte too long for its buffer is refused, never cut to another file's name.
TEST(FolderFilesTest, FlagAndIndexPathsRefuseWhatDoesNotFit) {
  const std::string directory(2036, 'd');  // + "\_CHANGE.DTY" is 2048 bytes: one too many
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, false), "");
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, true).size(), 2047u);
  const std::string long_folder(kStorePathSize - 12, 'f');  // + "\_index.xml" is 1023
  EXPECT_EQ(IndexFilePath(long_folder.c_str()).size(), kStorePathSize - 1);
  EXPECT_EQ(IndexBlockPath((long_folder + "f").c_str()), "");
}

}  // namespace
}  // namespace qx
