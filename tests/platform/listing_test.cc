#include "platform/listing.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path_resolver.h"

namespace qx::platform {
namespace {

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qx-listing-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    root_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string Store(const std::string& relative) const { return root_ + "\\" + relative; }
  void Put(const std::string& relative, const std::string& contents = "") const {
    std::ofstream(root_ + "/" + relative, std::ios::binary) << contents;
  }

  static std::vector<std::string> Names(std::string_view pattern) {
    std::vector<std::string> names;
    for (Listing listing = Listing::Open(pattern); listing.valid(); listing.Next()) {
      names.push_back(listing.current().name);
    }
    return names;
  }

  std::string root_;
};

using NameList = std::vector<std::string>;

TEST(WildcardMatchTest, OriginalRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*", "anything.at.all", true},    {"*.*", "noext", true},
      {"*.*", "a.b.c", true},            {"*.*", ".", true},
      {"*.", "noext", true},             {"*.", "a.mai", false},
      {"*.", ".", true},                 {"*.", "..", true},
      {"*.", ".hidden", false},          {"*.MAI", "a.mai", true},
      {"*.MAI", "x.y.MaI", true},        {"*.MAI", "a.mail", false},
      {"*.MAI", "a.mai.bak", false},     {"*.MAI", "mai", false},
      {"?.mai", "a.mai", true},          {"?.mai", "ab.mai", false},
      {"a?", "a", true},                 {"a??.txt", "a.txt", true},
      {"a?c", "a.c", false},             {"_index.xml", "_INDEX.XML", true},
      {"Y*.CAL", "y2024.cal", true},     {"Y*.CAL", "x2024.cal", false},
      {"*abc*", "xxABCxx", true},        {"*a*b*c*d*e*f*g", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"", "", true},                    {"", "a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
  }
}

TEST_F(ListingTest, DotsFirstThenNamesWithoutRegardToCase) {
  for (const char* name : {"b.MAI", "A.mai", "_index.xml", "c", "Z.txt", "a.MAI.bak"}) Put(name);
  std::filesystem::create_directory(root_ + "/sub");

  // '_' sorts after the letters, as upper-cased names compare.
  EXPECT_EQ(Names(Store("*")),
            (NameList{".", "..", "A.mai", "a.MAI.bak", "b.MAI", "c", "sub", "Z.txt", "_index.xml"}));
  EXPECT_EQ(Names(Store("*.*")), Names(Store("*")));
  EXPECT_EQ(Names(Store("*.")), (NameList{".", "..", "c", "sub"}));
  EXPECT_EQ(Names(Store("*.mai")), (NameList{"A.mai", "b.MAI"}));
  EXPECT_EQ(Names(root_ + "/SUB/*"), (NameList{".", ".."}));
}

TEST_F(ListingTest, EntriesCarryAttributesSizesAndTimes) {
  Put("m.mai", "12345");
  std::filesystem::create_directory(root_ + "/Folder");
  FileTimes set;
  set.last_write = 132500000000000000ULL;
  ASSERT_TRUE(SetFileTimes(Store("m.mai"), set));

  Listing listing = Listing::Open(Store("*"));
  std::vector<FindData> entries;
  for (; listing.valid(); listing.Next()) entries.push_back(listing.current());
  EXPECT_EQ(GetLastError(), kErrorNoMoreFiles);
  EXPECT_FALSE(listing.Next());
  ASSERT_EQ(entries.size(), 4u);
  const FindData& folder = entries[2];
  const FindData& message = entries[3];
  EXPECT_EQ(folder.name, "Folder");
  EXPECT_EQ(folder.attributes, kAttributeDirectory);
  EXPECT_EQ(message.name, "m.mai");
  EXPECT_EQ(message.attributes, kAttributeNormal);
  EXPECT_EQ(message.size, 5u);
  EXPECT_EQ(message.last_write_time, set.last_write);
  FileTimes through_path;
  ASSERT_TRUE(GetFileTimes(Store("m.mai"), &through_path));
  EXPECT_EQ(message.creation_time, through_path.creation);
  EXPECT_EQ(entries[0].name, ".");
  EXPECT_EQ(entries[0].attributes & kAttributeDirectory, kAttributeDirectory);
}

TEST_F(ListingTest, PatternWithoutWildcardsFindsOneEntry) {
  Put("A.mai", "xy");
  std::filesystem::create_directory(root_ + "/Folder");
  const uint64_t scans = ResolverScanCount();
  FindData found;
  ASSERT_TRUE(FindFirst(Store("A.mai"), &found));
  EXPECT_EQ(ResolverScanCount(), scans);
  EXPECT_EQ(found.name, "A.mai");
  EXPECT_EQ(found.size, 2u);

  ASSERT_TRUE(FindFirst(Store("a.MAI"), &found));
  EXPECT_EQ(found.name, "A.mai");

  // The folder's own entry, as a search for "<folder>\." gives it: the
  // creation time is the folder's.
  FileTimes folder_times;
  ASSERT_TRUE(GetFileTimes(Store("Folder"), &folder_times));
  ASSERT_TRUE(FindFirst(Store("folder\\."), &found));
  EXPECT_EQ(found.name, ".");
  EXPECT_EQ(found.attributes, kAttributeDirectory);
  EXPECT_EQ(found.creation_time, folder_times.creation);
}

TEST_F(ListingTest, FailuresGiveTheOriginalCodes) {
  Put("a.txt");
  EXPECT_FALSE(Listing::Open(Store("*.mai")).valid());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(Listing::Open(Store("nodir\\*")).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Listing::Open(Store("a.txt\\*")).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Listing::Open(Store("b.txt")).valid());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(Listing::Open(Store("nodir\\b.txt")).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Listing::Open(Store("nodir\\.")).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Listing::Open(Store("*\\a.txt")).valid());
  EXPECT_EQ(GetLastError(), kErrorInvalidName);
  EXPECT_FALSE(Listing::Open(root_ + "\\").valid());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  FindData found;
  EXPECT_FALSE(FindFirst(Store("b.txt"), &found));
}

}  // namespace
}  // namespace qx::platform
