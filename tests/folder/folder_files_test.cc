#include "folder/folder_files.h"

#include <string>

#include <gtest/gtest.h>

#include "folder/folder_types.h"

namespace qx {
namespace {

TEST(FolderFilesTest, OnlyTheGroupTypeHasItsOwnIndexFiles) {
  EXPECT_STREQ(IndexFileNameFor(kFolderTypeGroups), "_groups.xml");
  EXPECT_STREQ(IndexBlockNameFor(kFolderTypeGroups), "_groups.blk");
  for (uint32_t type : {kFolderTypeMail, kFolderTypeContacts, kFolderTypeCalendar,
                        kFolderTypeTasks, kFolderTypeFiles, kFolderTypeICalendar}) {
    EXPECT_STREQ(IndexFileNameFor(type), "_index.xml");
    EXPECT_STREQ(IndexBlockNameFor(type), "_index.blk");
  }
}

TEST(FolderFilesTest, FlagPathsJoinAsTheCallerSaysAndRefuseWhatDoesNotFit) {
  EXPECT_EQ(FolderFlagPath("D", FolderFlag::kChanged, false), "D\\_CHANGE.DTY");
  EXPECT_EQ(FolderFlagPath("D/", FolderFlag::kFolder, true), "D/_FOLDER.DTY");
  EXPECT_EQ(FolderFlagPath("D", FolderFlag::kAnyDirty, false), "D\\_*.DTY");
  EXPECT_EQ(FolderFlagPath(nullptr, FolderFlag::kIndexCheck, false), "\\_index.xml");
  EXPECT_EQ(DeliveryFlagPattern("M"), "M\\_*.NEW");
  EXPECT_EQ(DeliveryFlagPath("M", 12), "M\\_12.NEW");

  const std::string directory(2036, 'd');  // + "\_CHANGE.DTY" is 2048 bytes: one too many
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, false), "");
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, true).size(), 2047u);
  const std::string long_folder(kStorePathSize - 12, 'f');  // + "\_index.xml" is 1023
  EXPECT_EQ(IndexFilePath(long_folder.c_str()).size(), kStorePathSize - 1);
  EXPECT_EQ(IndexBlockPath((long_folder + "f").c_str()), "");
}

}  // namespace
}  // namespace qx
